#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "FakeDialogPlatform.h"
#include "taskdialog/DialogDescription.h"
#include "taskdialog/TaskDialog.h"

namespace dupd {
namespace {

using Strings = std::vector<std::string>;

class DialogDescriptionTest : public ::testing::Test {
protected:
    // True when `text` was read; the error is kept for the assertions.
    bool Read(const std::string& text)
    {
        error = {};
        return ReadDialogDescription(text, dialog, description, error);
    }
    void ExpectError(const std::string& text, int line, const std::string& fragment)
    {
        SCOPED_TRACE(text);
        ASSERT_FALSE(Read(text));
        EXPECT_EQ(error.Line, line);
        EXPECT_NE(error.Message.find(fragment), std::string::npos) << error.Message;
    }

    fake::FakeDialogPlatform platform;
    TTaskDialogEx dialog{platform};
    DialogDescription description;
    DescriptionError error;
};

TEST_F(DialogDescriptionTest, EveryPropertyIsAppliedByItsPublishedName)
{
    const std::string text =
        "; the updater's error dialog\r\n"
        "\r\n"
        "[Dialog]\r\n"
        "Title=Quellmark Database Updater  - Error\r\n"
        "Instruction=Database Update is corrupt\r\n"
        "Content=Line one\\nline two\r\n"
        "ExpandedText=Details\r\n"
        "ExpandControlText=&Less information\r\n"
        "CollapsControlText=&More information\r\n"
        "Footer=For support contact: support@ostravane.com\r\n"
        "VerificationText=&Do not ask again\r\n"
        "Icon=tiError\r\n"
        "FooterIcon=tfiShield\r\n"
        "CustomIcon=pictures\\app.ico\r\n"
        "CommonButtons=cbOK, cbCancel ,cbClose\r\n"
        "CustomButtons=&Install|&Later\r\n"
        "RadioButtons=One|Two|Three\r\n"
        "DefaultButton=-1\r\n"
        "DefaultRadioButton=202\r\n"
        "Options=doHyperlinks,doAllowMinimize,  doAllowDialogCancel\r\n"
        "DialogPosition=dpOwnerFormCenter\r\n"
        "ApplicationIsParent=false\r\n"
        "NonNativeDialog=nndAlways\r\n"
        "NonNativeMinFormWidth=420\r\n"
        "ProgressBarMin=10\r\n"
        "ProgressBarMax=90\r\n";
    ASSERT_TRUE(Read(text)) << error.Line << ": " << error.Message;

    EXPECT_EQ(dialog.Title(), "Quellmark Database Updater  - Error");
    EXPECT_EQ(dialog.Instruction(), "Database Update is corrupt");
    // The component expands the two characters itself, where it does.
    EXPECT_EQ(dialog.Content(), "Line one\\nline two");
    EXPECT_EQ(dialog.ExpandedText(), "Details");
    EXPECT_EQ(dialog.ExpandControlText(), "&Less information");
    EXPECT_EQ(dialog.CollapsControlText(), "&More information");
    EXPECT_EQ(dialog.Footer(), "For support contact: support@ostravane.com");
    EXPECT_EQ(dialog.VerificationText(), "&Do not ask again");
    EXPECT_EQ(dialog.Icon(), tiError);
    EXPECT_EQ(dialog.FooterIcon(), tfiShield);
    EXPECT_EQ(description.CustomIconPath, "pictures\\app.ico");
    EXPECT_EQ(description.CustomIconLine, 14);
    EXPECT_EQ(dialog.CustomIcon(), 0u);  // the caller loads the file
    EXPECT_EQ(dialog.CommonButtons(), (TCommonButtons{cbOK, cbCancel, cbClose}));
    EXPECT_EQ(dialog.CustomButtons(), (Strings{"&Install", "&Later"}));
    EXPECT_EQ(dialog.RadioButtons(), (Strings{"One", "Two", "Three"}));
    EXPECT_EQ(dialog.DefaultButton(), -1);
    EXPECT_EQ(dialog.DefaultRadioButton(), 202);
    EXPECT_EQ(dialog.Options(), (TTaskDialogOptions{doHyperlinks, doAllowMinimize, doAllowDialogCancel}));
    EXPECT_EQ(dialog.DialogPosition(), dpOwnerFormCenter);
    EXPECT_FALSE(dialog.ApplicationIsParent());
    EXPECT_EQ(dialog.NonNativeDialog(), nndAlways);
    EXPECT_EQ(dialog.NonNativeMinFormWidth(), 420);
    EXPECT_EQ(dialog.ProgressBarMin(), 10);
    EXPECT_EQ(dialog.ProgressBarMax(), 90);
}

TEST_F(DialogDescriptionTest, PropertiesNotNamedKeepTheirConstructionValues)
{
    ASSERT_TRUE(Read("[Dialog]\nTitle=Only a title\n"));
    fake::FakeDialogPlatform otherPlatform;
    const TTaskDialogEx fresh(otherPlatform);
    EXPECT_EQ(dialog.Title(), "Only a title");
    EXPECT_EQ(dialog.Instruction(), fresh.Instruction());
    EXPECT_EQ(dialog.Icon(), fresh.Icon());
    EXPECT_EQ(dialog.FooterIcon(), fresh.FooterIcon());
    EXPECT_EQ(dialog.CommonButtons(), fresh.CommonButtons());
    EXPECT_EQ(dialog.Options(), fresh.Options());
    EXPECT_EQ(dialog.DefaultRadioButton(), 200);
    EXPECT_TRUE(dialog.ApplicationIsParent());
    EXPECT_EQ(dialog.NonNativeDialog(), nndAuto);
    EXPECT_EQ(dialog.NonNativeMinFormWidth(), 350);
    EXPECT_EQ(dialog.ProgressBarMax(), 100);
    EXPECT_TRUE(description.CustomIconPath.empty());

    // An empty file changes nothing at all, and no handler is asked for.
    ASSERT_TRUE(Read(""));
    EXPECT_FALSE(description.Events.Hyperlink);
    EXPECT_FALSE(description.Events.Timer);
    EXPECT_FALSE(description.Events.VetoClose.has_value());
    EXPECT_FALSE(description.Events.ProgressStep.has_value());
}

TEST_F(DialogDescriptionTest, SetsAndListsFollowTheirSeparators)
{
    ASSERT_TRUE(Read("[Dialog]\nCommonButtons=cbYes,cbNo\nCommonButtons=\nOptions= doTimer , doTimer,doProgressBar\n"
                     "CustomButtons=a||b|\nRadioButtons=\n"));
    EXPECT_TRUE(dialog.CommonButtons().Empty());  // the last one wins, and empty is the empty set
    EXPECT_EQ(dialog.Options(), (TTaskDialogOptions{doTimer, doProgressBar}));
    // Entries are kept exactly as written between the bars, empty ones included.
    EXPECT_EQ(dialog.CustomButtons(), (Strings{"a", "", "b", ""}));
    EXPECT_TRUE(dialog.RadioButtons().empty());

    ASSERT_TRUE(Read("[Dialog]\nCustomButtons=&Download\\nThe file is 4 MB\\nIt takes a minute|Cancel it\n"));
    EXPECT_EQ(dialog.CustomButtons(), (Strings{"&Download\\nThe file is 4 MB\\nIt takes a minute", "Cancel it"}));
}

TEST_F(DialogDescriptionTest, EventsSayWhichHandlersToAssign)
{
    ASSERT_TRUE(Read("[Events]\nHyperlink=yes\nVetoClose=2\nTimer=yes\nProgressStep=5\n[Dialog]\nTitle=t\n"));
    EXPECT_TRUE(description.Events.Hyperlink);
    EXPECT_TRUE(description.Events.Timer);
    EXPECT_EQ(description.Events.VetoClose, 2);
    EXPECT_EQ(description.Events.ProgressStep, 5);
    EXPECT_EQ(dialog.Title(), "t");

    ASSERT_TRUE(Read("[Events]\nHyperlink=no\nTimer=no\nVetoClose=0\nProgressStep=-3\n"));
    EXPECT_FALSE(description.Events.Hyperlink);
    EXPECT_FALSE(description.Events.Timer);
    EXPECT_EQ(description.Events.VetoClose, 0);  // assigned, allowing every close
    EXPECT_EQ(description.Events.ProgressStep, -3);
}

TEST_F(DialogDescriptionTest, CommentsBlankLinesSpacesAndAByteOrderMarkAreIgnored)
{
    ASSERT_TRUE(Read("\xEF\xBB\xBF# designer's note\n  ; indented note\n\n\t\n[Dialog]\n  Title =  Spaced out  \n"
                     "Footer=a ; not a comment\nInstruction=#1 reason"));
    EXPECT_EQ(dialog.Title(), "Spaced out");
    EXPECT_EQ(dialog.Footer(), "a ; not a comment");
    EXPECT_EQ(dialog.Instruction(), "#1 reason");  // last line without a line end
}

TEST_F(DialogDescriptionTest, FaultsNameTheirLine)
{
    ExpectError("[Dialog]\nTitle=ok\n\n[Buttons]\n", 4, "unknown section [Buttons]");
    ExpectError("[dialog]\n", 1, "unknown section");  // names are case-sensitive
    ExpectError("[Dialog\n", 1, "]");
    ExpectError("[Dialog]\r\n; note\r\nCaption=x\r\n", 3, "unknown key \"Caption\"");
    ExpectError("[Dialog]\ntitle=x\n", 2, "unknown key \"title\"");
    ExpectError("[Dialog]\nVersion=1.0\n", 2, "unknown key \"Version\"");
    ExpectError("[Events]\nTitle=x\n", 2, "unknown key \"Title\" in [Events]");
    ExpectError("Title=x\n[Dialog]\n", 1, "before any section");
    ExpectError("[Dialog]\nTitle\n", 2, "Name=Value");
    ExpectError("[Dialog]\n=x\n", 2, "without a name");
}

TEST_F(DialogDescriptionTest, BadValuesNameTheirKeyAndLine)
{
    ExpectError("[Dialog]\nIcon=tiwarning\n", 2, "Icon: \"tiwarning\" is not one of tiBlank");
    ExpectError("[Dialog]\nFooterIcon=tiShield\n", 2, "FooterIcon");
    ExpectError("[Dialog]\nDialogPosition=center\n", 2, "DialogPosition");
    ExpectError("[Dialog]\nNonNativeDialog=always\n", 2, "nndAuto, nndAlways");
    ExpectError("[Dialog]\n\nCommonButtons=cbOK,cbHelp\n", 3, "\"cbHelp\"");
    ExpectError("[Dialog]\nCommonButtons=cbOK,,cbNo\n", 2, "empty name");
    ExpectError("[Dialog]\nOptions=doTimer,\n", 2, "empty name");
    ExpectError("[Dialog]\nDefaultButton=1O1\n", 2, "not a whole number");
    ExpectError("[Dialog]\nDefaultButton=\n", 2, "not a whole number");
    ExpectError("[Dialog]\nProgressBarMax=-\n", 2, "not a whole number");
    ExpectError("[Dialog]\nProgressBarMax=2147483648\n", 2, "out of range");
    ExpectError("[Dialog]\nApplicationIsParent=yes\n", 2, "neither true nor false");
    ExpectError("[Events]\nTimer=true\n", 2, "neither yes nor no");
    ExpectError("[Events]\nVetoClose=-1\n", 2, "negative");
    ExpectError("[Events]\nProgressStep=fast\n", 2, "ProgressStep");

    ASSERT_TRUE(Read("[Dialog]\nProgressBarMin=-2147483648\nProgressBarMax=2147483647\n"));
    EXPECT_EQ(dialog.ProgressBarMin(), -2147483647 - 1);
    EXPECT_EQ(dialog.ProgressBarMax(), 2147483647);
}

TEST_F(DialogDescriptionTest, AFaultLeavesTheComponentAndTheDescriptionAsTheyWere)
{
    ASSERT_TRUE(Read("[Dialog]\nTitle=before\nCustomIcon=a.ico\n[Events]\nTimer=yes\n"));
    ASSERT_FALSE(Read("[Dialog]\nTitle=after\nIcon=tiQuestion\nCustomIcon=b.ico\n[Events]\nTimer=no\nHyperlink=maybe\n"));
    EXPECT_EQ(error.Line, 7);
    EXPECT_EQ(dialog.Title(), "before");
    EXPECT_EQ(dialog.Icon(), tiBlank);
    EXPECT_EQ(description.CustomIconPath, "a.ico");
    EXPECT_TRUE(description.Events.Timer);
}

// The example dialogs of tools/preview, which the README points designers to.
std::string GalleryFile(const std::string& name)
{
    std::string here = __FILE__;
    here.erase(here.find("tests/host/taskdialog/DialogDescriptionTest.cpp"));
    std::ifstream in(here + "tools/preview/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST_F(DialogDescriptionTest, TheGalleryDescribesTheDialogsItPromises)
{
    const std::string names[] = {"command-links.ini", "radio-verification.ini", "progress.ini", "expanded.ini",
                                 "footer-information.ini", "footer-warning.ini", "footer-shield.ini",
                                 "same-version.ini"};
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        fake::FakeDialogPlatform p;
        TTaskDialogEx d(p);
        DialogDescription desc;
        DescriptionError e;
        const std::string text = GalleryFile(name);
        ASSERT_FALSE(text.empty());
        ASSERT_TRUE(ReadDialogDescription(text, d, desc, e)) << e.Line << ": " << e.Message;
        EXPECT_FALSE(d.Title().empty());
        if (name == "command-links.ini") {
            ASSERT_EQ(d.CustomButtons().size(), 3u);
            const std::string first = ExpandLineBreaks(d.CustomButtons()[0]);
            EXPECT_EQ(std::count(first.begin(), first.end(), '\n'), 2);  // a heading and two lines
            EXPECT_TRUE(d.Options().Contains(doCommandLinks));
        } else if (name == "radio-verification.ini") {
            EXPECT_FALSE(d.RadioButtons().empty());
            EXPECT_FALSE(d.VerificationText().empty());
        } else if (name == "progress.ini") {
            EXPECT_TRUE(d.Options().Contains(doProgressBar));
            EXPECT_TRUE(desc.Events.Timer);
            EXPECT_TRUE(desc.Events.ProgressStep.has_value());
        } else if (name == "expanded.ini") {
            EXPECT_FALSE(d.ExpandedText().empty());
            EXPECT_NE(d.ExpandControlText().find('&'), std::string::npos);
            EXPECT_NE(d.CollapsControlText().find('&'), std::string::npos);
            EXPECT_NE(d.ExpandControlText()[1], d.CollapsControlText()[1]);
        } else if (name == "footer-shield.ini") {
            EXPECT_EQ(d.FooterIcon(), tfiShield);
            EXPECT_TRUE(d.Options().Contains(doExpandedFooter));
        } else if (name == "same-version.ini") {
            EXPECT_EQ(d.Icon(), tiQuestion);
            EXPECT_EQ(d.CommonButtons(), (TCommonButtons{cbYes, cbNo}));
        }
    }
}

}  // namespace
}  // namespace dupd
