#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "FakePlatform.h"
#include "dbversion/TextLines.h"
#include "log/UpdateLog.h"

namespace dupd {
namespace {

const std::string kDir = "C:\\Users\\u\\Documents\\Ostravane\\Quellmark Logfiles\\";
const std::string kTmp = kDir + "UPDLOG.TMP";
const std::string kTxt = kDir + "UPDLOG.TXT";
const std::string kRunEnd = std::string(60, '-') + "\r\n\r\n";
const std::string kStars = std::string(40, '*');

class UpdateLogBase : public ::testing::Test {
protected:
    // The derived fixture owns the file system, which exists only once SetUp runs.
    explicit UpdateLogBase(fake::FakeFileSystem& fs) : fs_(fs) {}
    void SetUp() override
    {
        fs_.AddFolder(kDir);
        state.LogDir = kDir;
    }

    // One run's log steps in the order the update run takes them.
    void Run(const std::vector<std::string>& messages)
    {
        TUpdateLog log(fs_, clock, state);
        ASSERT_TRUE(log.StartLogFile());
        for (const auto& m : messages) log.WriteToLog(m);
        log.CloseLogFile();
        log.RewriteLog();
        log.CheckLogFile();
    }
    std::string Block(const std::vector<std::string>& messages) const
    {
        std::string out;
        for (const auto& m : messages) out += "[" + clock.stamp + "] " + m + "\r\n";
        return out + kRunEnd;
    }

