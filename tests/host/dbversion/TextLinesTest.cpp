#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "dbversion/TextLines.h"

namespace dupd {
namespace {

// Hands out a text in pieces of at most `chunk` bytes, so that line ends can fall
// across reads; fails once `failAt` bytes have been delivered.
class ChunkedStream : public IReadStream {
public:
    ChunkedStream(std::string data, std::size_t chunk, std::size_t failAt = std::string::npos)
        : data_(std::move(data)), chunk_(chunk), failAt_(failAt) {}
    bool Read(char* buffer, std::size_t capacity, std::size_t& got) override
    {
        got = 0;
        if (pos_ >= failAt_) return false;
        got = std::min({capacity, chunk_, data_.size() - pos_, failAt_ - pos_});
        std::memcpy(buffer, data_.data() + pos_, got);
        pos_ += got;
        return true;
    }
    std::optional<std::uint64_t> Size() override { return data_.size(); }

private:
    std::string data_;
    std::size_t chunk_;
    std::size_t failAt_;
    std::size_t pos_ = 0;
};

std::vector<std::string> ReadAll(const std::string& text, std::size_t chunk, bool* failed = nullptr)
{
    ChunkedStream stream(text, chunk);
    TextLineReader reader(stream);
    std::vector<std::string> lines;
    std::string line;
    while (reader.Next(line)) lines.push_back(line);
    if (failed) *failed = reader.Failed();
    return lines;
}

using Lines = std::vector<std::string>;

struct LineCase {
    const char* name;
    std::string text;
    Lines expected;
};

class TextLineRules : public ::testing::TestWithParam<LineCase> {};

TEST_P(TextLineRules, SplitsByTheRuleWhateverTheReadSize)
{
    const LineCase& c = GetParam();
    EXPECT_EQ(SplitTextLines(c.text), c.expected);
    for (std::size_t chunk : {1u, 2u, 3u, 5u}) {
        bool failed = true;
        EXPECT_EQ(ReadAll(c.text, chunk, &failed), c.expected) << "pieces of " << chunk;
        EXPECT_FALSE(failed);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextLineRules,
    ::testing::Values(
        LineCase{"Lf", "one\ntwo\n", {"one", "two"}},
        LineCase{"CrLf", "one\r\ntwo\r\n", {"one", "two"}},
        LineCase{"LoneCrDropped", "a\rb\r\nc", {"ab", "c"}},
        LineCase{"CrCrLf", "a\r\r\nb", {"a", "b"}},
        LineCase{"LfCrIsLineThenCr", "a\n\rb", {"a", "b"}},
        LineCase{"TrailingLoneCr", "a\r", {"a"}},
        LineCase{"LastLineWithoutEnd", "one\r\ntwo", {"one", "two"}},
        LineCase{"EmptyFile", "", {}},
        LineCase{"OnlyLineEnd", "\r\n", {""}},
        LineCase{"EmptyLinesKept", "\n\na\n\n", {"", "", "a", ""}},
        LineCase{"EofByteEndsLine", "ab\x1A" "cd\nef\n", {"ab"}},
        LineCase{"EofByteAfterLineEnd", "ab\r\n\x1A" "cd\n", {"ab"}},
        LineCase{"EofByteFirst", "\x1A" "abc\n", {}},
        LineCase{"EofByteAfterCr", "ab\r\x1A" "\n", {"ab"}},
        LineCase{"HighBytesKept", std::string("\xff\x00\x80\n", 4), {std::string("\xff\x00\x80", 3)}}),
    [](const ::testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

TEST(TextLineReader, LinesLongerThanTheBufferComeWhole)
{
    const std::string longLine(200 * 1024 + 17, 'x');
    const std::string other(64 * 1024, 'y');  // exactly one buffer, its LF in the next
    const std::string text = longLine + "\r\n" + other + "\nshort";
    EXPECT_EQ(ReadAll(text, 64 * 1024), (Lines{longLine, other, "short"}));
    EXPECT_EQ(ReadAll(text, 1000), (Lines{longLine, other, "short"}));
}

TEST(TextLineReader, CrLfSplitAcrossTheBufferEdge)
{
    // The CR is the last byte of the first 64 KB buffer, the LF the first of the next.
    const std::string first(64 * 1024 - 1, 'a');
    const std::string text = first + "\r\nb\n";
    EXPECT_EQ(ReadAll(text, 1 << 20), (Lines{first, "b"}));
}

TEST(TextLineReader, ReadErrorStopsAndIsReported)
{
    ChunkedStream stream("one\ntwo\nthree\n", 3, 6);  // fails inside "two"
    TextLineReader reader(stream);
    std::string line;
    ASSERT_TRUE(reader.Next(line));
    EXPECT_EQ(line, "one");
    EXPECT_FALSE(reader.Failed());
    EXPECT_FALSE(reader.Next(line));
    EXPECT_TRUE(reader.Failed());
    EXPECT_FALSE(reader.Next(line));
}

}  // namespace
}  // namespace dupd
