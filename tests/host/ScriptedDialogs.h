// The task-dialog platform double of the update run: every component dialog is
// shown "emulated" (an old system), what the user saw is recorded and the answers
// come from a script (1 when it runs out).
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "FakePlatform.h"
#include "taskdialog/TaskDialog.h"
#include "taskdialog/TaskDialogPlatform.h"

namespace dupd::fake {

class ScriptedDialogs : public ITaskDialogPlatform {
public:
    struct Seen {
        std::string title, instruction, content, expanded, footer;
        TTaskDialogIcon icon;
        TCommonButtons buttons;
        std::uintptr_t parent;
    };
    std::vector<Seen> seen;
    std::deque<int> answers;
    FakeUserInterface* ui = nullptr;  // to keep one timeline of beeps and dialogs
    std::function<bool()> probe;      // asked at each dialog, e.g. whether the package is still there
    std::function<int(const Seen&)> decide;  // answers once the script has run out
    std::vector<bool> probed;

    OsVersionInfo SystemVersion() override { return {true, 5, 1, 2}; }
    std::int32_t CommonControlsVersion() override { return 0x00050051; }
    int RunNative(TTaskDialogEx&, const NativeTaskDialogConfig&) override { return -1; }
    int RunEmulated(TTaskDialogEx& d) override
    {
        seen.push_back({d.Title(), d.Instruction(), d.Content(), d.ExpandedText(), d.Footer(), d.Icon(),
                        d.CommonButtons(), d.ParentWindow()});
        if (ui) ui->events.push_back("dialog " + d.Title());
        if (probe) probed.push_back(probe());
        if (answers.empty()) return decide ? decide(seen.back()) : 1;
        const int a = answers.front();
        answers.pop_front();
        return a;
    }
    void SendToDialog(std::uintptr_t, unsigned, std::uintptr_t, std::intptr_t) override {}
    void UpdateElementText(std::uintptr_t, int, const std::string&) override {}
    void OpenLink(std::uintptr_t, const std::string&, const std::string&) override {}
};

}  // namespace dupd::fake