    fake::FakeFileSystem& fs_;
    fake::FakeClock clock;
    RunState state;
};

class UpdateLog : public UpdateLogBase {
protected:
    UpdateLog() : UpdateLogBase(fs) {}
    fake::FakeFileSystem fs;
};

TEST_F(UpdateLog, FirstRunLeavesOnlyThisRun)
{
    Run({"Update 6935 started", ""});
    EXPECT_EQ(fs.Content(kTxt), "[08.12.2026 20:43:11] Update 6935 started\r\n[08.12.2026 20:43:11] \r\n" + kRunEnd);
    EXPECT_FALSE(fs.Has(kTmp));
    EXPECT_FALSE(state.LogStarted);
}

TEST_F(UpdateLog, SecondRunComesFirstAndEarlierContentFollowsUnchanged)
{
    Run({"one"});
    const std::string first = Block({"one"});
    clock.stamp = "09.12.2026 07:00:00";
    Run({"two", "three"});
    EXPECT_EQ(fs.Content(kTxt), Block({"two", "three"}) + first);
    EXPECT_FALSE(fs.Has(kTmp));
}

TEST_F(UpdateLog, MergeEndsEveryCopiedLineWithCrLf)
{
    fs.AddFile(kTxt, "lf only\nlone\rcr\r\nlast without end");
    Run({"new"});
    EXPECT_EQ(fs.Content(kTxt), Block({"new"}) + "lf only\r\nlonecr\r\nlast without end\r\n");
}

TEST_F(UpdateLog, LeftoverTmpIsEmptiedAndReused)
{
    fs.AddFile(kTmp, "stale entry from an interrupted run\r\n");
    fs.AddFile(kTxt, "old\r\n");
    Run({"new"});
    EXPECT_EQ(fs.Content(kTxt), Block({"new"}) + "old\r\n");
}

TEST_F(UpdateLog, StartingTwiceMergesTheOpenRunFirst)
{
    TUpdateLog log(fs, clock, state);
    ASSERT_TRUE(log.StartLogFile());
    log.WriteToLog("first");
    ASSERT_TRUE(log.StartLogFile());
    log.WriteToLog("second");
    log.CloseLogFile();
    log.RewriteLog();
    EXPECT_EQ(fs.Content(kTxt), Block({"second"}) + Block({"first"}));
}

TEST_F(UpdateLog, MissingFolderMeansNoLogAndNoError)
{
    state.LogDir = "C:\\Nowhere\\";
    TUpdateLog log(fs, clock, state);
    EXPECT_FALSE(log.StartLogFile());
    EXPECT_FALSE(state.LogStarted);
    log.WriteToLog("lost");
    log.CloseLogFile();
    log.RewriteLog();
    log.CheckLogFile();
    EXPECT_TRUE(fs.files.empty());
}

TEST_F(UpdateLog, WriteBeforeStartAndAfterCloseWritesNothing)
{
    TUpdateLog log(fs, clock, state);
    log.WriteToLog("too early");
    EXPECT_TRUE(fs.files.empty());
    ASSERT_TRUE(log.StartLogFile());
    log.WriteToLog("kept");
    log.CloseLogFile();
    log.WriteToLog("too late");
    EXPECT_EQ(fs.Content(kTmp), Block({"kept"}));
}

TEST_F(UpdateLog, ReadOnlyLogIsKeptWithTheMergeBesideIt)
{
    fs.AddFile(kTxt, "old\r\n").readOnly = true;
    Run({"new"});
    EXPECT_EQ(fs.Content(kTxt), "old\r\n");
    EXPECT_EQ(fs.Content(kTmp), Block({"new"}) + "old\r\n");
}

TEST_F(UpdateLog, LogInUseIsKeptWithTheMergeBesideIt)
{
    fs.AddFile(kTxt, "old\r\n").inUse = true;
    Run({"new"});
    EXPECT_EQ(fs.Content(kTxt), "old\r\n");
    EXPECT_EQ(fs.Content(kTmp), Block({"new"}) + "old\r\n");
}

TEST_F(UpdateLog, OldLogIsPutBackWhenTheMergedOneCannotBeMovedIn)
{
    fs.AddFile(kTxt, "old\r\n");
    fs.failMovesFrom.insert(fake::NormalPath(kTmp));
    Run({"new"});
    EXPECT_EQ(fs.Content(kTxt), "old\r\n");
    EXPECT_EQ(fs.Content(kTmp), Block({"new"}) + "old\r\n");
    // Nothing else is left lying in the folder.
    EXPECT_EQ(fs.files.size(), 2u);
}

TEST_F(UpdateLog, ReadErrorDuringMergeLeavesLogUnchanged)
{
    fs.AddFile(kTxt, "old\r\n");
    fs.failReadsOf.insert(fake::NormalPath(kTxt));
    Run({"new"});
    EXPECT_EQ(fs.Content(kTxt), "old\r\n");
    EXPECT_EQ(fs.Content(kTmp), Block({"new"}));
}

TEST_F(UpdateLog, WriteErrorDuringMergeLeavesLogUnchanged)
{
    fs.AddFile(kTxt, "old\r\n");
    TUpdateLog log(fs, clock, state);
    ASSERT_TRUE(log.StartLogFile());
    log.WriteToLog("new");
    log.CloseLogFile();
    fs.failWritesTo.insert(fake::NormalPath(kTmp));
    log.RewriteLog();
    EXPECT_EQ(fs.Content(kTxt), "old\r\n");
    EXPECT_TRUE(fs.Has(kTmp));
}

// A file system whose UPDLOG.TMP keeps what is written in a buffer that is lost
// when closing fails, as a write-behind cache would on a full disk.
class LosingCloseFs : public fake::FakeFileSystem {
public:
    class LosingWriter : public IWriteStream {
    public:
        bool Write(const char*, std::size_t) override { return true; }
        bool Close() override { return false; }
    };
    bool armed = false;
    std::unique_ptr<IWriteStream> OpenWrite(const std::string& path, OpenMode mode) override
    {
        auto real = FakeFileSystem::OpenWrite(path, mode);
        if (armed && real && fake::NormalPath(path) == fake::NormalPath(kTmp)) return std::make_unique<LosingWriter>();
        return real;
    }
};

class UpdateLogCloseFails : public UpdateLogBase {
protected:
    UpdateLogCloseFails() : UpdateLogBase(fs) {}
    LosingCloseFs fs;
};

TEST_F(UpdateLogCloseFails, UnfinishedMergeDoesNotReplaceTheLog)
{
    fs.AddFile(kTxt, "old\r\n");
    fs.armed = true;
    TUpdateLog log(fs, clock, state);
    ASSERT_TRUE(log.StartLogFile());
    log.CloseLogFile();
    log.RewriteLog();
    EXPECT_EQ(fs.Content(kTxt), "old\r\n");
}

TEST_F(UpdateLogCloseFails, UnfinishedCutDoesNotReplaceTheLog)
{
    const std::string big(20000, 'x');
    fs.AddFile(kTxt, big);
    fs.armed = true;
    TUpdateLog(fs, clock, state).CheckLogFile();
    EXPECT_EQ(fs.Content(kTxt), big);
}

// ---------------------------------------------------------------- size control

// `lines` lines of text ended by CR LF, the last one padded to make `size` bytes.
std::string LogOfSize(int lines, std::size_t size)
{
    std::string out;
    for (int i = 1; i < lines; ++i) out += "line " + std::to_string(i) + "\r\n";
    const std::string head = "line " + std::to_string(lines);
    EXPECT_LE(out.size() + head.size() + 2, size);
    out += head + std::string(size - out.size() - head.size() - 2, '.') + "\r\n";
    return out;
}

std::vector<std::string> Lines(const std::string& text) { return SplitTextLines(text); }

class SizeControl : public UpdateLog {
protected:
    void Check() { TUpdateLog(fs, clock, state).CheckLogFile(); }
};

TEST_F(SizeControl, AtTheLimitNothingChanges)
{
    const std::string log = LogOfSize(300, kLogSizeLimit);
    ASSERT_EQ(log.size(), 16384u);
    fs.AddFile(kTxt, log);
    Check();
    EXPECT_EQ(fs.Content(kTxt), log);
    EXPECT_FALSE(fs.Has(kTmp));
}

TEST_F(SizeControl, OneByteAboveIsCutTo101LinesAndBanner)
{
    const std::string log = LogOfSize(300, kLogSizeLimit + 1);
    fs.AddFile(kTxt, log);
    Check();
    const auto before = Lines(log);
    std::vector<std::string> expected(before.begin(), before.begin() + 101);
    expected.insert(expected.end(), {"", kStars, "Logfile auto-truncated by Quellmark", kStars});
    const std::string& after = fs.Content(kTxt);
    EXPECT_EQ(Lines(after), expected);
    EXPECT_EQ(expected.size(), 105u);
    EXPECT_EQ(after.substr(after.size() - 2), "\r\n");
    EXPECT_EQ(after.find("line 102\r\n"), std::string::npos);
    EXPECT_FALSE(fs.Has(kTmp));
}

TEST_F(SizeControl, Exactly101LinesStillGetTheBanner)
{
    const std::string log = LogOfSize(101, 20000);
    fs.AddFile(kTxt, log);
    Check();
    // The long last line is cut to the longest line that is copied.
    const std::string kept = log.substr(0, log.rfind("line 101")) + ("line 101" + std::string(20000, '.')).substr(0, kLogLineCap);
    EXPECT_EQ(fs.Content(kTxt), kept + "\r\n\r\n" + kStars + "\r\nLogfile auto-truncated by Quellmark\r\n" + kStars + "\r\n");
}

// A log of one huge line (not this program's) is copied in flat memory and cut to
// size like any other, and this run's lines are never lost to it.
TEST_F(UpdateLog, HugeLineIsCappedAndNeverCostsThisRunsLines)
{
    fs.AddFile(kTxt, std::string(3 << 20, 'x') + "\r\nold 2\r\n");
    Run({"this run"});
    EXPECT_EQ(Lines(fs.Content(kTxt)), (std::vector<std::string>{"[" + clock.stamp + "] this run",
                                                                  std::string(60, '-'), "",
                                                                  std::string(kLogLineCap, 'x'), "old 2"}));
}

// A merge that failed leaves this run's lines in UPDLOG.TMP; the cut must not
// empty that file for its own copy.
TEST_F(UpdateLog, NoCutAfterAFailedMerge)
{
    const std::string old = LogOfSize(300, 30000);
    fs.AddFile(kTxt, old);
    TUpdateLog log(fs, clock, state);
    ASSERT_TRUE(log.StartLogFile());
    log.WriteToLog("this run");
    log.CloseLogFile();
    fs.failReadsOf.insert(fake::NormalPath(kTxt));
    log.RewriteLog();
    fs.failReadsOf.clear();
    log.CheckLogFile();
    EXPECT_EQ(fs.Content(kTxt), old);
    EXPECT_EQ(Lines(fs.Content(kTmp)).at(0), "[" + clock.stamp + "] this run");
}

TEST_F(SizeControl, HundredLongLinesAreRewrittenWithoutBanner)
{
    std::string log;
    for (int i = 0; i < 99; ++i) log += std::string(200, 'a' + i % 26) + "\n";
    log += std::string(300, 'z');  // no line end
    ASSERT_GT(log.size(), kLogSizeLimit);
    fs.AddFile(kTxt, log);
    Check();
    std::string expected;
    for (const auto& l : Lines(log)) expected += l + "\r\n";
    EXPECT_EQ(fs.Content(kTxt), expected);
}

TEST_F(SizeControl, UnwritableOrMissingLogIsNeverCut)
{
    Check();
    EXPECT_TRUE(fs.files.empty());

    const std::string log = LogOfSize(300, 30000);
    fs.AddFile(kTxt, log).readOnly = true;
    Check();
    EXPECT_EQ(fs.Content(kTxt), log);
    EXPECT_FALSE(fs.Has(kTmp));
}

TEST_F(SizeControl, ReadErrorLeavesLogUnchanged)
{
    const std::string log = LogOfSize(300, 30000);
    fs.AddFile(kTxt, log);
    fs.failReadsOf.insert(fake::NormalPath(kTxt));
    Check();
    EXPECT_EQ(fs.Content(kTxt), log);
}

// ---------------------------------------------------------------- streaming

const std::string kGeneratedLine = "[01.01.2020 00:00:00] Copied Qlmlist27.dta to the installation folder\n";

// Serves a generated log of `total` bytes to the reader and counts what went into
// the merged file, without keeping either in memory.
class StreamingFs : public fake::FakeFileSystem {
public:
    std::size_t total = 0;
    std::size_t delivered = 0;
    std::size_t written = 0;
    std::size_t deliveredAtFirstWrite = 0;
    std::size_t largestWrite = 0;
    std::size_t writes = 0;

