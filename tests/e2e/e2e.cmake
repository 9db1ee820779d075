# End-to-end tests of the real dupd.exe under Wine. Wine carries out pending
# renames and wininit.ini only when a new session starts, as Windows does at a
# restart: the first stage schedules (and checks everything else), the session is
# then ended, and the last stage checks the installation after the "restart".
add_test(NAME e2e COMMAND dupd_e2e --gtest_filter=-*AfterRestart*)
add_test(NAME e2e_restart COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-restart)
add_test(NAME e2e_after_restart COMMAND dupd_e2e --gtest_filter=*AfterRestart*)

set_tests_properties(e2e PROPERTIES
  RESOURCE_LOCK wine TIMEOUT 300 FIXTURES_SETUP e2e_scheduled)
set_tests_properties(e2e_restart PROPERTIES
  RESOURCE_LOCK wine TIMEOUT 60 DEPENDS e2e
  FIXTURES_REQUIRED e2e_scheduled FIXTURES_SETUP e2e_restarted)
set_tests_properties(e2e_after_restart PROPERTIES
  RESOURCE_LOCK wine TIMEOUT 120 DEPENDS e2e_restart
  FIXTURES_REQUIRED "e2e_scheduled;e2e_restarted")
