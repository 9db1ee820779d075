#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>
#include <vector>

#include "CaseName.h"
#include "FakePlatform.h"
#include "dbversion/DbVersion.h"
#include "dbversion/ValidInt.h"

namespace dupd {
namespace {

// ---------------------------------------------------------------- valid integers

struct IntCase {
    std::string text;
    std::optional<std::int32_t> expected;
};

class ValidIntTable : public ::testing::TestWithParam<IntCase> {};

TEST_P(ValidIntTable, Parses)
{
    const IntCase& c = GetParam();
    EXPECT_EQ(ParseValidInt(c.text), c.expected) << "text: \"" << c.text << "\"";
}

const std::optional<std::int32_t> kInvalid = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    Decimal, ValidIntTable,
    ::testing::Values(IntCase{"6935", 6935}, IntCase{"0", 0}, IntCase{"-0", 0}, IntCase{"+6935", 6935},
                      IntCase{"-1", -1}, IntCase{"   6935", 6935}, IntCase{"  -12", -12},
                      IntCase{"0006935", 6935}, IntCase{"2147483647", INT_MAX},
                      IntCase{"-2147483648", INT_MIN}, IntCase{"000000000002147483647", INT_MAX},
                      IntCase{"2147483648", kInvalid}, IntCase{"-2147483649", kInvalid},
                      IntCase{"4294967295", kInvalid}, IntCase{"99999999999999999999999", kInvalid}),
    [](const auto& info) { return CaseName(info.index, info.param.text); });

INSTANTIATE_TEST_SUITE_P(
    Hexadecimal, ValidIntTable,
    ::testing::Values(IntCase{"$1B17", 6935}, IntCase{"$1b17", 6935}, IntCase{"x1B17", 6935},
                      IntCase{"X1b17", 6935}, IntCase{"0x1B17", 6935}, IntCase{"0X1B17", 6935},
                      IntCase{"  $1B17", 6935}, IntCase{"-$10", -16}, IntCase{"+0x10", 16},
                      IntCase{"$FFFFFFFF", -1}, IntCase{"$80000000", INT_MIN}, IntCase{"$7FFFFFFF", INT_MAX},
                      IntCase{"$000000001", 1}, IntCase{"$100000000", kInvalid}, IntCase{"$", kInvalid},
                      IntCase{"x", kInvalid}, IntCase{"0x", kInvalid}, IntCase{"-$", kInvalid},
                      IntCase{"$G1", kInvalid}, IntCase{"$ 1", kInvalid}, IntCase{"0x-1", kInvalid},
                      IntCase{"$$1", kInvalid}, IntCase{"1B17", kInvalid}, IntCase{"00x1", kInvalid}),
    [](const auto& info) { return CaseName(info.index, info.param.text); });

INSTANTIATE_TEST_SUITE_P(
    Malformed, ValidIntTable,
    ::testing::Values(IntCase{"", kInvalid}, IntCase{" ", kInvalid}, IntCase{"+", kInvalid},
                      IntCase{"-", kInvalid}, IntCase{"  -", kInvalid}, IntCase{"6935 ", kInvalid},
                      IntCase{"69 35", kInvalid}, IntCase{"\t6935", kInvalid}, IntCase{"- 1", kInvalid},
                      IntCase{"--1", kInvalid}, IntCase{"+-1", kInvalid}, IntCase{"69x5", kInvalid},
                      IntCase{"1e3", kInvalid}, IntCase{"6935\r", kInvalid},
                      IntCase{std::string("69\0" "35", 5), kInvalid}),
    [](const auto& info) { return CaseName(info.index, info.param.text); });

// ---------------------------------------------------------------- scrambling

TEST(DeCrypt, KnownLine)
{
    // "Q::1||" stored with key 'Q' (0x51): first 0x51 + 0x3B, the rest + 0x51.
    EXPECT_EQ(DeCrypt("\x8C\x8B\x8B\x82\xCD\xCD"), "Q::1||");
    EXPECT_EQ(EnCrypt("Q::1||"), "\x8C\x8B\x8B\x82\xCD\xCD");
}

TEST(DeCrypt, WrapsPastZero)
{
    // 0x10 - 0x3B = 0xD5 is the key; 0x05 - 0xD5 wraps to 0x30, 0xD4 - 0xD5 to 0xFF.
    EXPECT_EQ(DeCrypt(std::string("\x10\x05\xD4\xD5", 4)), std::string("\xD5\x30\xFF\x00", 4));
    // A first character below the offset wraps too.
    EXPECT_EQ(DeCrypt(std::string("\x00", 1)), "\xC5");
}

TEST(DeCrypt, ShortLines)
{
    EXPECT_EQ(DeCrypt(""), "");
    EXPECT_EQ(DeCrypt("P"), "\x15");  // only the key character changes
    EXPECT_EQ(EnCrypt(""), "");
}

TEST(DeCrypt, KeyIsTheUnscrambledFirstCharacter)
{
    // Stored first 'P' (0x50) gives key 0x15; a later 'P' must become 0x3B, which a
    // key taken from the stored byte would turn into 0x00.
    EXPECT_EQ(DeCrypt("PP"), "\x15\x3B");
}

TEST(DeCrypt, RoundTripForEveryKey)
{
    std::string body;
    for (int c = 0; c < 256; ++c) body.push_back(static_cast<char>(c));
    for (int key = 0; key < 256; ++key) {
        const std::string plain = std::string(1, static_cast<char>(key)) + body;
        const std::string stored = EnCrypt(plain);
        ASSERT_EQ(stored.size(), plain.size());
        ASSERT_EQ(DeCrypt(stored), plain) << "key " << key;
    }
}

// ---------------------------------------------------------------- cutting the version

struct CutCase {
    std::string line;
    std::string expected;
};

class CutVersionTable : public ::testing::TestWithParam<CutCase> {};

TEST_P(CutVersionTable, Cuts) { EXPECT_EQ(CutVersion(GetParam().line), GetParam().expected) << GetParam().line; }

INSTANTIATE_TEST_SUITE_P(
    Cases, CutVersionTable,
    ::testing::Values(CutCase{"Q::6935||rest", "6935"}, CutCase{"Q::6935||", "6935"},
                      CutCase{"Qfree text::6935||more", "6935"}, CutCase{"Q::||rest", ""},
                      CutCase{"Q::69x5||rest", ""}, CutCase{"Q:: 6935||", " 6935"}, CutCase{"Q::6935 ||", ""},
                      CutCase{"Q::6935", ""}, CutCase{"Q6935||", "6935"}, CutCase{"QQ6935||", ""},
                      CutCase{"Q::12||34::56||", "12"}, CutCase{"Q::$1B17||", "$1B17"}, CutCase{"Q::-1||", "-1"},
                      CutCase{"Q:6935||", ""}, CutCase{"::6935||", "6935"}, CutCase{"Q", ""}, CutCase{"", ""},
                      CutCase{"Q||", ""}, CutCase{"Q::2147483648||", ""}),
    [](const auto& info) { return CaseName(info.index, info.param.line); });

// ---------------------------------------------------------------- installed version

class InstalledVersion : public ::testing::Test {
protected:
    const std::string dir = "C:\\Program Files\\Quellmark\\";
    fake::FakeFileSystem fs;

