// Every point of failure of a run, tried: for a few representative runs, the Nth
// call into the file system or the registry fails (its documented failure), or the
// run dies at the Nth call (that call and every later one does nothing, as when
// the process is killed or the power goes), for every N. After each, the updater
// runs once more, on what is left or on a package unpacked afresh, the restart is
// carried out, and each test below checks one thing that must hold for all of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>

#include "FakePlatform.h"
#include "FakeDialogPlatform.h"
#include "app/Dupdate.h"
#include "app/StagedFiles.h"
#include "dbversion/DbVersion.h"
#include "dbversion/TextLines.h"
#include "log/UpdateLog.h"
#include "install/SafeReplace.h"

namespace dupd {
namespace {

using fake::FakeFileSystem;
using fake::FakeRegistry;
using fake::NormalPath;

// ---------------------------------------------------------------- the injection

struct Injection {
    enum Mode { None, FailAt, CrashAt };
    Mode mode = None;
    std::size_t at = 0;
    std::size_t calls = 0;
    bool dead = false;

    // Counts one call; true when it is to fail, or to do nothing at all.
    bool Strikes()
    {
        if (dead) return true;
        ++calls;
        if (mode == FailAt && calls == at) return true;
        if (mode == CrashAt && calls >= at) dead = true;
        return dead;
    }
};

class FaultyReader : public IReadStream {
public:
    FaultyReader(std::unique_ptr<IReadStream> inner, Injection& injection) : inner_(std::move(inner)), in_(injection) {}
    bool Read(char* buffer, std::size_t capacity, std::size_t& got) override
    {
        got = 0;
        if (in_.Strikes()) return true;  // a short read: the file seems to end here
        return inner_->Read(buffer, capacity, got);
    }
    std::optional<std::uint64_t> Size() override { return in_.Strikes() ? std::nullopt : inner_->Size(); }

private:
    std::unique_ptr<IReadStream> inner_;
    Injection& in_;
};

class FaultyWriter : public IWriteStream {
public:
    FaultyWriter(std::unique_ptr<IWriteStream> inner, Injection& injection) : inner_(std::move(inner)), in_(injection) {}
    bool Write(const char* data, std::size_t size) override { return !in_.Strikes() && inner_->Write(data, size); }
    bool Close() override { return !in_.Strikes() && inner_->Close(); }  // a failed flush

private:
    std::unique_ptr<IWriteStream> inner_;
    Injection& in_;
};

class FaultyFileSystem : public IFileSystem {
public:
    FaultyFileSystem(FakeFileSystem& fs, Injection& injection) : fs_(fs), in_(injection) {}

