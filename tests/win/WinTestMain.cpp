// The Windows-side tests' entry. Run with --hold, the executable instead becomes the
// second process that keeps a file open for the in-use tests.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/win32/Files.h"

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "--hold") == 0) return dupd::support::RunFileHolder(argc, argv);
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
