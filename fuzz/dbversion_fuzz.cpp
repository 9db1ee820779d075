// libFuzzer target: the whole input is the content of reflist.dta and of an extra
// database. It goes through the text-line reader (fed in one piece, byte by byte
// and in uneven pieces, with and without a line cap, cut short and failing), the
// unscrambling, the version cut and the valid-integer rule, and through
// GetDbaseVer and GetExtraVersion on the in-memory file system. The line rule and
// the integer rule are checked against plain restatements of their own here.
// Built and run by scripts/fuzz.
#include "FuzzCheck.h"
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "FakePlatform.h"
#include "dbversion/DbVersion.h"
#include "dbversion/TextLines.h"
#include "dbversion/ValidInt.h"

namespace {

using namespace dupd;
using fuzzcheck::Check;
using fuzzcheck::Fail;

std::uint32_t Hash(const std::string& text)
{
    std::uint32_t h = 2166136261u;
    for (unsigned char c : text) h = (h ^ c) * 16777619u;
    return h;
}

// The line rule, byte by byte: LF ends a line, CR is never part of one, 0x1A ends
// the text, the end of the data ends a started line.
struct Expected {
    std::vector<std::string> lines;
    bool endedEarly = false;  // bytes after the 0x1A
};

Expected ExpectedLines(const std::string& data, std::size_t cap)
{
    Expected e;
    std::string line;
    bool started = false;
    for (std::size_t i = 0; i < data.size(); ++i) {
        const char c = data[i];
        if (c == '\x1A') {
            e.endedEarly = i + 1 < data.size();
            break;
        }
        started = true;
        if (c == '\n') {
            e.lines.push_back(line);
            line.clear();
            started = false;
        } else if (c != '\r' && line.size() < cap) {
            line.push_back(c);
        }
    }
    if (started) e.lines.push_back(line);
    return e;
}

// Hands out the data in pieces of the given sizes (cycled), can claim another size
// than it holds, and can fail once `failAt` bytes have been handed out.
class PieceStream : public IReadStream {
public:
    PieceStream(const std::string& data, std::vector<std::size_t> pieces) : data_(data), pieces_(std::move(pieces))
    {
    }
    std::optional<std::uint64_t> claimedSize;
    bool claimSize = true;
    std::size_t failAt = static_cast<std::size_t>(-1);

