// Reading markup: the text made ready, pieces and tags, and what each tag asks
// of the line being fitted or drawn.
#include "markup/MarkupReader.h"

#include <algorithm>
#include <string>

#include "markup/MarkupEngine.h"
#include "markup/MarkupHelpers.h"

namespace dupd {
namespace markup_engine {

std::string PrepareMarkup(const std::string& text)
{
    std::string markup = text.find('&') != std::string::npos ? ReplaceNamedEntities(text) : text;
    return ApplyLineEndRule(ApplyHashTagRule(markup), true);
}

void Engine::TagStep(Cursor& markup, bool firstPass, std::string& source)
{
    if (!markup.AtTag()) return;
    const std::string& text = markup.Text();
    const std::size_t start = markup.Pos();
    if (markup.Remaining() <= 2) {
        markup.Advance(text.size());
        return;
    }
    if (pass_.done) return;

    const std::size_t close = text.find('>', start);
    const std::size_t length = close == std::string::npos ? text.size() - start : close - start + 1;
    const std::string tag = text.substr(start, length);
    const std::string up = Upper(tag);
    if (up[1] == '/') {
        if (markup.Remaining() > 3) ClosingTag(up);
    } else {
        OpeningTag(tag, up, close != std::string::npos, firstPass);
    }
    if (pass_.full) return;
    if (close == std::string::npos) {
        markup.Advance(text.size());
    } else {
        source.append(tag);
        markup.Advance(close + 1);
    }
}

void Engine::OpeningTag(const std::string& tag, const std::string& up, bool hasClose, bool firstPass)
{
    const bool drawing = !pass_.measure;
    const char letter = up[1];
    const char second = up.size() > 2 ? up[2] : '\0';
    switch (letter) {
    case 'A': AnchorTag(tag); break;
    case 'B':
        if (second == '>') {
            SetStyle(fsBold, true);
        } else if (second == 'R') {
            pass_.done = true;
            if (firstPass) res_.PlainText += '\r';
        } else if (second == 'O') {
            if (drawing && !req_.KeepColours) BodyTag(tag, up, hasClose ? tag.size() - 1 : tag.size());
        } else if (second == 'L') {
            if (!req_.BlinkVisible) SetFontColor(entryBrush_);
        }
        break;
    case 'E':
        if (drawing) draw_.errorMark = true;
        break;
    case 'F':
        if (hasClose) FontTag(up, tag.size() - 1);
        break;
    case 'H':
        if (second == 'I') {
            if (drawing) HighlightTag();
        } else if (second == 'R') {
            pass_.done = true;
            if (drawing) HorizontalRule();
        }
        break;
    case 'I':
        if (second == '>') {
            SetStyle(fsItalic, true);
        } else if (second == 'N') {
            IndentTag(up, firstPass);
        } else if (second == 'M') {
            PictureTag(tag, up, firstPass);
        }
        break;
    case 'L': ListItem(); break;
    case 'O':
        if (second == 'F') OffsetTag(up);
        break;
    case 'P':
        if (hasClose) ParagraphTag(up);
        break;
    case 'R': RotationTag(up); break;
    case 'S':
        if (second == '>')
            SetStyle(fsStrikeOut, true);
        else if (second == 'H')
            state_.shadow = true;
        else if (up == "<SUB>")
            state_.subscript = true;
        else if (up == "<SUP>")
            state_.superscript = true;
        break;
    case 'U':
        if (second == '>') {
            SetStyle(fsUnderline, true);
        } else {
            state_.listLevel = std::min(state_.listLevel + 1, kMaxListLevel);
            pass_.done = true;
        }
        break;
    case 'Z': state_.hidden = true; break;
    default: break;
    }
}

void Engine::ClosingTag(const std::string& up)
{
    const bool drawing = !pass_.measure;
    const char letter = up.size() > 2 ? up[2] : '\0';
    const char second = up.size() > 3 ? up[3] : '\0';
    switch (letter) {
    case 'A': AnchorEnd(); break;
    case 'B':
        if (second == '>')
            SetStyle(fsBold, false);
        else
            SetFontColor(baseFont_.Color);
        break;
    case 'E':
        if (drawing) draw_.errorMark = false;
        break;
    case 'F':
        ChangeFont([&](TFontState& f) {
            f.Name = baseFont_.Name;
            f.Size = baseFont_.Size;
        });
        if (drawing && !req_.KeepColours) {
            SetFontColor(baseFont_.Color);
            c_.SetBrushColor(draw_.fontSavedBrush);
        }
        break;
    case 'H':
        if (drawing) HighlightEnd();
        break;
    case 'I': SetStyle(fsItalic, false); break;
    case 'L': pass_.done = true; break;
    case 'O': state_.offset = 0; break;
    case 'P':
        pass_.done = true;
        if (drawing) {
            c_.SetBrushColor(draw_.paraSavedBrush);
            draw_.paraBackground = false;
        }
        break;
    case 'R': RotationEnd(); break;
    case 'S':
        if (second == 'U') {
            state_.subscript = state_.superscript = false;
        } else if (second == 'H') {
            state_.shadow = false;
        } else {
            SetStyle(fsStrikeOut, false);
        }
        break;
    case 'U':
        if (up == "</U>") {
            SetStyle(fsUnderline, false);
        } else if (state_.listLevel > 0) {
            --state_.listLevel;
        } else {
            SetStyle(fsUnderline, false);
        }
        break;
    case 'Z': state_.hidden = false; break;
    default: break;
    }
}

void Engine::FontTag(const std::string& up, std::size_t close)
{
    const std::string attrs = close > 5 ? up.substr(5, close - 5) : std::string();
    if (FindNoCase(attrs, "FACE")) {
        const std::string face = AttributeValue(attrs, "FACE");
        if (!face.empty()) ChangeFont([&](TFontState& f) { f.Name = face; });
    }
    if (FindNoCase(attrs, " COLOR") && !req_.KeepColours) {
        const TColor color = ColorValue(AttributeValue(attrs, " COLOR"));
        if (color != clNone) SetFontColor(color);
    }
    if (FindNoCase(attrs, "BGCOLOR") && !pass_.measure && !req_.KeepColours) {
        const TColor color = ColorValue(AttributeValue(attrs, "BGCOLOR"));
        if (color != clNone) {
            draw_.fontSavedBrush = c_.BrushColor();
            c_.SetBrushColor(color);
        }
    }
    if (FindNoCase(attrs, "SIZE")) {
        int size = SizeAttribute(attrs);
        switch (size) {
        case 1: size = 8; break;
        case 2: size = 10; break;
        case 3: size = 12; break;
        case 4: size = 14; break;
        case 5: size = 16; break;
        default: break;
        }
        size = Clamp(size, -kMaxFontSize, kMaxFontSize);
        ChangeFont([&](TFontState& f) { f.Size = size; });
    }
}

void Engine::ParagraphTag(const std::string& up)
{
    if (FindNoCase(up, "ALIGN")) {
        const std::string value = AttributeValue(up, "ALIGN");
        if (Contains(value, "RIGHT")) state_.align = 1;
        if (Contains(value, "LEFT")) state_.align = 0;
        if (Contains(value, "CENTER")) state_.align = 2;
    }
    if (FindNoCase(up, "INDENT")) state_.indent = Sat(ReadNumber(AttributeValue(up, "INDENT")));
    ParagraphBackground(up);
}

}  // namespace markup_engine
}  // namespace dupd