    bool FileExists(const std::string& p) override { return !in_.Strikes() && fs_.FileExists(p); }
    bool IsReadOnly(const std::string& p) override { return !in_.Strikes() && fs_.IsReadOnly(p); }
    bool SetArchiveOnly(const std::string& p) override { return !in_.Strikes() && fs_.SetArchiveOnly(p); }
    bool Delete(const std::string& p) override { return !in_.Strikes() && fs_.Delete(p); }
    bool Move(const std::string& f, const std::string& t) override { return !in_.Strikes() && fs_.Move(f, t); }
    bool Replace(const std::string& f, const std::string& t) override { return !in_.Strikes() && fs_.Replace(f, t); }
    bool RemoveFolder(const std::string& p) override { return !in_.Strikes() && fs_.RemoveFolder(p); }
    std::unique_ptr<IReadStream> OpenRead(const std::string& p) override
    {
        if (in_.Strikes()) return nullptr;
        auto inner = fs_.OpenRead(p);
        return inner ? std::make_unique<FaultyReader>(std::move(inner), in_) : nullptr;
    }
    std::unique_ptr<IWriteStream> OpenWrite(const std::string& p, OpenMode mode) override
    {
        if (in_.Strikes()) return nullptr;
        auto inner = fs_.OpenWrite(p, mode);
        return inner ? std::make_unique<FaultyWriter>(std::move(inner), in_) : nullptr;
    }
    std::optional<std::vector<std::string>> FindFiles(const std::string& f, const std::string& p) override
    {
        return in_.Strikes() ? std::nullopt : fs_.FindFiles(f, p);
    }
    std::string FullPath(const std::string& p) override { return in_.Strikes() ? "" : fs_.FullPath(p); }
    FileFacts Facts(const std::string& p) override { return in_.Strikes() ? FileFacts{} : fs_.Facts(p); }
    bool ScheduleReplaceAtRestart(const std::string& f, const std::string& t) override
    {
        return !in_.Strikes() && fs_.ScheduleReplaceAtRestart(f, t);
    }
    std::optional<std::vector<PendingRename>> PendingRenames() override
    {
        return in_.Strikes() ? std::nullopt : fs_.PendingRenames();
    }
    std::uint32_t LastError() override { return fs_.LastError(); }  // what the last call left, no call of its own
    std::string ErrorText(std::uint32_t code) override { return in_.Strikes() ? "" : fs_.ErrorText(code); }
    std::string ShortPathName(const std::string& p) override { return in_.Strikes() ? "" : fs_.ShortPathName(p); }
    std::string WindowsDirectory() override { return in_.Strikes() ? "" : fs_.WindowsDirectory(); }
    std::string TempPath() override { return in_.Strikes() ? "" : fs_.TempPath(); }

private:
    FakeFileSystem& fs_;
    Injection& in_;
};

class FaultyRegistry : public IRegistry {
public:
    FaultyRegistry(FakeRegistry& registry, Injection& injection) : registry_(registry), in_(injection) {}

    class Key : public IRegistryKey {
    public:
        Key(std::unique_ptr<IRegistryKey> inner, Injection& injection) : inner_(std::move(inner)), in_(injection) {}
        RegString ReadString(const std::string& name) override
        {
            return in_.Strikes() ? RegString{RegReadStatus::Failed, ""} : inner_->ReadString(name);
        }

    private:
        std::unique_ptr<IRegistryKey> inner_;
        Injection& in_;
    };

    std::unique_ptr<IRegistryKey> OpenKey(RegRoot root, const std::string& path, RegAccess access) override
    {
        if (in_.Strikes()) return nullptr;
        auto inner = registry_.OpenKey(root, path, access);
        return inner ? std::make_unique<Key>(std::move(inner), in_) : nullptr;
    }
    std::string SpecialFolderPath(int csidl) override { return in_.Strikes() ? "" : registry_.SpecialFolderPath(csidl); }

private:
    FakeRegistry& registry_;
    Injection& in_;
};

// ---------------------------------------------------------------- the representative runs

const std::string kAppData = "C:\\Users\\ann\\AppData\\Roaming";
const std::string kStaging = kAppData + "\\Ostravane\\Dbinst";
const std::string kAppPath = "C:\\Program Files\\Quellmark";
const std::string kDocs = "C:\\Users\\ann\\Documents";
const std::string kLogDir = kDocs + "\\Ostravane\\Quellmark Logfiles\\";
const std::string kWininit = "C:\\WINDOWS\\wininit.ini";

struct World {
    FakeFileSystem fs;
    FakeRegistry registry;
    bool nt = true;
    std::map<std::string, std::string> before;   // installed database files and their content
    std::map<std::string, std::string> package;  // staged names and their content
    std::string logDir = kLogDir;

