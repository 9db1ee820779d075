// DrawMarkup: lays out, measures, paints and hit-tests the emulated dialog's
// mini-HTML on a canvas. It keeps no state between calls; everything it learns
// comes back in TMarkupResult.
#pragma once

#include <string>

#include "markup/Canvas.h"

namespace dupd {

// The call's inputs after the canvas, the text and the bounds, in their usual
// order. The defaults are the dialog's painting profile.
struct TMarkupRequest {
    IImageList* ImageList = nullptr;  // source of "IDX:" pictures
    int PointX = 0;                   // the point to hit-test
    int PointY = 0;
    int FocusAnchor = -1;  // index from 0 of the anchor with the keyboard focus; -1 none
    int HoverAnchor = -1;  // number from 1 of the anchor under the mouse; -1 none
    int ShadowOffset = 1;
    bool HitTestOnly = false;  // the second pass of each line hit-tests instead of drawing
    bool MeasureOnly = false;  // only the measuring pass: no drawing, no hit result
    bool ScaleImages = false;  // list and system-icon pictures drawn scaled by ImageScale
    bool KeepColours = false;  // ignore the markup's colour changes
    bool BlinkVisible = false;
    bool HoverStyle = false;  // only the hovered anchor is underlined and hover-coloured
    bool WordWrap = true;
    double ImageScale = 1.0;
    TColor LinkColor = 0x00FF0000;
    TColor HoverBrushColor = clNone;
    TColor HoverFontColor = clNone;
    TColor ShadowColor = 0x00808080;
    IPictureCache* PictureCache = nullptr;
    IPictureContainer* PictureContainer = nullptr;
    int LineSpacing = 0;  // extra height of every line
};

struct TMarkupResult {
    // Only ever assigned, never cleared: pass it empty and read it when the call
    // returned true.
    std::string AnchorAtPoint;
    std::string PlainText;  // the text without tags; line breaks as CR
    std::string FocusAnchorHref;
    int Width = 0;   // widest line plus 2
    int Height = 0;  // the laid-out lines (all of them when measuring only)
    int AnchorCount = 0;
    int AnchorNumberAtPoint = -1;  // from 1
    TRect AnchorRect;              // assigned only when an anchor is found at the point
};

// True when the point lies on an anchor (text or picture); always false with
// MeasureOnly. The canvas's font and brush colour are restored on return, its
// background mode is left transparent.
bool DrawMarkup(TCanvas& canvas, const std::string& text, const TRect& bounds, const TMarkupRequest& request,
                TMarkupResult& result);

// The emulated dialog's two argument profiles.
TMarkupRequest MarkupPaintProfile();
// For layout (measureOnly: Width and Height) and for the anchor under the mouse.
TMarkupRequest MarkupHitTestProfile(int pointX, int pointY, bool measureOnly);

}  // namespace dupd
