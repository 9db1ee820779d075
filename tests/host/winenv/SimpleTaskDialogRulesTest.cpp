#include "winenv/SimpleTaskDialogRules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ButtonCase {
    int pressed;
    int expected;
};

class MapTaskDialogButtonTest : public ::testing::TestWithParam<ButtonCase> {};

TEST_P(MapTaskDialogButtonTest, GivesTheDialogResult)
{
    EXPECT_EQ(dupd::MapTaskDialogButton(GetParam().pressed), GetParam().expected) << "pressed " << GetParam().pressed;
}

INSTANTIATE_TEST_SUITE_P(Buttons, MapTaskDialogButtonTest,
                         ::testing::Values(ButtonCase{1, 1},   // OK
                                           ButtonCase{2, 2},   // Cancel
                                           ButtonCase{3, 1},   // Abort counts as OK
                                           ButtonCase{4, 4},   // Retry
                                           ButtonCase{5, 1},   // Ignore counts as OK
                                           ButtonCase{6, 6},   // Yes
                                           ButtonCase{7, 7},   // No
                                           ButtonCase{8, 3},   // Close reports Abort's number
                                           ButtonCase{0, 1},   // nothing pressed
                                           ButtonCase{100, 1}, // custom button id
                                           ButtonCase{-1, 1}),
                         [](const auto& info) {
                             const int p = info.param.pressed;
                             return (p < 0 ? "pressed_minus" : "pressed_") + std::to_string(p < 0 ? -p : p);
                         });

}  // namespace
