// A dialog written down as text, for people who design dialogs: an INI-style
// file whose [Dialog] section names the component's published properties and
// whose optional [Events] section says which handlers the preview assigns.
//
//   [Dialog]
//   Title=Quellmark Database Updater
//   Icon=tiQuestion
//   CommonButtons=cbYes, cbNo
//   CustomButtons=&Install|&Later
//   [Events]
//   VetoClose=1
//
// Texts are kept exactly as written (a backslash and "n" stay two characters:
// the component expands them where it does); sets are comma-separated names,
// lists are entries separated by "|". A property that is not named keeps the
// component's construction value; a repeated key: the last one wins.
#pragma once

#include <optional>
#include <string>

namespace dupd {

class TTaskDialogEx;

// Which handlers the preview assigns; an assigned handler changes what the
// component does, so each is opt-in.
struct DialogEvents {
    bool Hyperlink = false;            // links are reported, not opened
    std::optional<int> VetoClose;      // refuse this many close requests, then allow
    bool Timer = false;                // report each timer tick
    std::optional<int> ProgressStep;   // add this to the position at each tick
};

struct DialogDescription {
    // CustomIcon as written: an .ico path, relative to the file's folder or
    // absolute; empty when not named. Loading it is the caller's business.
    std::string CustomIconPath;
    int CustomIconLine = 0;  // where it was named, for the caller's messages
    DialogEvents Events;
};

struct DescriptionError {
    int Line = 0;  // 1-based
    std::string Message;
};

// Reads `text` (CR LF or LF lines). On success applies the [Dialog] values to
// `dialog`, fills `description` and returns true. On the first fault returns
// false with `error` set and leaves `dialog` and `description` untouched.
bool ReadDialogDescription(const std::string& text, TTaskDialogEx& dialog, DialogDescription& description,
                           DescriptionError& error);

}  // namespace dupd
