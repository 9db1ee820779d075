#include "app/Messages.h"

namespace dupd {

namespace {
constexpr const char* kErrorSuffix = " - Error";
constexpr int kBeepHand = 16;
constexpr int kBeepAsterisk = 64;
constexpr int kBeepDefault = 0;

// The address as a link that a click opens; it reads as the address itself.
std::string Link(const char* address) { return std::string("<a href=\"") + address + "\">" + address + "</a>"; }
}  // namespace

const DialogMessage kPackageCorrupt{
    kIconError, kButtonsClose, kBeepHand, kErrorSuffix, "Database Update is corrupt",
    std::string("Integrity checks show that this Database Update is corrupt. You should download a new update file "
                "from ") +
        Link(kProductWebSite)};

const DialogMessage kInstallDirUnreadable{
    kIconError, kButtonsClose, kBeepHand, kErrorSuffix, "Unable to locate installation directory",
    std::string("Unable to locate your Quellmark installation directory. You should download and install a new FULL "
                "copy of Quellmark from ") +
        Link(kDownloadPage)};

const DialogMessage kUpdateTooOld{kIconError, kButtonsClose, kBeepHand, kErrorSuffix, "Update is too old",
                                  "This database update is earlier than the Quellmark Database you already have "
                                  "installed - this installation will be aborted."};

const DialogMessage kConfirmReinstall{
    kIconQuestion, kButtonsYesNo, kBeepAsterisk, " - Confirm", "Re-install this Update?",
    "The Database Update you are installing is the same as the version already installed. Are you sure you wish to "
    "continue with the installation?"};

const DialogMessage kUpdateAborted{kIconInformation, kButtonsOk, kBeepDefault, " - Information", "Update Aborted",
                                   "The Database Update has been aborted."};

SimpleTaskDialogArgs InstallDirEmpty(const std::string& stagingDir)
{
    SimpleTaskDialogArgs c;
    c.title = "Quellmark Database Updater - Error";
    c.instruction = "Unable to locate installation directory";
    c.content = "Unable to locate your Quellmark installation directory. You should manually copy QLM_LIST.DTA, "
                "QLMLIST2.DTA and REFLIST.DTA from the " +
                stagingDir + " directory to your Quellmark directory.";
    c.buttons = 1;
    c.icon = kIconError;
    c.messageBoxFlags = kMbIconHand;
    return c;
}

SimpleTaskDialogArgs RebootRequired()
{
    SimpleTaskDialogArgs e;
    e.title = "Quellmark Database Updater - Reboot required";
    e.instruction = "Reboot Required";
    e.content = "Some files were in use by Windows. You will need to restart Windows to complete this Update.";
    e.buttons = 1;
    e.icon = kIconInformation;
    e.messageBoxFlags = kMbIconAsterisk;
    return e;
}

std::string UnableToMoveText(const std::string& fileName, const std::string& stagingDir,
                             const std::string& destinationFolder)
{
    return "Unable to move " + fileName + " from " + stagingDir + " to " + destinationFolder +
           ". You should manually move this file to complete the Update installation.";
}

std::string SystemErrorMessage(std::uint32_t code, const std::string& description)
{
    if (code == 0) return "A call to an OS function failed";
    return "System Error.  Code: " + std::to_string(code) + ".\r\n" + description;
}

}  // namespace dupd
