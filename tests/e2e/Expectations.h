// What the user and the files should show after a run of dupd.exe: the program's
// own texts, and checks shared by the end-to-end tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DialogBot.h"
#include "Scenario.h"

namespace e2e {

// Titles of the task-dialog component carry two blanks before the dash; the two
// simple messages one.
inline const std::string kErrorTitle = "Quellmark Database Updater  - Error";
inline const std::string kConfirmTitle = "Quellmark Database Updater  - Confirm";
inline const std::string kInformationTitle = "Quellmark Database Updater  - Information";
inline const std::string kSimpleErrorTitle = "Quellmark Database Updater - Error";
inline const std::string kRebootTitle = "Quellmark Database Updater - Reboot required";
inline const std::string kFooter = "For support contact: support@ostravane.com";

inline const std::string kCorruptContent =
    "Integrity checks show that this Database Update is corrupt. You should download a new update file from "
    "https://www.ostravane.com/quellmark";
inline const std::string kNoInstallDirContent =
    "Unable to locate your Quellmark installation directory. You should download and install a new FULL copy of "
    "Quellmark from https://www.ostravane.com/quellmark/download";
inline const std::string kTooOldContent =
    "This database update is earlier than the Quellmark Database you already have installed - this installation "
    "will be aborted.";
inline const std::string kConfirmContent =
    "The Database Update you are installing is the same as the version already installed. Are you sure you wish "
    "to continue with the installation?";
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
        for (const auto& c : d.children)
            s += "  " + c.cls + " #" + std::to_string(c.id) + ": \"" + c.text + "\"\n";
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

// A message of the task-dialog component as a message box: instruction, content
// and footer, separated by empty lines.
inline void ExpectComponentMessage(const SeenDialog& d, const std::string& title, const std::string& instruction,
                                   const std::string& content)
{
    EXPECT_EQ(d.title, title);
    EXPECT_EQ(TextLines(d.MessageText()), (std::vector<std::string>{instruction, "", content, "", kFooter}))
        << "text: " << d.MessageText();
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