    class Generator : public IReadStream {
    public:
        explicit Generator(StreamingFs& fs) : fs_(fs) {}
        bool Read(char* buffer, std::size_t capacity, std::size_t& got) override
        {
            const std::string& line = kGeneratedLine;
            got = std::min(capacity, fs_.total - fs_.delivered);
            for (std::size_t i = 0; i < got; ++i) buffer[i] = line[(fs_.delivered + i) % line.size()];
            fs_.delivered += got;
            return true;
        }
        std::optional<std::uint64_t> Size() override { return fs_.total; }

    private:
        StreamingFs& fs_;
    };
    class Sink : public IWriteStream {
    public:
        explicit Sink(StreamingFs& fs) : fs_(fs) {}
        bool Write(const char*, std::size_t size) override
        {
            if (fs_.written == 0) fs_.deliveredAtFirstWrite = fs_.delivered;
            fs_.written += size;
            ++fs_.writes;
            fs_.largestWrite = std::max(fs_.largestWrite, size);
            return true;
        }
        bool Close() override { return true; }

    private:
        StreamingFs& fs_;
    };

    std::unique_ptr<IReadStream> OpenRead(const std::string& path) override
    {
        if (fake::NormalPath(path) == fake::NormalPath(kTxt)) return std::make_unique<Generator>(*this);
        return FakeFileSystem::OpenRead(path);
    }
    std::unique_ptr<IWriteStream> OpenWrite(const std::string& path, OpenMode mode) override
    {
        auto real = FakeFileSystem::OpenWrite(path, mode);
        if (real && fake::NormalPath(path) == fake::NormalPath(kTmp)) return std::make_unique<Sink>(*this);
        return real;
    }
};

TEST(UpdateLogStreaming, LargeLogIsMergedPieceByPiece)
{
    StreamingFs fs;
    fs.AddFolder(kDir);
    fs.AddFile(kTxt, "stand-in");
    const std::size_t lines = 700000;  // about 50 MB of LF-ended lines
    fs.total = kGeneratedLine.size() * lines;
    fake::FakeClock clock;
    RunState state;
    state.LogDir = kDir;

    TUpdateLog log(fs, clock, state);
    ASSERT_TRUE(log.StartLogFile());
    log.CloseLogFile();
    fs.written = fs.writes = fs.largestWrite = 0;  // only the merge's writes count
    log.RewriteLog();

    EXPECT_EQ(fs.delivered, fs.total);
    EXPECT_EQ(fs.written, fs.total + lines) << "each LF became CR LF";
    EXPECT_LE(fs.largestWrite, 128u * 1024);
    EXPECT_LT(fs.writes, fs.written / (16 * 1024)) << "lines are collected, not written one by one";
    EXPECT_LT(fs.deliveredAtFirstWrite, 1024u * 1024) << "writing began long before the end was read";
}

// ---------------------------------------------------------------- log folder

struct FolderCase {
    const char* name;
    std::uint32_t platformId;
    std::string special;
    std::string personal;
    RegReadStatus personalStatus;
    std::string temp;
    std::string expected;
};

class LogFolder : public ::testing::TestWithParam<FolderCase> {};

TEST_P(LogFolder, Chooses)
{
    const FolderCase& c = GetParam();
    fake::FakeRegistry registry;
    fake::FakeFileSystem fs;
    if (!c.special.empty()) registry.specialFolders[5] = c.special;
    registry.specialFolders[26] = "C:\\AppData";  // never the one to use
    if (!c.personal.empty() || c.personalStatus != RegReadStatus::Ok)
        registry.Set(RegRoot::CurrentUser, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                     "Personal", c.personal, c.personalStatus);
    fs.tempPath = c.temp;
    RunState state;
    state.InstallDir = "C:\\Program Files\\Quellmark\\";
    state.PlatformId = c.platformId;
    EXPECT_EQ(GetLogfileDir(registry, fs, state), c.expected);
}

const std::string kSub = "Ostravane\\Quellmark Logfiles\\";

INSTANTIATE_TEST_SUITE_P(
    Cases, LogFolder,
    ::testing::Values(
        FolderCase{"Documents", 2, "C:\\Docs", "D:\\Reg", RegReadStatus::Ok, "C:\\TEMP\\", "C:\\Docs\\" + kSub},
        FolderCase{"RegistryWhenShellFails", 2, "", "D:\\My Docs", RegReadStatus::Ok, "C:\\TEMP\\",
                   "D:\\My Docs\\" + kSub},
        FolderCase{"TempWhenBothFail", 2, "", "", RegReadStatus::Ok, "C:\\TEMP\\", "C:\\TEMP\\" + kSub},
        FolderCase{"TempWhenValueUnreadable", 2, "", "", RegReadStatus::NotString, "C:\\TEMP\\",
                   "C:\\TEMP\\" + kSub},
        FolderCase{"TempWithoutBackslash", 2, "", "", RegReadStatus::Ok, "C:\\TEMP", "C:\\TEMP\\" + kSub},
        FolderCase{"RelativeWhenNothingKnown", 2, "", "", RegReadStatus::Ok, "", kSub},
        FolderCase{"Win9xUsesInstallDir", 1, "C:\\Docs", "D:\\Reg", RegReadStatus::Ok, "C:\\TEMP\\",
                   "C:\\Program Files\\Quellmark\\"},
        FolderCase{"Win32sIsNot9x", 0, "C:\\Docs", "", RegReadStatus::Ok, "C:\\TEMP\\", "C:\\Docs\\" + kSub},
        FolderCase{"UnknownPlatformIsNot9x", 7, "C:\\Docs", "", RegReadStatus::Ok, "C:\\TEMP\\",
                   "C:\\Docs\\" + kSub}),
    [](const ::testing::TestParamInfo<FolderCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace dupd
