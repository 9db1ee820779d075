// Text files are read line by line by one rule everywhere: LF ends a line, a CR just
// before it is not part of the line, a lone CR is dropped, a 0x1A byte ends the text,
// and the end of the file ends the last line. The reader streams, so a file of any
// size is read in constant memory.
#pragma once

#include <string>
#include <vector>

#include "winenv/Platform.h"

namespace dupd {

class TextLineReader {
public:
    explicit TextLineReader(IReadStream& stream) : stream_(stream) {}

    // The next line, without its end; false at the end of the text or on an I/O
    // error (Failed() tells which).
    bool Next(std::string& line);
    bool Failed() const { return failed_; }

private:
    bool Fill();

    IReadStream& stream_;
    std::vector<char> buffer_ = std::vector<char>(64 * 1024);
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
    bool textEnded_ = false;  // a 0x1A byte was read
    bool failed_ = false;
};

// All lines of a text held in memory, by the same rule.
std::vector<std::string> SplitTextLines(const std::string& text);

// The first line of a file (empty for an empty file); false when the file cannot be
// opened or read.
bool ReadFirstLine(IFileSystem& fs, const std::string& path, std::string& line);

}  // namespace dupd