    std::optional<std::uint64_t> Size() override
    {
        if (!claimSize) return std::nullopt;
        return claimedSize ? *claimedSize : data_.size();
    }
    bool Read(char* buffer, std::size_t capacity, std::size_t& got) override
    {
        got = 0;
        if (pos_ >= failAt) return false;
        const std::size_t piece = pieces_.empty() ? capacity : pieces_[next_++ % pieces_.size()];
        got = std::min({capacity, piece, data_.size() - pos_, failAt - pos_});
        std::memcpy(buffer, data_.data() + pos_, got);
        pos_ += got;
        return true;
    }

private:
    const std::string& data_;
    std::vector<std::size_t> pieces_;
    std::size_t pos_ = 0;
    std::size_t next_ = 0;
};

struct ReadResult {
    std::vector<std::string> lines;
    bool failed = false;
    bool endedEarly = false;
};

ReadResult ReadAll(PieceStream& stream, std::size_t cap)
{
    ReadResult r;
    TextLineReader reader(stream, cap);
    std::string line;
    while (reader.Next(line)) r.lines.push_back(line);
    // Once at the end it stays there.
    Check(!reader.Next(line) && line.empty(), "reader gave a line after its end");
    r.failed = reader.Failed();
    r.endedEarly = reader.EndedEarly();
    return r;
}

bool IsPrefix(const std::vector<std::string>& part, const std::vector<std::string>& whole)
{
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

void FuzzLines(const std::string& data, std::uint32_t h)
{
    const Expected whole = ExpectedLines(data, static_cast<std::size_t>(-1));
    Check(SplitTextLines(data) == whole.lines, "SplitTextLines differs from the line rule");

    const std::size_t cap = (h & 1) ? (h >> 1) % 24 : static_cast<std::size_t>(-1);
    const Expected capped = ExpectedLines(data, cap);
    std::vector<std::size_t> uneven;
    for (int i = 0; i < 5; ++i) uneven.push_back(1 + ((h >> (i * 5)) % 17));
    for (const auto& pieces : {std::vector<std::size_t>{}, std::vector<std::size_t>{1}, uneven}) {
        PieceStream plain(data, pieces);
        const ReadResult r = ReadAll(plain, cap);
        Check(r.lines == capped.lines, "lines depend on how the reader is fed");
        Check(!r.failed, "a whole read counted as failed");
        Check(r.endedEarly == capped.endedEarly, "EndedEarly is wrong");

        PieceStream unsized(data, pieces);
        unsized.claimSize = false;
        const ReadResult u = ReadAll(unsized, cap);
        Check(u.lines == capped.lines && !u.failed && u.endedEarly == capped.endedEarly,
              "a stream without a size reads differently");

        std::vector<std::string> lines;
        PieceStream again(data, pieces);
        Check(ReadWholeLines(again, lines) == !whole.endedEarly, "ReadWholeLines misjudges a whole read");
        Check(lines == whole.lines, "ReadWholeLines lines differ from the line rule");

        // The file was longer when opened: never a whole read, never a made-up line.
        PieceStream cut(data, pieces);
        cut.claimedSize = data.size() + 1 + h % 3;
        const ReadResult c = ReadAll(cut, cap);
        Check(IsPrefix(c.lines, capped.lines), "a cut read gave lines the file does not hold");
        Check(c.failed || c.endedEarly, "a cut read passed for a whole one");
        lines.clear();
        PieceStream cutAgain(data, pieces);
        cutAgain.claimedSize = data.size() + 1;
        Check(!ReadWholeLines(cutAgain, lines), "ReadWholeLines took a cut read for whole");

        // An I/O error part of the way.
        const std::size_t failAt = data.empty() ? 0 : (h >> 7) % (data.size() + 1);
        PieceStream failing(data, pieces);
        failing.failAt = failAt;
        const ReadResult f = ReadAll(failing, cap);
        Check(IsPrefix(f.lines, capped.lines), "a failing read gave lines the file does not hold");
        const bool textEndsBefore = data.find('\x1A') < failAt;
        if (!textEndsBefore) Check(f.failed, "an I/O error went unnoticed");
        lines.clear();
        PieceStream failingAgain(data, pieces);
        failingAgain.failAt = failAt;
        if (!textEndsBefore) Check(!ReadWholeLines(failingAgain, lines), "ReadWholeLines took a failed read for whole");
    }
}

// The valid-integer rule restated on digit strings instead of a running value.
std::optional<std::int32_t> ExpectedInt(const std::string& text)
{
    std::size_t i = text.find_first_not_of(' ');
    if (i == std::string::npos) return std::nullopt;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
    bool hex = false;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        ++i;
    } else if (text.compare(i, 2, "0x") == 0 || text.compare(i, 2, "0X") == 0) {
        hex = true;
        i += 2;
    }
    std::string digits = text.substr(i);
    if (digits.empty()) return std::nullopt;
    const char* allowed = hex ? "0123456789abcdefABCDEF" : "0123456789";
    if (digits.find_first_not_of(allowed) != std::string::npos) return std::nullopt;
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));  // keep one digit
    if (hex) {
        if (digits.size() > 8) return std::nullopt;
        std::uint32_t bits = static_cast<std::uint32_t>(std::strtoul(digits.c_str(), nullptr, 16));
        if (negative) bits = 0u - bits;
        return static_cast<std::int32_t>(bits);
    }
    const std::string limit = negative ? "2147483648" : "2147483647";
    if (digits.size() > limit.size() || (digits.size() == limit.size() && digits > limit)) return std::nullopt;
    const long long value = std::strtoll(digits.c_str(), nullptr, 10);
    return static_cast<std::int32_t>(negative ? -value : value);
}

void CheckInt(const std::string& text)
{
    const auto got = ParseValidInt(text);
    Check(got == ExpectedInt(text), "ParseValidInt differs from the valid-integer rule");
    if (got) Check(ParseValidInt(std::to_string(*got)) == got, "a valid integer does not read back");
}

void FuzzIntegers(const std::string& data, std::uint32_t h)
{
    CheckInt(data);
    for (const auto& line : SplitTextLines(data)) {
        CheckInt(line);
        CheckInt(DeCrypt(line));
    }
    // Every form of one 32-bit value, often one at the edges of the range.
    std::int32_t n = static_cast<std::int32_t>(h);
    if ((h & 3) == 0) n = INT32_MIN + static_cast<std::int32_t>((h >> 2) % 3);
    if ((h & 3) == 1) n = INT32_MAX - static_cast<std::int32_t>((h >> 2) % 3);
    char hexText[16], padded[16];
    std::snprintf(hexText, sizeof hexText, "%X", static_cast<unsigned>(n));
    std::snprintf(padded, sizeof padded, "%08X", static_cast<unsigned>(n));
    Check(ParseValidInt(std::to_string(n)) == n, "a decimal int32 is refused");
    Check(ParseValidInt("  +" + std::to_string(static_cast<std::uint32_t>(n) >> 1)) ==
              static_cast<std::int32_t>(static_cast<std::uint32_t>(n) >> 1),
          "a signed decimal is refused");
    Check(ParseValidInt(std::string("$") + hexText) == n, "a $ hex int32 is refused");
    Check(ParseValidInt(std::string("0x000") + hexText) == n, "a 0x hex int32 is refused");
    Check(ParseValidInt(std::string("-x") + hexText) == static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(n)),
          "a negated hex pattern is wrong");
    const long long beyond = n < 0 ? static_cast<long long>(n) - 2147483649LL : static_cast<long long>(n) + 2147483648LL;
    Check(!ParseValidInt(std::to_string(beyond)), "a decimal outside 32 bits is taken");
    Check(!ParseValidInt(std::string("$1") + padded), "a hex beyond 32 bits is taken");
    Check(!ParseValidInt(std::to_string(n) + " "), "a trailing blank is taken");
}

