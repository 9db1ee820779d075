// libFuzzer target: wininit.ini as the 9x family's deferred replacement reads and
// edits it. The input is the file, optionally preceded by the target and source
// names, each ended by a NUL byte (without two NULs the names are short paths as
// the product writes them). The file is read by the text-line rule, searched for an
// existing entry and given the two [rename] entries; every original line must stay,
// in order, with the new pair in its one right place. Built and run by scripts/fuzz.
#include "FuzzCheck.h"
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "FakePlatform.h"
#include "dbversion/TextLines.h"
#include "install/Wininit.h"

namespace {

using namespace dupd;
using fuzzcheck::Check;
using fuzzcheck::Fail;

std::string AsciiUpper(std::string s)
{
    for (auto& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string AsciiLower(std::string s)
{
    for (auto& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// The lines as they must be after the insertion.
std::vector<std::string> ExpectedWith(const std::vector<std::string>& lines, const std::string& target,
                                      const std::string& source)
{
    std::vector<std::string> out;
    bool placed = false;
    for (const auto& line : lines) {
        out.push_back(line);
        if (!placed && AsciiUpper(line) == "[RENAME]") {
            out.push_back("nul=" + target);
            out.push_back(target + "=" + source);
            placed = true;
        }
    }
    if (!placed) {
        out.push_back("[rename]");
        out.push_back("nul=" + target);
        out.push_back(target + "=" + source);
    }
    return out;
}

void CheckInsertion(const std::vector<std::string>& lines, const std::string& target, const std::string& source)
{
    const auto result = WithWininitRename(lines, target, source);
    Check(result == ExpectedWith(lines, target, source), "the pair is not right after the first [RENAME], or a line moved");
    Check(HasWininitRename(result, target, source), "the inserted entry is not found");
    Check(HasWininitRename(result, AsciiLower(target), AsciiUpper(source)), "the entry is not found in another case");

    // Over a file that already holds a pair the new one goes in front of it.
    const auto twice = WithWininitRename(result, target, source);
    Check(twice == ExpectedWith(result, target, source), "a second insertion misplaced the pair");
    Check(HasWininitRename(twice, target, source), "the entry is lost after a second insertion");
}

void FuzzReading(const std::string& content, std::vector<std::string>& lines)
{
    const std::string path = "C:\\WINDOWS\\wininit.ini";
    const auto stop = content.find('\x1A');
    const bool whole = stop == std::string::npos || stop + 1 == content.size();

    fake::FakeFileSystem fs;
    fs.AddFile(path, content);
    auto in = fs.OpenRead(path);
    Check(in != nullptr, "the file does not open");
    Check(ReadWholeLines(*in, lines) == whole, "ReadWholeLines misjudges a whole read");
    Check(lines == SplitTextLines(content), "ReadWholeLines lines differ from SplitTextLines");
    for (const auto& line : lines)
        Check(line.find_first_of(std::string("\r\n\x1A", 3)) == std::string::npos, "a line holds a line-end byte");

    fs.failReadsOf.insert(fake::NormalPath(path));
    std::vector<std::string> failed;
    auto broken = fs.OpenRead(path);
    Check(broken != nullptr && !ReadWholeLines(*broken, failed), "a failed read passed for a whole one");
}

std::string PathShaped(std::string name)
{
    std::string out = "C:\\";
    for (char c : name)
        if (c != '\r' && c != '\n') out.push_back(c);
    while (!out.empty() && (out.back() == ' ' || out.back() == '\t')) out.pop_back();
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string target = "C:\\PROGRA~1\\OSTRAV~1\\QUELLM~1\\QLM_LIST.DTA";
    std::string source = "C:\\PROGRA~1\\OSTRAV~1\\QUELLM~1\\QLM_LI~1.DUP";
    std::string content = input;
    const auto first = input.find('\0');
    const auto second = first == std::string::npos ? first : input.find('\0', first + 1);
    if (second != std::string::npos) {
        // Shaped as the short forms of absolute paths are: a drive first, no blank at
        // either end, no line break.
        target = PathShaped(input.substr(0, first));
        source = PathShaped(input.substr(first + 1, second - first - 1));
        content = input.substr(second + 1);
    }

    std::vector<std::string> lines;
    FuzzReading(content, lines);
    CheckInsertion(lines, target, source);

    // Lines cut at LF alone, with their CRs and any other byte left in.
    std::vector<std::string> raw;
    std::size_t start = 0;
    for (std::size_t end; (end = content.find('\n', start)) != std::string::npos; start = end + 1)
        raw.push_back(content.substr(start, end - start));
    raw.push_back(content.substr(start));
    CheckInsertion(raw, target, source);
    return 0;
}
