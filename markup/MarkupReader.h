// Reading markup for the engine: the text made ready for layout, the cursor that
// consumes it by position, where a piece ends and what a tag is. Internal to
// markup/.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>

#include "winenv/Ascii.h"

namespace dupd {
namespace markup_engine {

inline std::string Upper(const std::string& s) { return UpperAscii(s); }

inline bool Contains(const std::string& text, const char* what) { return text.find(what) != std::string::npos; }

inline bool StartsNoCase(const std::string& text, const char* prefix)
{
    std::size_t i = 0;
    for (; prefix[i]; ++i)
        if (i >= text.size() || UpperAscii(text[i]) != prefix[i]) return false;
    return true;
}

// The text as the lines see it: entities, hash tags and line ends replaced.
std::string PrepareMarkup(const std::string& text);

// The markup being consumed, by position. The next "<" and the next space are
// remembered until the position passes them, so cutting a whole text into pieces
// costs one scan however the pieces fall.
class Cursor {
public:
    explicit Cursor(const std::string& text) : text_(text) {}
    const std::string& Text() const { return text_; }
    std::size_t Pos() const { return pos_; }
    void Advance(std::size_t to) { pos_ = std::min(to, text_.size()); }
    bool AtEnd() const { return pos_ >= text_.size(); }
    std::size_t Remaining() const { return text_.size() - pos_; }
    bool AtTag() const { return !AtEnd() && text_[pos_] == '<'; }
    std::size_t NextLt() { return Next('<', lt_, ltKnown_); }
    std::size_t NextSpace() { return Next(' ', sp_, spKnown_); }

private:
    std::size_t Next(char c, std::size_t& cached, bool& known)
    {
        if (!known || (cached != std::string::npos && cached < pos_)) {
            cached = text_.find(c, pos_);
            known = true;
        }
        return cached;
    }

    const std::string& text_;
    std::size_t pos_ = 0;
    std::size_t lt_ = std::string::npos;
    std::size_t sp_ = std::string::npos;
    bool ltKnown_ = false;
    bool spKnown_ = false;
};

// Where the piece at the cursor ends: at the next tag, or with word wrapping just
// after the next space if that comes first. At or before the position: no piece.
inline std::size_t PieceEnd(Cursor& markup, bool wordWrap)
{
    const std::string& text = markup.Text();
    const std::size_t lt = markup.NextLt();
    std::size_t end;
    if (wordWrap) {
        const std::size_t space = markup.NextSpace();
        if (lt == std::string::npos || (space != std::string::npos && space < lt))
            end = space == std::string::npos ? text.size() : space + 1;
        else
            end = lt;
    } else {
        end = lt == std::string::npos ? text.size() : lt;
    }
    return end;
}

}  // namespace markup_engine
}  // namespace dupd
