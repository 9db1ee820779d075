// What the user and the files should show after a run of dupd.exe: the program's
// own texts, and checks shared by the end-to-end tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Scenario.h"

namespace e2e {

// Titles of the task-dialog component carry two blanks before the dash; the two
// simple messages one.
inline const std::string kErrorTitle = "Quellmark Database Updater  - Error";
inline const std::string kConfirmTitle = "Quellmark Database Updater  - Confirm";
inline const std::string kInformationTitle = "Quellmark Database Updater  - Information";
inline const std::string kSimpleErrorTitle = "Quellmark Database Updater - Error";
inline const std::string kRebootTitle = "Quellmark Database Updater - Reboot required";

// The push buttons of the component's messages: cbClose, cbYes + cbNo, cbOK.
inline const std::vector<std::string> kAbortButton = {"&Abort"};
inline const std::vector<std::string> kYesNoButtons = {"&Yes", "&No"};
inline const std::vector<std::string> kOkButton = {"OK"};

inline const std::string kRebootContent =
    "Some files were in use by Windows. You will need to restart Windows to complete this Update.";

inline std::string ManualCopyContent(const std::string& staging)
{
    return "Unable to locate your Quellmark installation directory. You should manually copy QLM_LIST.DTA, "
           "QLMLIST2.DTA and REFLIST.DTA from the " +
           staging + " directory to your Quellmark directory.";
}

inline const std::string kDashLine(60, '-');

// Everything worth knowing when a dialog check fails.
inline std::string Describe(const RunOutcome& run)
{
    std::string s = run.problem.empty() ? "" : "problem: " + run.problem + "\n";
    for (const auto& d : run.dialogs) {
        s += "dialog \"" + d.title + "\" (" + d.cls + "), pressed " + std::to_string(d.pressed) + ":\n";
        for (const auto& c : d.children) {
            char style[16];
            std::snprintf(style, sizeof style, "%08lX", static_cast<unsigned long>(c.style));
            s += "  " + c.cls + " #" + std::to_string(c.id) + " style " + style + (c.visible ? "" : " hidden") +
                 ": \"" + c.text + "\"\n";
        }
        if (!d.copied.empty()) s += "  copied: \"" + d.copied + "\"\n";
    }
    return s.empty() ? "no dialogs" : s;
}

// The run started, ended by itself, and every pressed button closed its dialog.
#define EXPECT_RUN_ENDED(run)                                             \
    do {                                                                  \
        EXPECT_TRUE((run).started) << Describe(run);                      \
        EXPECT_TRUE((run).ended) << "dupd.exe hung\n" << Describe(run);   \
        EXPECT_EQ((run).problem, "") << Describe(run);                    \
    } while (0)

// What Ctrl+C copies from the emulated dialog: title, instruction and the push
// buttons' captions without "&", each followed by three blanks, framed by lines
// of 27 dashes.
inline std::string CopiedDialogText(const std::string& title, const std::string& instruction,
                                    const std::vector<std::string>& buttons)
{
    const std::string divider = std::string(27, '-') + "\r\n";
    std::string line;
    for (const auto& b : buttons) {
        for (char c : b)
            if (c != '&') line += c;
        line += "   ";
    }
    return divider + title + "\r\n" + divider + instruction + "\r\n" + divider + line + "\r\n" + divider;
}

// A message of the task-dialog component, in its own emulated window: title,
// instruction, push buttons and the text that Ctrl+C copies. The content and the
// footer are painted and cannot be read from here (the host suite checks the
// texts that reach the component). The run's answer must have copied first, as
// UserAnswers does.
inline void ExpectComponentMessage(const SeenDialog& d, const std::string& title, const std::string& instruction,
                                   const std::vector<std::string>& buttons)
{
    EXPECT_EQ(d.cls, kEmulatedClass) << "\"" << d.title << "\"";
    EXPECT_EQ(d.title, title);
    EXPECT_EQ(d.Instruction(), instruction);
    EXPECT_EQ(d.PushButtonCaptions(), buttons) << "\"" << d.title << "\"";
    EXPECT_EQ(d.copied, CopiedDialogText(title, instruction, buttons)) << "\"" << d.title << "\"";
}

// A simple message on a system before Vista: a message box with the content only.
inline void ExpectPlainMessageBox(const SeenDialog& d, const std::string& title, const std::string& content)
{
    EXPECT_EQ(d.title, title);
    EXPECT_EQ(d.MessageText(), content);
}

// The message of a log line "[<date> <time>] <message>", or a marker that says the
// line has no time stamp.
inline std::string LogMessage(const std::string& line)
{
    const std::size_t close = line.find("] ");
    const std::string stamp = line.size() > 1 && line[0] == '[' && close != std::string::npos
                                  ? line.substr(1, close - 1)
                                  : std::string();
    const std::size_t blank = stamp.find(' ');
    const bool dated = blank != std::string::npos && stamp.find_first_of("0123456789") < blank &&
                       stamp.find_first_of("0123456789", blank) != std::string::npos;
    return dated ? line.substr(close + 2) : "<not a log line: " + line + ">";
}

// The messages of one run's block at `first`, checking that it ends with the dash
// line and an empty line; `next` receives the index after the block.
inline std::vector<std::string> RunBlock(const std::vector<std::string>& lines, std::size_t first,
                                         std::size_t* next = nullptr)
{
    std::vector<std::string> messages;
    std::size_t i = first;
    for (; i < lines.size() && lines[i] != kDashLine; ++i) messages.push_back(LogMessage(lines[i]));
    if (i >= lines.size()) {
        messages.push_back("<no end line>");
    } else if (i + 1 >= lines.size() || !lines[i + 1].empty()) {
        messages.push_back("<end line not followed by an empty line>");
    }
    if (next) *next = i + 2;
    return messages;
}

inline std::string StartLine() { return "Database Update 6935 installation program started"; }
inline std::string InstallLine(const std::string& lowerName) { return "Installing Database file " + lowerName + " 6935"; }
inline std::string ServerLine() { return "Installing Database server file qmweb.dta 1.3.4"; }
inline std::string DeferredLine(const std::string& name) { return name + " will be installed after a reboot"; }
inline std::string ExtraLine(int n) { return "Expired EXTRA.DAT file extra" + std::to_string(n) + ".dta deleted."; }

inline const std::vector<std::string> kNoFiles;

inline std::string Lowered(std::string s)
{
    for (auto& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace e2e