    void Reflist(const std::string& content) { fs.AddFile(dir + "reflist.dta", content); }
};

TEST_F(InstalledVersion, ReadsFirstLineOnly)
{
    Reflist(EnCrypt("Q header::6935||tail") + "\r\n" + EnCrypt("Q::1||") + "\r\n\x01\x02garbage");
    EXPECT_EQ(GetDbaseVer(fs, dir), "6935");
}

TEST_F(InstalledVersion, LastLineWithoutEndAndLfOnly)
{
    Reflist(EnCrypt("Q::7000||"));
    EXPECT_EQ(GetDbaseVer(fs, dir), "7000");
    Reflist(EnCrypt("Q::7001||") + "\n");
    EXPECT_EQ(GetDbaseVer(fs, dir), "7001");
}

TEST_F(InstalledVersion, UnusableContentGivesEmpty)
{
    EXPECT_EQ(GetDbaseVer(fs, dir), "") << "missing file";
    Reflist("");
    EXPECT_EQ(GetDbaseVer(fs, dir), "") << "empty file";
    Reflist("\r\n" + EnCrypt("Q::6935||"));
    EXPECT_EQ(GetDbaseVer(fs, dir), "") << "empty first line";
    Reflist(EnCrypt("Q::6935"));
    EXPECT_EQ(GetDbaseVer(fs, dir), "") << "no end marker";
    Reflist(EnCrypt("Q::abc||"));
    EXPECT_EQ(GetDbaseVer(fs, dir), "") << "not a number";
}

TEST_F(InstalledVersion, UnreadableFileGivesEmpty)
{
    Reflist(EnCrypt("Q::6935||"));
    fs.failReadsOf.insert(fake::NormalPath(dir + "reflist.dta"));
    EXPECT_EQ(GetDbaseVer(fs, dir), "");
}

TEST_F(InstalledVersion, LineRulesApplyToTheStoredBytes)
{
    // With key 'Q' (0x51), plain 0xB9 is stored as LF, 0xC9 as 0x1A and 0xBC as CR.
    // Cut there, "Q7||" has no "::" and gives 7; read whole, the later "::1||" would give 1.
    Reflist(EnCrypt("Q7||\xB9::1||"));
    EXPECT_EQ(GetDbaseVer(fs, dir), "7") << "LF";
    Reflist(EnCrypt("Q7||\xC9::1||"));
    EXPECT_EQ(GetDbaseVer(fs, dir), "7") << "0x1A";
    // A lone CR is dropped from the stored line before unscrambling.
    Reflist(EnCrypt("Q::69\xBC" "35||"));
    EXPECT_EQ(GetDbaseVer(fs, dir), "6935") << "CR";
}

// ---------------------------------------------------------------- gate comparison

struct CompareCase {
    std::string installed;
    VersionComparison expected;
};

class CompareTable : public ::testing::TestWithParam<CompareCase> {};

TEST_P(CompareTable, Decides)
{
    EXPECT_EQ(CompareWithUpdate(GetParam().installed), GetParam().expected) << GetParam().installed;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CompareTable,
    ::testing::Values(CompareCase{"", VersionComparison::Proceed}, CompareCase{"6934", VersionComparison::Proceed},
                      CompareCase{"6936", VersionComparison::TooOld}, CompareCase{"6935", VersionComparison::AskSame},
                      CompareCase{"$1B17", VersionComparison::AskSame}, CompareCase{"  6935", VersionComparison::AskSame},
                      CompareCase{"-1", VersionComparison::Proceed}, CompareCase{"$FFFFFFFF", VersionComparison::Proceed},
                      CompareCase{"2147483647", VersionComparison::TooOld},
                      CompareCase{"-2147483648", VersionComparison::Proceed}),
    [](const auto& info) { return CaseName(info.index, info.param.installed); });

// ---------------------------------------------------------------- extra databases

class Extras : public ::testing::Test {
protected:
    const std::string dir = "C:\\Program Files\\Quellmark\\";
    fake::FakeFileSystem fs;
    std::vector<std::string> logged;

