// Everything the run tells the user, in one place: each message named after what
// it says, with its title, texts, icon, buttons and sound.
#pragma once

#include <cstdint>
#include <string>

#include "winenv/Platform.h"

namespace dupd {

inline constexpr const char* kProductWebSite = "https://www.ostravane.com/quellmark";
inline constexpr const char* kDownloadPage = "https://www.ostravane.com/quellmark/download";
inline constexpr const char* kSupportEmail = "support@ostravane.com";
inline constexpr const char* kTitlePrefix = "Quellmark Database Updater ";

// ShowDlg's codes (its icon, button and beep tables).
inline constexpr int kIconInformation = 81;
inline constexpr int kIconError = 98;
inline constexpr int kIconQuestion = 99;
inline constexpr int kButtonsOk = 0;
inline constexpr int kButtonsYesNo = 3;
inline constexpr int kButtonsClose = 5;

// Message-box and beep codes the run uses (the values of the system's MB_* flags).
inline constexpr std::uint32_t kMbOk = 0x00;
inline constexpr std::uint32_t kMbIconHand = 0x10;
inline constexpr std::uint32_t kMbIconExclamation = 0x30;
inline constexpr std::uint32_t kMbIconAsterisk = 0x40;

// A message of the form's task dialog: the title is kTitlePrefix + titleSuffix;
// expanded text and footer are left empty, so the footer is the support line.
struct DialogMessage {
    int iconCode;
    int buttonsCode;
    int beepCode;
    const char* titleSuffix;
    const char* instruction;
    std::string content;
};

// The package lacks its main file, or is not where it seems; names the web site as
// a link.
extern const DialogMessage kPackageCorrupt;
// The product's key or AppPath cannot be read, or AppPath is no installation
// folder; names the download page as a link.
extern const DialogMessage kInstallDirUnreadable;
extern const DialogMessage kUpdateTooOld;
extern const DialogMessage kConfirmReinstall;
extern const DialogMessage kUpdateAborted;

// The simple task dialogs (a message box before Vista).
// AppPath is empty: the package is left for copying by hand.
SimpleTaskDialogArgs InstallDirEmpty(const std::string& stagingDir);
// Files were left for the restart; the run sounds kMbIconExclamation before it.
SimpleTaskDialogArgs RebootRequired();

// The message boxes of a single file.
std::string UnableToMoveText(const std::string& fileName, const std::string& stagingDir,
                             const std::string& destinationFolder);
// "System Error.  Code: N.\r\n<text>", or the generic line when there is no code.
std::string SystemErrorMessage(std::uint32_t code, const std::string& description);

}  // namespace dupd
