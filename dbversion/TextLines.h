// Text files are read line by line by one rule everywhere: LF ends a line, a CR just
// before it is not part of the line, a lone CR is dropped, a 0x1A byte ends the text,
// and the end of the file ends the last line. The reader streams, so a file of any
// size is read in constant memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "winenv/Platform.h"

namespace dupd {

class TextLineReader {
public:
    // A line longer than `maxLine` bytes is cut to that length (the rest of it is
    // skipped, never held), so that memory stays flat whatever a file holds.
    explicit TextLineReader(IReadStream& stream, std::size_t maxLine = static_cast<std::size_t>(-1))
        : stream_(stream), maxLine_(maxLine)
    {
    }

    // The next line, without its end; false at the end of the text or on an I/O
    // error (Failed() tells which). A file that ends short of the size it had when
    // opened counts as an I/O error.
    bool Next(std::string& line);
    bool Failed() const { return failed_; }
    // A 0x1A byte ended the text with more bytes after it: what follows was not read.
    bool EndedEarly() const { return endedEarly_; }

private:
    bool Fill();

    IReadStream& stream_;
    std::size_t maxLine_;
    std::uint64_t consumed_ = 0;
    bool endedEarly_ = false;
    std::vector<char> buffer_ = std::vector<char>(64 * 1024);
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
    bool textEnded_ = false;  // a 0x1A byte was read
    bool failed_ = false;
};

// All lines of a text held in memory, by the same rule.
std::vector<std::string> SplitTextLines(const std::string& text);

// Every line of a stream into `lines`; false when the stream was not read whole: an
// I/O error, a short read, or a 0x1A byte with more text after it (a rewrite from
// these lines would drop what follows it).
bool ReadWholeLines(IReadStream& stream, std::vector<std::string>& lines);

// The first line of a file (empty for an empty file); false when the file cannot be
// opened or read.
bool ReadFirstLine(IFileSystem& fs, const std::string& path, std::string& line);

}  // namespace dupd
