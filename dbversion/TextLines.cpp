#include "dbversion/TextLines.h"

#include <algorithm>

namespace dupd {

bool TextLineReader::Fill()
{
    if (eof_ || failed_) return false;
    std::size_t got = 0;
    if (!stream_.Read(buffer_.data(), buffer_.size(), got)) {
        failed_ = true;
        return false;
    }
    pos_ = 0;
    end_ = got;
    consumed_ += got;
    if (got == 0) {
        eof_ = true;
        // A read that ends before the size the file had is a cut, not its end.
        const auto size = stream_.Size();
        if (size && consumed_ < *size) failed_ = true;
    }
    return got > 0;
}

bool TextLineReader::Next(std::string& line)
{
    line.clear();
    if (textEnded_) return false;
    bool started = false;  // a line exists once any byte of it, even its LF, is seen
    for (;;) {
        if (pos_ == end_ && !Fill()) return started && !failed_;
        const char c = buffer_[pos_++];
        if (c == '\x1A') {
            textEnded_ = true;
            endedEarly_ = pos_ < end_ || Fill();
            return started && !failed_;
        }
        started = true;
        if (c == '\n') return true;
        if (c != '\r' && line.size() < maxLine_) line.push_back(c);
    }
}

namespace {
class MemoryStream : public IReadStream {
public:
    explicit MemoryStream(const std::string& text) : text_(text) {}
    std::optional<std::uint64_t> Size() override { return text_.size(); }
    bool Read(char* buffer, std::size_t capacity, std::size_t& got) override
    {
        got = std::min(capacity, text_.size() - pos_);
        text_.copy(buffer, got, pos_);
        pos_ += got;
        return true;
    }

private:
    const std::string& text_;
    std::size_t pos_ = 0;
};
}  // namespace

std::vector<std::string> SplitTextLines(const std::string& text)
{
    MemoryStream stream(text);
    TextLineReader reader(stream);
    std::vector<std::string> lines;
    std::string line;
    while (reader.Next(line)) lines.push_back(line);
    return lines;
}

bool ReadWholeLines(IReadStream& stream, std::vector<std::string>& lines)
{
    TextLineReader reader(stream);
    std::string line;
    while (reader.Next(line)) lines.push_back(line);
    return !reader.Failed() && !reader.EndedEarly();
}

bool ReadFirstLine(IFileSystem& fs, const std::string& path, std::string& line)
{
    line.clear();
    auto stream = fs.OpenRead(path);
    if (!stream) return false;
    TextLineReader reader(*stream);
    reader.Next(line);
    return !reader.Failed();
}

}  // namespace dupd
