// Stands in for the emulated dialog window until it exists: a plain message box.
#include <windows.h>

#include "taskdialog/win32/Win32TaskDialog.h"

namespace dupd {

namespace {

UINT IconStyle(TTaskDialogIcon icon)
{
    switch (icon) {
    case tiError: return MB_ICONERROR;
    case tiWarning: return MB_ICONWARNING;
    case tiQuestion: return MB_ICONQUESTION;
    case tiInformation: return MB_ICONINFORMATION;
    case tiShield: return MB_ICONWARNING;
    default: return 0;
    }
}

struct ButtonPlan {
    UINT style = MB_OK;
    int okResult = IDOK;  // what the box's OK reports
    int noResult = IDNO;  // what the box's No reports
};

// The box offers fewer combinations than the dialog: a Cancel shown as No, and
// Close shown as OK, report the dialog's own IDs.
ButtonPlan PlanButtons(TCommonButtons b)
{
    ButtonPlan p;
    if (b == TCommonButtons{cbYes, cbNo}) {
        p.style = MB_YESNO;
    } else if (b == TCommonButtons{cbYes, cbNo, cbCancel}) {
        p.style = MB_YESNOCANCEL;
    } else if (b == TCommonButtons{cbYes, cbCancel}) {
        p.style = MB_YESNO;
        p.noResult = IDCANCEL;
    } else if (b == TCommonButtons{cbOK, cbCancel}) {
        p.style = MB_OKCANCEL;
    } else if (b == TCommonButtons{cbRetry, cbCancel}) {
        p.style = MB_RETRYCANCEL;
    } else if (b == TCommonButtons{cbClose}) {
        p.okResult = 3;  // the emulated dialog's close button
    }
    return p;
}

std::string MessageText(const TTaskDialogEx& dialog)
{
    std::string text;
    for (const std::string* part : {&dialog.Instruction(), &dialog.Content(), &dialog.Footer()}) {
        if (part->empty()) continue;
        if (!text.empty()) text += "\n\n";
        text += ExpandLineBreaks(*part);
    }
    return text;
}

}  // namespace

int Win32TaskDialogPlatform::RunEmulated(TTaskDialogEx& dialog)
{
    const ButtonPlan plan = PlanButtons(dialog.CommonButtons());
    const int pressed =
        ::MessageBoxA(OwnerFor(dialog.ParentWindow()), MessageText(dialog).c_str(),
                      ExpandLineBreaks(dialog.Title()).c_str(), plan.style | IconStyle(dialog.Icon()));
    if (pressed == 0) return -1;  // the box could not be shown
    if (pressed == IDOK) return plan.okResult;
    if (pressed == IDNO) return plan.noResult;
    return pressed;
}

}  // namespace dupd
