// A release stamped with its package, as it is made (dupd-stamp.exe on a copy of
// the built dupd.exe): it installs that package, and refuses one cut short or one
// with a planted file, leaving the installation as it was.
#include <gtest/gtest.h>

#include "Expectations.h"
#include "Scenario.h"
#include "winenv/win32/Handle.h"

namespace e2e {
namespace {

// Runs a console program of the build and answers its exit code, -1 when it did
// not start or end.
int RunTool(const std::string& exe, const std::string& arguments)
{
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string cmd = "\"" + exe + "\" " + arguments;
    if (!CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    const dupd::UniqueKernelHandle process(pi.hProcess), thread(pi.hThread);
    DWORD code = 0;
    if (WaitForSingleObject(process.get(), 30000) != WAIT_OBJECT_0 || !GetExitCodeProcess(process.get(), &code)) return -1;
    return static_cast<int>(code);
}

// dupd.exe stamped with the package `names` (their staged contents), in the
// scenario's own folder; the name stays dupd.exe for Wine's settings of it.
std::string StampedProgram(const Scenario& s, const std::vector<std::string>& names)
{
    const std::string release = s.root + "\\release";
    MakeDirs(release + "\\package");
    for (const std::string& name : names) WriteFileBytes(release + "\\package\\" + name, StagedContent(name));
    const std::string program = release + "\\dupd.exe";
    EXPECT_TRUE(CopyFileA(DupdExe().c_str(), program.c_str(), FALSE));
    EXPECT_EQ(RunTool(BesideMe("dupd-stamp.exe"), "\"" + program + "\" \"" + release + "\\package\""), 0);
    return program;
}

TEST(VerifiedPackage, AStampedReleaseInstallsItsPackageAndNothingElse)
{
    const std::vector<std::string> package = {"Qlm_list.dta", "Qlmlist2.dta", "epack.dta"};
    const struct {
        const char* name;
        std::function<void(Scenario&)> stage;
        bool installs;
    } cases[] = {
        {"StampedWhole", [&](Scenario& s) { s.Stage(package); }, true},
        {"StampedCutShort",
         [&](Scenario& s) {
             s.Stage(package);
             const std::string whole = StagedContent("Qlmlist2.dta");
             s.Stage("Qlmlist2.dta", whole.substr(0, whole.size() - 1));
         },
         false},
        {"StampedPlantedReflist",
         [&](Scenario& s) {
             s.Stage(package);
             s.Stage("Reflist.dta", ReflistWithVersion("2147483647"));
         },
         false},
    };
    for (const auto& c : cases) {
        Scenario s(c.name);
        s.RegisterProduct();
        s.InstallVersion("6934");
        s.Install(package);
        s.InstallExtra(2, "6935");
        s.CreateLogFolder();
        const std::string program = StampedProgram(s, package);
        c.stage(s);
        const auto installedBefore = FolderSnapshot(s.install);
        const auto stagedBefore = FolderSnapshot(s.staging);

        const RunOutcome run = RunAnswering(program, UserAnswers(IDYES), 30000);

        EXPECT_RUN_ENDED(run);
        if (c.installs) {
            EXPECT_TRUE(run.dialogs.empty()) << c.name << Describe(run);
            for (const std::string& n : package) EXPECT_EQ(ReadFileBytes(s.Installed(n)), StagedContent(n)) << n;
            EXPECT_TRUE(s.Log().has_value()) << c.name;
            continue;
        }
        ASSERT_EQ(run.dialogs.size(), 1u) << c.name << Describe(run);
        ExpectComponentMessage(run.dialogs[0], kErrorTitle, "Database Update is corrupt", kAbortButton);
        EXPECT_EQ(FolderSnapshot(s.install), installedBefore) << c.name << ": the installation as it was";
        EXPECT_EQ(FolderSnapshot(s.staging), stagedBefore) << c.name << ": the package kept";
        EXPECT_FALSE(s.Log().has_value()) << c.name << ": no log";
    }
}

}  // namespace
}  // namespace e2e
