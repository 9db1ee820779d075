// The end-to-end driver: runs the real dupd.exe that was built beside it.
#include <cstdio>

#include <gtest/gtest.h>

#include "Scenario.h"

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    const std::string exe = e2e::DupdExe();
    if (!e2e::PathIsFile(exe)) {
        std::fprintf(stderr, "dupd_e2e: %s is missing; build the dupd target first\n", exe.c_str());
        return 1;
    }
    // The scenarios point the user's shell folders at their own folders; the
    // user's settings come back whatever the outcome.
    e2e::EnvironmentGuard guard;
    return RUN_ALL_TESTS();
}
