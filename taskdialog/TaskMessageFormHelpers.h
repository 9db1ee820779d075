// What the emulated dialog's rules share between building and arranging
// (TaskMessageForm.cpp, TaskMessageFormLayout.cpp), painting
// (TaskMessageFormPaint.cpp) and input (TaskMessageFormInput.cpp). Internal to
// taskdialog/.
#pragma once

#include <cstdint>
#include <string>

#include "markup/Canvas.h"
#include "taskdialog/TaskMessageForm.h"
#include "winenv/Ascii.h"

namespace dupd {
namespace taskform {

// The framework's form starts this high; the band sits below it until the first
// arrangement.
constexpr int kInitialWindowHeight = 240;
constexpr int kImageSize = 32;
constexpr int kExpandButtonSize = 19;
constexpr int kFooterIconRoom = 20;  // the footer icon and the space after it
constexpr int kCommonKinds = 6;

inline int g_buttonWidths[kCommonKinds] = {};

struct CommonKind {
    const char* name;
    const char* caption;
    int result;
};
constexpr CommonKind kCommon[kCommonKinds] = {
    {"OK", "OK", 1},         {"Yes", "&Yes", 6},     {"No", "&No", 7},
    {"Cancel", "Cancel", 2}, {"Retry", "&Retry", 4}, {"Abort", "&Abort", 3},
};

// The platform's MulDiv: the product divided, rounded to the nearest integer.
inline int MulDiv(int a, int b, int c)
{
    const long long n = static_cast<long long>(a) * b;
    const long long q = (n < 0 ? n - c / 2 : n + c / 2) / c;
    return static_cast<int>(q);
}

inline std::string ReplaceAll(std::string text, const std::string& what, const std::string& with)
{
    for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += with.size())
        text.replace(at, what.size(), with);
    return text;
}

// Dialog texts write line breaks as the two characters backslash and n.
inline std::string AsMarkup(const std::string& text) { return ReplaceAll(ReplaceAll(text, "\\n", "<br>"), "\n", "<br>"); }
inline std::string AsPlain(const std::string& text) { return ReplaceAll(text, "\\n", "\r"); }

// The accelerator character of a caption: the one after a single "&"; 0 for none.
inline char Accelerator(const std::string& caption)
{
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] != '&') return caption[i + 1];
        ++i;
    }
    return 0;
}

inline bool IsAccelerator(char c, const std::string& caption)
{
    const char a = Accelerator(caption);
    return a != 0 && UpperAscii(a) == UpperAscii(c);
}

inline bool Inside(const TRect& r, int x, int y) { return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom; }

constexpr TRect kNoRect{-1, -1, -1, -1};

class FontScope {
public:
    FontScope(TCanvas& canvas, const TFontState& font) : canvas_(canvas), saved_(canvas.Font()) { canvas.SetFont(font); }
    ~FontScope() { canvas_.SetFont(saved_); }
    FontScope(const FontScope&) = delete;
    FontScope& operator=(const FontScope&) = delete;

private:
    TCanvas& canvas_;
    TFontState saved_;
};

inline TFontState Heading(const TFontState& windowFont)
{
    TFontState f = windowFont;
    f.Size = 11;
    f.Style = static_cast<std::uint8_t>(f.Style | fsBold);
    return f;
}

inline int FooterIdOf(TTaskDialogFooterIcon icon)
{
    switch (icon) {
    case tfiWarning: return idi::kExclamation;
    case tfiQuestion: return idi::kQuestion;
    case tfiError: return idi::kHand;
    case tfiInformation: return idi::kAsterisk;
    case tfiShield: return idi::kWinLogo;
    case tfiBlank: break;
    }
    return 0;
}


}  // namespace taskform
}  // namespace dupd
