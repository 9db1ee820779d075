// Helpers of the Windows-side tests: scratch folders, a second process that holds a
// file open, and a watcher thread that finds this process's dialogs by title and
// presses their buttons.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "winenv/win32/Handle.h"

namespace dupd::wintest {

// A fresh folder under the temporary folder, removed with its contents at the end.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& tag);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }  // no trailing backslash
    std::string File(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// Plain helpers that go straight to the API, independent of the adapters.
void WriteWholeFile(const std::string& path, const std::string& content);
std::string ReadWholeFile(const std::string& path);
bool PathIsFile(const std::string& path);
bool PathIsDirectory(const std::string& path);
std::string ThisExecutable();
std::string UniqueName(const std::string& tag);  // tag + process id + counter

// A Unix symbolic link, made by the Unix tool: under Wine one that leads to a folder
// shows as a reparse point, and deleting or renaming a link through Wine reaches
// what it leads to. `target` must exist; false when the link did not appear.
bool MakeUnixSymlink(const std::string& link, const std::string& target);
// Removes a link (or a tree, never following links) the Unix way; only below the
// temporary folder. False when it is still there.
bool RemoveFromUnix(const std::string& path);

// Another process (this executable started with --hold) that keeps a file open for
// reading and shares only reading, so the file can be neither deleted nor renamed.
class HeldFile {
public:
    explicit HeldFile(const std::string& path);
    ~HeldFile();  // lets the holder go and waits for it to end
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    bool holding() const { return holding_; }
    void Release();

private:
    UniqueKernelHandle ready_;
    UniqueKernelHandle release_;
    UniqueKernelHandle process_;
    bool holding_ = false;
};

// The child side of HeldFile; called by the test main.
int RunFileHolder(int argc, char** argv);

struct DialogSnapshot {
    bool found = false;
    std::string title;
    std::string className;
    std::vector<std::string> childTexts;  // every descendant window's text
    bool pressed = false;                 // the button was there and was pressed
    bool closedAfterPress = false;        // the window went away afterwards

    bool HasChildText(const std::string& text) const;
};

// Watches, on its own thread, for a top-level window of this process with the exact
// title; reads its children's texts and presses the child button with control id
// `buttonId`. If the window stays open, it is asked to close so a test never hangs.
class DialogPresser {
public:
    DialogPresser(std::string title, int buttonId, std::chrono::milliseconds timeout = std::chrono::seconds(20));
    ~DialogPresser();
    DialogPresser(const DialogPresser&) = delete;
    DialogPresser& operator=(const DialogPresser&) = delete;

    // Waits for the watcher to finish and gives what it saw.
    const DialogSnapshot& Result();

private:
    void Run();

    std::string title_;
    int buttonId_;
    std::chrono::milliseconds timeout_;
    DialogSnapshot snapshot_;
    std::thread thread_;
};

HWND FindProcessWindow(const std::string& title);
std::vector<HWND> DescendantWindows(HWND parent);
std::string WindowText(HWND window);

}  // namespace dupd::wintest
