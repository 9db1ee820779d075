#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "winenv/PendingRenameList.h"

namespace dupd {
namespace {

// The adapter's conversion for the ASCII names used here.
std::string Narrow(const std::u16string& text)
{
    std::string out;
    for (char16_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

// The value's bytes as the registry holds them: UTF-16LE, each string ended by a NUL.
std::vector<unsigned char> Raw(const std::vector<std::string>& strings, bool terminated = true)
{
    std::vector<unsigned char> out;
    for (std::size_t i = 0; i < strings.size(); ++i) {
        for (unsigned char c : strings[i]) {
            out.push_back(c);
            out.push_back(0);
        }
        if (terminated || i + 1 < strings.size()) {
            out.push_back(0);
            out.push_back(0);
        }
    }
    return out;
}

std::vector<PendingRename> Parse(const std::vector<unsigned char>& raw)
{
    return ParsePendingRenameList(raw.data(), raw.size(), Narrow);
}

TEST(PendingRenameList, PairsWithEmptyTargetsAndMarkers)
{
    const auto entries =
        Parse(Raw({"\\??\\C:\\old.dta", "", "\\??\\C:\\s\\new.dta", "!\\??\\C:\\old.dta", ""}));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].from, "C:\\old.dta");
    EXPECT_EQ(entries[0].to, "");
    EXPECT_FALSE(entries[0].replaceExisting);
    EXPECT_EQ(entries[1].from, "C:\\s\\new.dta");
    EXPECT_EQ(entries[1].to, "C:\\old.dta");
    EXPECT_TRUE(entries[1].replaceExisting);
}

TEST(PendingRenameList, EndsAtTheEmptySourceAndToleratesMissingParts)
{
    // Without the list's terminating empty string, and with padding after it.
    EXPECT_EQ(Parse(Raw({"\\??\\C:\\a", "\\??\\C:\\b"})).size(), 1u);
    EXPECT_EQ(Parse(Raw({"\\??\\C:\\a", "", "", "", ""})).size(), 1u);
    EXPECT_EQ(Parse(Raw({"\\??\\C:\\a", "", "", "\\??\\C:\\after", "\\??\\C:\\end"})).size(), 1u);
    EXPECT_TRUE(Parse(Raw({})).empty());
    EXPECT_TRUE(Parse(Raw({"\\??\\C:\\lonely"})).empty());
    EXPECT_TRUE(ParsePendingRenameList(nullptr, 0, Narrow).empty());
}

TEST(PendingRenameList, OddLengthDropsOnlyTheLastByte)
{
    auto raw = Raw({"\\??\\C:\\a", "!\\??\\C:\\b", ""});
    raw.push_back('x');
    const auto entries = Parse(raw);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].from, "C:\\a");
    EXPECT_EQ(entries[0].to, "C:\\b");

    // A byte short of the target's NUL: the target is still read whole.
    raw = Raw({"\\??\\C:\\a", "\\??\\C:\\b"});
    raw.pop_back();
    ASSERT_EQ(Parse(raw).size(), 1u);
    EXPECT_EQ(Parse(raw)[0].to, "C:\\b");
}

TEST(PendingRenameList, LastStringWithoutItsNulStillCounts)
{
    const auto entries = Parse(Raw({"\\??\\C:\\a", "", "\\??\\C:\\b", "!\\??\\C:\\c"}, false));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].from, "C:\\b");
    EXPECT_EQ(entries[1].to, "C:\\c");
    EXPECT_TRUE(entries[1].replaceExisting);
}

TEST(PendingRenameList, MarkerSetsReplaceExistingOnlyOnItsEntry)
{
    const auto entries = Parse(Raw({"C:\\plain", "C:\\to", "\\??\\C:\\x", "!C:\\y", ""}));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].from, "C:\\plain");  // no prefix: taken as it is
    EXPECT_EQ(entries[0].to, "C:\\to");
    EXPECT_FALSE(entries[0].replaceExisting);
    EXPECT_EQ(entries[1].to, "C:\\y");
    EXPECT_TRUE(entries[1].replaceExisting);

    // A marker alone leaves a deletion that may replace.
    const auto bare = Parse(Raw({"\\??\\C:\\x", "!", ""}));
    ASSERT_EQ(bare.size(), 1u);
    EXPECT_EQ(bare[0].to, "");
    EXPECT_TRUE(bare[0].replaceExisting);
}

TEST(PendingRenameList, NoPrefixOrMarkerSurvivesAtTheStart)
{
    const auto entries = Parse(Raw({"\\??\\\\??\\C:\\a", "!!\\??\\\\??\\C:\\b", "\\??\\", "\\??\\C:\\c",
                                    "\\??\\C:\\d", "\\??\\!C:\\e", ""}));
    ASSERT_EQ(entries.size(), 2u);  // the pair whose source is only a prefix goes
    EXPECT_EQ(entries[0].from, "C:\\a");
    EXPECT_EQ(entries[0].to, "C:\\b");
    EXPECT_EQ(entries[1].from, "C:\\d");
    EXPECT_EQ(entries[1].to, "C:\\e");
}

TEST(PendingRenameList, ConvertsEveryStringThroughTheAdapter)
{
    std::vector<unsigned char> raw = {'C', 0, ':', 0, 0x4E, 0x01, 0, 0, 'D', 0, 0, 0};  // "C:" U+014E, "D"
    const auto entries = ParsePendingRenameList(raw.data(), raw.size(), [](const std::u16string& s) {
        std::string out;
        for (char16_t c : s) out += c < 0x80 ? std::string(1, static_cast<char>(c)) : "<" + std::to_string(c) + ">";
        return out;
    });
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].from, "C:<334>");
    EXPECT_EQ(entries[0].to, "D");
}

}  // namespace
}  // namespace dupd
