// The task-dialog platform double: an old system by default, so that every
// component dialog is shown "emulated", what the user saw is recorded and the
// answers come from a script (then `decide`, then `emulatedResult`). Set a newer
// version for the native way, which plays `nativeScript` as the open dialog's life
// and answers `nativeResult`. Messages, element texts and opened links are recorded.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "taskdialog/TaskDialog.h"
#include "taskdialog/TaskDialogPlatform.h"

namespace dupd::fake {

struct SentMessage {
    std::uintptr_t window;
    unsigned message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
    bool operator==(const SentMessage& o) const
    {
        return window == o.window && message == o.message && wParam == o.wParam && lParam == o.lParam;
    }
};

struct ElementUpdate {
    std::uintptr_t window;
    int element;
    std::string text;
    bool operator==(const ElementUpdate& o) const
    {
        return window == o.window && element == o.element && text == o.text;
    }
};

struct OpenedLink {
    std::uintptr_t window;
    std::string program, link;
    bool operator==(const OpenedLink& o) const
    {
        return window == o.window && program == o.program && link == o.link;
    }
};

class FakeDialogPlatform : public ITaskDialogPlatform {
public:
    struct Seen {
        std::string title, instruction, content, expanded, footer;
        TTaskDialogIcon icon;
        TCommonButtons buttons;
        std::uintptr_t parent;
    };

    OsVersionInfo version{true, 5, 1, 2};
    std::int32_t controls = 0x00050051;

    int nativeResult = 1;
    std::function<void(TTaskDialogEx&)> nativeScript;
    std::vector<NativeTaskDialogConfig> nativeRuns;

    std::vector<Seen> seen;  // one for each emulated dialog
    std::deque<int> answers;
    std::function<int(const Seen&)> decide;  // answers once the script has run out
    int emulatedResult = 1;                  // and this when there is no `decide`
    std::vector<std::string>* timeline = nullptr;  // "dialog TITLE" joins e.g. the beeps
    std::function<bool()> probe;  // asked at each dialog, e.g. whether the package is still there
    std::vector<bool> probed;

    std::vector<SentMessage> sent;
    std::vector<ElementUpdate> updates;
    std::vector<OpenedLink> links;

    OsVersionInfo SystemVersion() override { return version; }
    std::int32_t CommonControlsVersion() override { return controls; }
    int RunNative(TTaskDialogEx& d, const NativeTaskDialogConfig& c) override
    {
        nativeRuns.push_back(c);
        if (nativeScript) nativeScript(d);
        return nativeResult;
    }
    int RunEmulated(TTaskDialogEx& d) override
    {
        seen.push_back({d.Title(), d.Instruction(), d.Content(), d.ExpandedText(), d.Footer(), d.Icon(),
                        d.CommonButtons(), d.ParentWindow()});
        if (timeline) timeline->push_back("dialog " + d.Title());
        if (probe) probed.push_back(probe());
        if (answers.empty()) return decide ? decide(seen.back()) : emulatedResult;
        const int a = answers.front();
        answers.pop_front();
        return a;
    }
    void SendToDialog(std::uintptr_t w, unsigned m, std::uintptr_t wp, std::intptr_t lp) override
    {
        sent.push_back({w, m, wp, lp});
    }
    void UpdateElementText(std::uintptr_t w, int element, const std::string& text) override
    {
        updates.push_back({w, element, text});
    }
    void OpenLink(std::uintptr_t w, const std::string& program, const std::string& link) override
    {
        links.push_back({w, program, link});
    }
};

}  // namespace dupd::fake