// The version cut restated: after the first "::", or after the key character when
// there is none, up to the next "||"; a number by the valid-integer rule or nothing.
std::string ExpectedCut(const std::string& line)
{
    const auto marker = line.find("::");
    const std::size_t start = marker != std::string::npos ? marker + 2 : std::min<std::size_t>(1, line.size());
    const std::string rest = line.substr(start);
    const auto end = rest.find("||");
    if (end == std::string::npos) return "";
    const std::string version = rest.substr(0, end);
    return version.empty() || ExpectedInt(version) ? version : "";
}

void FuzzScrambling(const std::string& data)
{
    Check(DeCrypt(EnCrypt(data)) == data, "DeCrypt(EnCrypt(x)) != x");
    Check(EnCrypt(DeCrypt(data)) == data, "EnCrypt(DeCrypt(x)) != x");
    Check(DeCrypt(data).size() == data.size(), "DeCrypt changed the length");

    for (const auto& line : SplitTextLines(data)) {
        const std::string version = CutVersion(DeCrypt(line));
        Check(version.empty() || ParseValidInt(version), "CutVersion gave an invalid number");
        Check(version == ExpectedCut(DeCrypt(line)), "CutVersion differs from the version cut");
        Check(CutVersion(line) == ExpectedCut(line), "CutVersion differs from the version cut");
    }
    // A version line as the product writes it comes back whole.
    const std::int32_t n = static_cast<std::int32_t>(Hash(data));
    const std::string key = data.empty() || data[0] == ':' ? "Q" : data.substr(0, 1);
    const std::string plain = key + "::" + std::to_string(n) + "||" + data;
    Check(CutVersion(DeCrypt(EnCrypt(plain))) == std::to_string(n), "a written version line does not read back");
    std::string tail = data;
    std::replace(tail.begin(), tail.end(), ':', ';');
    Check(CutVersion(key + std::to_string(n) + "||" + tail) == std::to_string(n),
          "a version line without its marker does not read back");
}

void FuzzFiles(const std::string& data)
{
    const std::string dir = "C:\\Program Files\\Ostravane\\Quellmark\\";
    const std::vector<std::string> lines = SplitTextLines(data);
    const std::string first = lines.empty() ? std::string() : lines.front();

    fake::FakeFileSystem fs;
    fs.AddFolder(dir);
    Check(GetDbaseVer(fs, dir).empty(), "a version without reflist.dta");
    Check(GetExtraVersion(fs, dir + "extra1.dta") == -1, "an expiry without the file");

    fs.AddFile(dir + "reflist.dta", data);
    fs.AddFile(dir + "extra1.dta", data);
    const std::string version = GetDbaseVer(fs, dir);
    Check(version.empty() || ParseValidInt(version), "GetDbaseVer gave an invalid number");
    Check(version == (first.empty() ? std::string() : CutVersion(DeCrypt(first))),
          "GetDbaseVer is not the cut of the first line");
    const std::int32_t expiry = GetExtraVersion(fs, dir + "extra1.dta");
    Check(expiry == (first.empty() ? -1 : ParseValidInt(DeCrypt(first)).value_or(-1)),
          "GetExtraVersion is not the number of the first line");

    // A file that cannot be read has neither.
    fs.failReadsOf.insert(fake::NormalPath(dir + "reflist.dta"));
    fs.failReadsOf.insert(fake::NormalPath(dir + "extra1.dta"));
    Check(GetDbaseVer(fs, dir).empty(), "a version from an unreadable file");
    Check(GetExtraVersion(fs, dir + "extra1.dta") == -1, "an expiry from an unreadable file");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::uint32_t h = Hash(text);
    FuzzLines(text, h);
    FuzzIntegers(text, h);
    FuzzScrambling(text);
    FuzzFiles(text);
    return 0;
}