    std::string Path(const std::string& name) const { return dir + name; }
    fake::FakeFileSystem::File& Extra(const std::string& name, const std::string& plainFirstLine)
    {
        return fs.AddFile(Path(name), EnCrypt(plainFirstLine) + "\r\nfurther data\r\n");
    }
    void Run()
    {
        DeleteExtras(fs, dir, [this](const std::string& line) { logged.push_back(line); });
    }
    std::vector<std::string> DeleteAttempts() const
    {
        std::vector<std::string> out;
        for (const auto& j : fs.journal)
            if (j.rfind("delete ", 0) == 0) out.push_back(j.substr(7));
        return out;
    }
};

TEST_F(Extras, GetExtraVersionCases)
{
    Extra("extra1.dta", "6935");
    Extra("extra2.dta", "$1B18");
    Extra("extra3.dta", "-1");
    Extra("extra4.dta", "69 35");
    fs.AddFile(Path("extra5.dta"), "");
    Extra("extra6.dta", "100");
    fs.failReadsOf.insert(fake::NormalPath(Path("extra6.dta")));
    Extra("extra7.dta", " -7");

    EXPECT_EQ(GetExtraVersion(fs, Path("extra1.dta")), 6935);
    EXPECT_EQ(GetExtraVersion(fs, Path("extra2.dta")), 6936);
    EXPECT_EQ(GetExtraVersion(fs, Path("extra3.dta")), -1);
    EXPECT_EQ(GetExtraVersion(fs, Path("extra4.dta")), -1);
    EXPECT_EQ(GetExtraVersion(fs, Path("extra5.dta")), -1) << "empty";
    EXPECT_EQ(GetExtraVersion(fs, Path("extra6.dta")), -1) << "unreadable";
    EXPECT_EQ(GetExtraVersion(fs, Path("extra7.dta")), -7);
    EXPECT_EQ(GetExtraVersion(fs, Path("extra9.dta")), -1) << "missing";
}

TEST_F(Extras, DeletesExpiredInAscendingOrderAndLogsOnlySuccess)
{
    Extra("extra2.dta", "6935");   // equal counts as expired
    Extra("extra3.dta", "6936");   // not yet
    Extra("extra4.dta", "-1");     // no usable number
    Extra("extra5.dta", "banana");
    Extra("extra6.dta", "-5");
    Extra("extra7.dta", "0");
    Extra("extra8.dta", "100").inUse = true;
    Extra("extra9.dta", "100").readOnly = true;
    fs.AddFile(Path("extra10.dta"), "");
    Extra("extra11.dta", "1");
    fs.failReadsOf.insert(fake::NormalPath(Path("extra11.dta")));
    Extra("extra12.dta", "$10");
    Extra("extra50.dta", "1");
    Extra("extra0.dta", "1");
    Extra("extra51.dta", "1");
    Extra("extra02.dta", "1");

    Run();

    EXPECT_EQ(logged, (std::vector<std::string>{
                          "Expired EXTRA.DAT file extra2.dta deleted.",
                          "Expired EXTRA.DAT file extra6.dta deleted.",
                          "Expired EXTRA.DAT file extra7.dta deleted.",
                          "Expired EXTRA.DAT file extra12.dta deleted.",
                          "Expired EXTRA.DAT file extra50.dta deleted.",
                      }));
    EXPECT_EQ(DeleteAttempts(), (std::vector<std::string>{Path("extra2.dta"), Path("extra6.dta"), Path("extra7.dta"),
                                                          Path("extra8.dta"), Path("extra9.dta"), Path("extra12.dta"),
                                                          Path("extra50.dta")}));
    for (const char* kept : {"extra3.dta", "extra4.dta", "extra5.dta", "extra8.dta", "extra9.dta", "extra10.dta",
                             "extra11.dta", "extra0.dta", "extra51.dta", "extra02.dta"})
        EXPECT_TRUE(fs.Has(Path(kept))) << kept;
    for (const char* gone : {"extra2.dta", "extra6.dta", "extra7.dta", "extra12.dta", "extra50.dta"})
        EXPECT_FALSE(fs.Has(Path(gone))) << gone;
}

}  // namespace
}  // namespace dupd
