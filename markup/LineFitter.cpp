// Fitting a line: the pieces' widths and heights, where the line ends, indents,
// offsets, list steps and the room pictures take. The measuring pass decides
// what makes up the line; the drawing pass replays it through the same routine.
#include <algorithm>
#include <climits>
#include <string>

#include "markup/MarkupEngine.h"
#include "markup/MarkupHelpers.h"

namespace dupd {
namespace markup_engine {

std::string Engine::LineRoutine(Cursor& markup, TRect rect, bool measure, bool firstPass)
{
    PassState pass;
    pass.measure = measure;
    pass.first = firstPass;
    pass.second = !firstPass;
    rect.Bottom = Sat(static_cast<long long>(rect.Bottom) - measures_.subAllowance);
    pass.line = rect;
    pass.carried = state_.offset;
    pass.x = Sat(static_cast<long long>(rect.Left) + pass.carried);
    pass_ = pass;
    if (firstPass) measures_.indentMoves.clear();

    LineBackground(rect);

    std::string source;
    while (!markup.AtEnd() && !pass_.done && !pass_.full) {
        CutPiece(markup, measure, firstPass, source);
        if (markup.AtTag()) TagStep(markup, firstPass, source);
    }
    EndOfLine();
    return source;
}

void Engine::CutPiece(Cursor& markup, bool measure, bool firstPass, std::string& source)
{
    const std::string& text = markup.Text();
    const std::size_t start = markup.Pos();
    const std::size_t end = PieceEnd(markup, req_.WordWrap);
    if (end <= start) return;

    const std::string raw = text.substr(start, end - start);
    const std::string piece = ReplacePieceEntities(raw);

    const int h = Height(piece);
    if (state_.subscript) SetMeasure(measures_.subAllowance, std::max(measures_.subAllowance, h / 4));
    if (state_.superscript) SetMeasure(measures_.supAllowance, std::max(measures_.supAllowance, h / 4));
    measures_.height = std::max(measures_.height, h);

    if (state_.hidden) {
        if (firstPass) res_.PlainText += piece;
        markup.Advance(end);
        return;
    }

    int w = 0;
    if (measure) {
        TRect r = pass_.line;
        c_.DrawText(piece, r, measureFlags_);
        w = Clamp(static_cast<long long>(r.Right) - r.Left, 0, kMaxCoord);
        pass_.width = Sat(static_cast<long long>(pass_.width) + w);
        if (state_.inAnchor) HitTestPiece(w);
    } else {
        DrawPiece(piece);
    }

    // Only the first pass decides what makes up the line; the second replays it. A
    // word wider than the whole line is not let in after other words: it begins the
    // next line, where it comes first and so stands on a line of its own.
    const long long available = static_cast<long long>(pass_.line.Right) - pass_.line.Left - pass_.carried;
    const bool accepted = !firstPass || available > pass_.width || !pass_.placedEndsWithSpace;
    if (accepted || !req_.WordWrap) {
        source.append(raw);
        markup.Advance(end);
        if (firstPass) res_.PlainText += piece;
        pass_.placedEndsWithSpace = piece.back() == ' ';
        pass_.trailingSpace =
            (raw.back() == ' ' && piece.size() == raw.size()) ? Clamp(c_.TextWidth(" "), 0, kMaxCoord) : 0;
    } else {
        pass_.done = true;
        pass_.width = Sat(static_cast<long long>(pass_.width) - w);
    }
}

void Engine::EndOfLine()
{
    pass_.width = Sat(static_cast<long long>(pass_.width) - pass_.trailingSpace);
    if (pass_.width > res_.Width) res_.Width = Sat(static_cast<long long>(pass_.width) + 2);
    EndOfLineFocus();
}

void Engine::IndentTag(const std::string& up, bool firstPass)
{
    bool valid = false;
    const int value = ReadNumber(AttributeValue(up, "X"), &valid);
    bool move = false;
    if (firstPass) {
        move = valid && value > pass_.width;
        measures_.indentMoves.push_back(move);
    } else if (pass_.indentNext < measures_.indentMoves.size()) {
        move = measures_.indentMoves[pass_.indentNext++];
    }
    if (move) {
        pass_.width = Sat(value);
        pass_.x = Sat(static_cast<long long>(bounds_.Left) + pass_.width);
    }
}

void Engine::OffsetTag(const std::string& up)
{
    bool valid = false;
    const int value = ReadNumber(AttributeValue(up, "X"), &valid);
    if (valid) {
        state_.offset = Sat(value);
        pass_.width = state_.offset;
        pass_.x = state_.offset;
    }
}

void Engine::RotationTag(const std::string& up)
{
    const int angle = ReadNumber(AttributeValue(up, "A"));
    PassFont& font = fonts_[pass_.first ? 0 : 1];
    const TFontState previous = SelectRotatedFont(c_, angle);
    if (!font.rotated) font.beforeRotation = previous;
    font.rotated = true;
}

void Engine::RotationEnd()
{
    PassFont& font = fonts_[pass_.first ? 0 : 1];
    if (font.rotated) {
        c_.SetFont(font.beforeRotation);
        font.rotated = false;
    }
}

void Engine::ListItem()
{
    // A second item begins the next line and takes no room on this one.
    if (pass_.listSeen) {
        pass_.full = true;
        return;
    }
    pass_.listSeen = true;
    const long long level = state_.listLevel;
    pass_.width = Sat(pass_.width + level * kListStep);
    pass_.x = Sat(pass_.x + (level - 1) * kListStep);
    if (!pass_.measure && !state_.hidden) DrawBullet(level);
    pass_.x = Sat(static_cast<long long>(pass_.x) + kListStep);
}

Picture Engine::Resolve(const std::string& source)
{
    Picture p;
    if (source.empty()) return p;
    if (StartsNoCase(source, "IDX:")) {
        const int n = ReadNumber(source.substr(4));
        if (req_.ImageList && n >= 0 && n < req_.ImageList->Count()) {
            p.kind = Picture::kList;
            p.index = n;
        }
    }
    if (StartsNoCase(source, "SSYS:") || StartsNoCase(source, "LSYS:")) {
        p.kind = Picture::kIcon;
        p.large = UpperAscii(source[0]) == 'L';
        p.iconText = source.substr(5);
        int size = 0;
        SystemIcon(c_, 0, 0, size, imageScale_, req_.ScaleImages, false, p.large, p.iconText);
        p.iconSize = Clamp(size, 0, kMaxCoord);
    }
    IMarkupGraphic* graphic = nullptr;
    if (source.find(':') == std::string::npos && req_.PictureContainer)
        graphic = req_.PictureContainer->FindPicture(source);
    if (source.find("://") != std::string::npos && req_.PictureCache) {
        graphic = req_.PictureCache->Find(source);
        if (!graphic) graphic = req_.PictureCache->AddAndLoad(source);
    }
    if (graphic && !graphic->Empty()) {
        p.kind = Picture::kGraphic;
        p.graphic = graphic;
    }
    return p;
}

// The room a picture takes, in device pixels.
int Engine::PictureWidth(const Picture& p, int width, int height) const
{
    switch (p.kind) {
    case Picture::kList: return MulDivRound(Clamp(req_.ImageList->Width(), 0, kMaxCoord), ppiX_, 96);
    case Picture::kIcon: return MulDivRound(p.iconSize, ppiX_, 96);
    case Picture::kGraphic:
        return MulDivRound(width < 1 || height < 1 ? Clamp(p.graphic->LayoutWidth(), 0, kMaxCoord) : width, ppiX_, 96);
    default: return 0;
    }
}

int Engine::PictureHeight(const Picture& p, int width, int height) const
{
    switch (p.kind) {
    case Picture::kList: return MulDivRound(Clamp(req_.ImageList->Height(), 0, kMaxCoord), ppiY_, 96);
    case Picture::kIcon: return MulDivRound(p.iconSize, ppiY_, 96);
    case Picture::kGraphic:
        return MulDivRound(width < 1 || height < 1 ? Clamp(p.graphic->LayoutHeight(), 0, kMaxCoord) : height, ppiY_,
                           96);
    default: return 0;
    }
}

void Engine::PictureTag(const std::string& tag, const std::string& up, bool firstPass)
{
    if (state_.pictureCounter < INT_MAX) ++state_.pictureCounter;
    const std::size_t end = tag.back() == '>' ? tag.size() - 1 : tag.size();
    const std::string inner = end > 2 ? tag.substr(2, end - 2) : std::string();
    const std::string innerUp = end > 2 ? up.substr(2, end - 2) : std::string();

    std::string source;
    const std::size_t src = innerUp.find("SRC");
    if (src != std::string::npos) source = AttributeValue(inner.substr(src), inner.substr(src, 3));
    if (Contains(innerUp, "ALT") && state_.pictureCounter == capture_.hoveredPicture)
        source = AttributeValue(innerUp, "ALT");
    const int width = Clamp(ReadNumber(AttributeValue(innerUp, "WIDTH")), -kMaxCoord, kMaxCoord);
    const int height = Clamp(ReadNumber(AttributeValue(innerUp, "HEIGHT")), -kMaxCoord, kMaxCoord);

    const Picture picture = Resolve(source);
    if (picture.kind == Picture::kNone) return;  // no picture: no room, nothing drawn, no hit
    const int pw = PictureWidth(picture, width, height);
    const int ph = PictureHeight(picture, width, height);

    if (firstPass) {
        const long long room = static_cast<long long>(pass_.line.Right) - pass_.line.Left;
        if (static_cast<long long>(pass_.width) + pw > room && pw < room) {
            pass_.full = true;
            --state_.pictureCounter;  // counted again where it is placed
            return;
        }
    }
    HitTestPicture(pw, ph);
    if (!pass_.measure) DrawPictureAt(picture, pass_.x, pass_.line.Top, width, height);

    const bool wrap = Contains(innerUp, "WRAP");
    pass_.width = Sat(static_cast<long long>(pass_.width) + pw);
    pass_.x = Sat(static_cast<long long>(pass_.x) + pw);
    pass_.trailingSpace = 0;  // the space before the picture is inside the line
    if (!(pass_.second && wrap)) measures_.height = std::max(measures_.height, ph);
    if (Contains(innerUp, "ALIGN")) {
        if (Contains(innerUp, "\"TOP"))
            SetMeasure(measures_.shift, measures_.height - GhHeight());
        else if (Contains(innerUp, "\"MIDDLE"))
            SetMeasure(measures_.shift, (measures_.height - GhHeight()) / 2);
    }
    if (wrap && firstPass) {
        measures_.height = GhHeight();
        measures_.shift = 0;
    }
}

}  // namespace markup_engine
}  // namespace dupd
