// Small routines that the markup engine and the emulated dialog share: text
// rewriting before layout, case-insensitive search, attribute values, numbers and
// colours, gradients, rotated fonts, system icons, multi-line button texts.
// Positions are 1-based, 0 meaning "not found", as the markup rules count them.
#pragma once

#include <string>
#include <vector>

#include "markup/Canvas.h"

namespace dupd {

// The nine named entities, one sweep each time, repeated until a sweep changes
// nothing ("&amp;" becomes "&&").
std::string ReplaceNamedEntities(const std::string& text);
// "&nbsp;", "&lt;", "&gt;" inside one text piece, each until none is left.
std::string ReplacePieceEntities(const std::string& piece);
// The first "<#" loses its "<" and the first ">" after it.
std::string ApplyHashTagRule(const std::string& text);
// Every LF dropped; every CR becomes "<BR>" with the flag, else dropped.
std::string ApplyLineEndRule(const std::string& text, bool crToBreak);

int FindNoCase(const std::string& text, const std::string& pattern);
int FindAndReport(const std::string& pattern, const std::string& text, int& position);
bool ReplaceFirstNoCase(const std::string& pattern, const std::string& replacement, std::string& text);

// The leading decimal number (spaces and a sign allowed); `valid` tells whether
// nothing followed it.
int ReadNumber(const std::string& text, bool* valid = nullptr);
int HexPair(const std::string& pair);
TColor HexColor(const std::string& text);
TColor ColorValue(const std::string& text);  // "" gives clNone

// The double-quoted value after `name` in `tag` ("" without quotes).
std::string AttributeValue(const std::string& tag, const std::string& name);
// The font tag's SIZE: the number after "=", an opening quote skipped.
int SizeAttribute(const std::string& tag);

std::string TrimSpaces(const std::string& text);

void GradientFill(TCanvas& canvas, TColor from, TColor to, bool horizontal, const TRect& rect, int bands,
                  TColor border);
// Selects a copy of the current font rotated by `angle` degrees and returns the
// font it replaced, which the caller selects again later.
TFontState SelectRotatedFont(TCanvas& canvas, int angle);

// Reads `iconText` as an index in the system image list, or a path (existing or
// only a file type); draws it when asked; `size` receives the list's icon size.
void SystemIcon(TCanvas& canvas, int x, int y, int& size, double scale, bool scaled, bool draw, bool large,
                const std::string& iconText);

// Button captions: "\n" (backslash and n, as written) and CR separate lines.
void SplitLines(const std::string& text, std::vector<std::string>& lines);
void MeasureLines(TCanvas& canvas, const std::string& text, const TFontState& firstLineFont,
                  const TFontState& otherLinesFont, unsigned flags, int& width, int& height, bool margins);

}  // namespace dupd