    std::string Installed(const std::string& name) const { return kAppPath + "\\" + name; }
    void Stage()
    {
        fs.AddFolder(kStaging);
        for (const auto& [name, content] : package) fs.AddFile(kStaging + "\\" + name, content);
    }
};

std::string Old(const std::string& name) { return "old " + name + std::string(300, '.'); }
std::string New(const std::string& name) { return "new " + name + std::string(500, '*'); }

World BaseWorld(bool nt, const std::vector<std::string>& names, int extras, std::size_t logBytes)
{
    World w;
    w.nt = nt;
    w.logDir = nt ? kLogDir : kAppPath + "\\";
    w.registry.specialFolders[26] = kAppData;
    w.registry.specialFolders[5] = kDocs;
    w.registry.Set(RegRoot::LocalMachine, kProductKey, "AppPath", kAppPath);
    w.fs.AddFolder(kAppPath);
    w.fs.AddFolder(kLogDir);
    w.fs.AddFolder("C:\\WINDOWS");
    for (const auto& name : names) {
        w.package[name] = New(name);
        if (name != "Reflist.dta") w.before[name] = Old(name);
    }
    w.before["Reflist.dta"] = EnCrypt("Q::6934||installed reference list") + "\r\n";
    w.package["Reflist.dta"] = EnCrypt("Q::6935||new reference list") + "\r\n";
    for (const auto& [name, content] : w.before) w.fs.AddFile(w.Installed(name), content);
    for (int n = 1; n <= extras; ++n)
        w.fs.AddFile(w.Installed("extra" + std::to_string(n) + ".dta"), EnCrypt(n % 2 ? "6930" : "6936") + "\r\n");
    if (logBytes) {
        std::string log;
        for (int i = 0; log.size() + 80 < logBytes; ++i)
            log += "[01.01.2026 10:00:" + std::to_string(i % 60) + "] earlier line " + std::to_string(i) + "\r\n";
        w.fs.AddFile(w.logDir + "UPDLOG.TXT", log);
    }
    w.Stage();
    return w;
}

const std::vector<std::string> kSmallPackage = {"Qlm_list.dta", "Qlmlist2.dta", "Qlmlist3.dta", "Reflist.dta",
                                                "epack.dta"};

void HoldOpen(World& w, std::initializer_list<const char*> names)
{
    for (const char* n : names) w.fs.files[NormalPath(w.Installed(n))].inUse = true;
}

struct RunRecord {
    bool ended = false;
    bool abandoned = false;  // a refusal that throws the package away was shown
};

RunRecord RunUpdater(World& w, Injection& injection)
{
    FaultyFileSystem fs(w.fs, injection);
    FaultyRegistry registry(w.registry, injection);
    fake::FakeUserInterface ui;
    fake::FakeClock clock;
    fake::FakeDialogPlatform dialogs;
    // The user wants the update: Yes to the same-version question.
    dialogs.decide = [](const fake::FakeDialogPlatform::Seen& seen) {
        return seen.instruction == "Re-install this Update?" ? 6 : 1;
    };
    TMainForm form(fs, registry, ui, clock, dialogs);
    form.FormCreate({true, w.nt ? 6u : 4u, w.nt ? 1u : 10u, w.nt ? 2u : 1u});
    form.FormActivate();

    RunRecord r;
    r.ended = ui.terminateRequests == 1;
    for (const auto& seen : dialogs.seen)
        if (seen.instruction == "Unable to locate installation directory" || seen.instruction == "Update is too old" ||
            seen.instruction == "Update Aborted")
            r.abandoned = true;
    return r;
}

// A first run, clean, that deferred two files in use; then a package unpacked afresh.
World AfterADeferringRun(bool nt, bool stillInUse)
{
    World w = BaseWorld(nt, kSmallPackage, 2, 2000);
    HoldOpen(w, {"Qlmlist2.dta", "epack.dta"});
    Injection clean;
    RunUpdater(w, clean);
    if (!stillInUse)
        for (auto& f : w.fs.files) f.second.inUse = false;
    w.Stage();
    return w;
}

struct Representative {
    const char* name;
    std::function<World()> make;
};

// The world in which the run under test starts.
const std::vector<Representative>& Representatives()
{
    static const std::vector<Representative> runs = {
        {"all 53 names, 20 extras, 16 KB log", [] { return BaseWorld(true, StagedFileNames(), 20, 16 * 1024); }},
        {"two files in use, NT",
         [] {
             World w = BaseWorld(true, kSmallPackage, 2, 2000);
             HoldOpen(w, {"Qlmlist2.dta", "epack.dta"});
             return w;
         }},
        {"two files in use, 9x with wininit.ini",
         [] {
             World w = BaseWorld(false, kSmallPackage, 2, 2000);
             HoldOpen(w, {"Qlmlist2.dta", "epack.dta"});
             w.fs.AddFile(kWininit, "[Settings]\r\nA=1\r\n[Rename]\r\nNUL=C:\\X.TMP\r\n");
             return w;
         }},
        {"second run before the restart, NT", [] { return AfterADeferringRun(true, true); }},
        {"second run before the restart, 9x", [] { return AfterADeferringRun(false, true); }},
        {"second run before the restart, the files free by then, NT", [] { return AfterADeferringRun(true, false); }},
        {"second run before the restart, the files free by then, 9x", [] { return AfterADeferringRun(false, false); }},
    };
    return runs;
}

// ---------------------------------------------------------------- outcomes

// What one injected run, the run after it and the restart left.
struct Outcome {
    std::string label;
    std::vector<bool> ended;
    bool abandoned = false;
    // Each file the installation had, after it all: 'o' old, 'n' new, 'm' missing,
    // '?' anything else. Kept small: the table holds thousands of outcomes.
    std::map<std::string, char> installed;
    std::string logLoss;  // why the log lost what it held; empty when it did not
    std::vector<std::string> unawaitedOwnFiles;  // .dupd- names before the restart that no entry awaits
    std::vector<std::string> ownFilesAfterRestart;
    std::vector<std::string> packageNotInPlace;  // staged names neither installed nor still staged
};

// Every line the log held is still there, in its order, right after the newer
// runs' blocks, unless the cut took it (the cut keeps 101 lines and a banner).
std::string LogLoss(const std::optional<std::string>& logBefore, const std::optional<std::string>& logAfter)
{
    if (!logBefore || logBefore->empty()) return "";
    if (!logAfter) return "UPDLOG.TXT is gone";
    const auto before = SplitTextLines(*logBefore);
    auto after = SplitTextLines(*logAfter);
    const bool cut = after.size() >= 4 && after.back() == std::string(40, '*');
    if (cut) after.resize(after.size() - 4);
    // The old log is the tail of the new one, whole or, after a cut, its beginning;
    // newer runs may even have pushed all of it past the cut.
    if (cut && std::find(after.begin(), after.end(), before.front()) == after.end()) return "";
    for (std::size_t p = 0; p < after.size(); ++p) {
        const std::size_t kept = after.size() - p;
        if ((kept == before.size() || (cut && kept < before.size())) &&
            std::equal(after.begin() + static_cast<std::ptrdiff_t>(p), after.end(), before.begin()))
            return "";
    }
    return "the old log is not kept whole below the newer runs";
}

std::vector<std::string> OwnFiles(const FakeFileSystem& fs)
{
    std::vector<std::string> out;
    const std::string folder = NormalPath(kAppPath) + "\\";
    for (const auto& f : fs.files)
        if (f.first.compare(0, folder.size(), folder) == 0 && f.first.find(kOwnMark) != std::string::npos)
            out.push_back(f.first);
    return out;
}

// The own files that no pending entry or wininit.ini line takes as its source.
std::vector<std::string> Unawaited(const FakeFileSystem& fs)
{
    std::string wininit;
    if (fs.Has(kWininit)) wininit = NormalPath(fs.Content(kWininit));
    std::vector<std::string> out;
    for (const auto& own : OwnFiles(fs)) {
        bool awaited = wininit.find("=" + own) != std::string::npos;
        for (const auto& p : fs.pending) awaited = awaited || NormalPath(p.from) == own;
        if (!awaited) out.push_back(own);
    }
    return out;
}

Outcome Finish(World& w, const World& start, const std::string& label, const std::vector<RunRecord>& runs)
{
    Outcome o;
    o.label = label;
    for (const auto& r : runs) {
        o.ended.push_back(r.ended);
        o.abandoned = o.abandoned || r.abandoned;
    }
    o.unawaitedOwnFiles = Unawaited(w.fs);
    w.fs.Restart();
    o.ownFilesAfterRestart = OwnFiles(w.fs);
    for (const auto& [name, old] : start.before) {
        char& state = o.installed[name];
        if (!w.fs.Has(w.Installed(name)))
            state = 'm';
        else if (w.fs.Content(w.Installed(name)) == old)
            state = 'o';
        else
            state = w.fs.Content(w.Installed(name)) == start.package.at(name) ? 'n' : '?';
    }
    const std::string logPath = w.logDir + "UPDLOG.TXT";
    const auto content = [&logPath](const World& world) {
        return world.fs.Has(logPath) ? std::optional<std::string>(world.fs.Content(logPath)) : std::nullopt;
    };
    o.logLoss = LogLoss(content(start), content(w));
    for (const auto& [name, content] : start.package) {
        const bool placed = w.fs.Has(w.Installed(name)) && w.fs.Content(w.Installed(name)) == content;
        if (!placed && !w.fs.Has(kStaging + "\\" + name)) o.packageNotInPlace.push_back(name);
    }
    return o;
}

struct Table {
    std::vector<Outcome> outcomes;
    std::vector<std::string> counts;  // points tried per run, for the output
};

const Table& Outcomes()
{
    static const Table table = [] {
        Table t;
        for (const Representative& rep : Representatives()) {
            const World start = rep.make();
            World probe = start;
            Injection count;
            RunUpdater(probe, count);
            const std::size_t calls = count.calls;
            std::size_t tried = 0;
            for (Injection::Mode mode : {Injection::FailAt, Injection::CrashAt}) {
                for (std::size_t n = 1; n <= calls; ++n) {
                    for (bool afresh : {false, true}) {
                        World w = start;
                        Injection injected{mode, n};
                        std::vector<RunRecord> runs{RunUpdater(w, injected)};
                        if (afresh) w.Stage();
                        Injection clean;
                        runs.push_back(RunUpdater(w, clean));
                        const std::string label = std::string(rep.name) +
                                                  (mode == Injection::FailAt ? ", failure at " : ", crash at ") +
                                                  std::to_string(n) + (afresh ? ", then a fresh package" : ", then the rest");
                        t.outcomes.push_back(Finish(w, start, label, runs));
                    }
                    ++tried;
                }
            }
            t.counts.push_back(std::string(rep.name) + ": " + std::to_string(calls) + " calls, " +
                               std::to_string(tried) + " points tried (failure and crash)");
        }
        return t;
    }();
    return table;
}

class FaultInjection : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static bool printed = false;
        if (printed) return;
        printed = true;
        for (const auto& line : Outcomes().counts) std::printf("[ points   ] %s\n", line.c_str());
    }
};

// ---------------------------------------------------------------- the invariants

TEST_F(FaultInjection, EveryFileOfTheInstallationIsWholeOldOrWholeNew)
{
    for (const Outcome& o : Outcomes().outcomes) {
        for (const auto& [name, state] : o.installed) {
            ASSERT_NE(state, 'm') << o.label << ": " << name << " is missing";
            ASSERT_NE(state, '?') << o.label << ": " << name << " is neither the old file nor the new one";
        }
    }
}

TEST_F(FaultInjection, TheAccumulatedLogIsNeverLost)
{
    for (const Outcome& o : Outcomes().outcomes) ASSERT_EQ(o.logLoss, "") << o.label;
}

TEST_F(FaultInjection, NoFileOfTheProgramsOwnOutlivesItsUse)
{
    for (const Outcome& o : Outcomes().outcomes) {
        ASSERT_EQ(o.unawaitedOwnFiles, std::vector<std::string>{}) << o.label << ": before the restart";
        ASSERT_EQ(o.ownFilesAfterRestart, std::vector<std::string>{}) << o.label << ": after the restart";
    }
}

TEST_F(FaultInjection, ThePackageIsKeptWhileAnyOfItsFilesIsNotInPlace)
{
    for (const Outcome& o : Outcomes().outcomes) {
        if (o.abandoned) continue;  // refused and thrown away, as the user was told
        ASSERT_EQ(o.packageNotInPlace, std::vector<std::string>{}) << o.label;
    }
}

TEST_F(FaultInjection, EveryRunEnds)
{
    for (const Outcome& o : Outcomes().outcomes)
        for (std::size_t i = 0; i < o.ended.size(); ++i) ASSERT_TRUE(o.ended[i]) << o.label << ", run " << i + 1;
}

}  // namespace
}  // namespace dupd
