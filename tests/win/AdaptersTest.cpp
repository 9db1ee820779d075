// The Win32 adapters against the real API (run under Wine or on Windows).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/win32/Desktop.h"
#include "tests/support/win32/Files.h"
#include "winenv/SimpleTaskDialogRules.h"
#include "winenv/win32/Handle.h"
#include "winenv/win32/OsVersionQuery.h"
#include "winenv/win32/Win32Clock.h"
#include "winenv/win32/Win32FileSystem.h"
#include "winenv/win32/Win32Registry.h"
#include "winenv/win32/uVistaFuncs.h"

namespace {

using namespace dupd;
using namespace dupd::support;

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool SamePath(const std::string& a, const std::string& b)
{
    return Lower(a) == Lower(b);
}

// ---------------------------------------------------------------- handle owner

int g_closed = 0;
struct CountingTraits {
    using pointer = int;
    static int Invalid() noexcept { return -1; }
    static bool IsValid(int h) noexcept { return h >= 0; }
    static void Close(int) noexcept { ++g_closed; }
};

TEST(UniqueHandle, ReleasesOnceAcrossMovesResetsAndRelease)
{
    g_closed = 0;
    {
        UniqueHandle<CountingTraits> a(7);
        UniqueHandle<CountingTraits> b(std::move(a));
        EXPECT_FALSE(a);
        EXPECT_EQ(b.get(), 7);
        UniqueHandle<CountingTraits> c(8);
        c = std::move(b);  // closes 8
        EXPECT_EQ(g_closed, 1);
        c.reset(9);  // closes 7
        EXPECT_EQ(g_closed, 2);
        EXPECT_EQ(c.release(), 9);  // not closed
        UniqueHandle<CountingTraits> empty;
        EXPECT_FALSE(empty);
    }
    EXPECT_EQ(g_closed, 2);
}

TEST(UniqueHandle, FileTraitTreatsInvalidAndNullAsEmpty)
{
    EXPECT_FALSE(UniqueFile(INVALID_HANDLE_VALUE));
    EXPECT_FALSE(UniqueFile(nullptr));
    UniqueFile file(::CreateFileA("C:\\no\\such\\dir\\file.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(file);
}

// ---------------------------------------------------------------- registry

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        keyPath_ = "Software\\DupdTest\\" + UniqueName("Adapters");
        ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, keyPath_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    &key_.out(), nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override
    {
        key_.reset();
        ::RegDeleteTreeA(HKEY_CURRENT_USER, keyPath_.c_str());
        ::RegDeleteKeyA(HKEY_CURRENT_USER, keyPath_.c_str());
        ::RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\DupdTest");  // only when empty
    }

    // Stored as UTF-16 bytes, exactly as given (no NUL added).
    void SetWide(const char* name, DWORD type, const std::string& ascii)
    {
        std::wstring wide(ascii.begin(), ascii.end());
        std::wstring wname(name, name + std::strlen(name));
        ASSERT_EQ(::RegSetValueExW(key_.get(), wname.c_str(), 0, type, reinterpret_cast<const BYTE*>(wide.data()),
                                   static_cast<DWORD>(wide.size() * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }

    std::string keyPath_;
    UniqueRegKey key_;
    Win32Registry registry_;
};

TEST_F(RegistryTest, ReadStringByValueType)
{
    const std::string longText(1000, 'L');
    SetWide("Plain", REG_SZ, std::string("C:\\Program Files\\Quellmark") + '\0');
    SetWide("Expand", REG_EXPAND_SZ, std::string("%USERPROFILE%\\x") + '\0');
    SetWide("NoNul", REG_SZ, "abc");
    SetWide("Embedded", REG_SZ, std::string("abc\0def\0", 8));
    SetWide("Long", REG_SZ, longText + '\0');
    SetWide("Empty", REG_SZ, std::string(1, '\0'));
    SetWide("", REG_SZ, std::string("default") + '\0');
    SetWide("Multi", REG_MULTI_SZ, std::string("one\0two\0\0", 9));
    const DWORD number = 42;
    ASSERT_EQ(::RegSetValueExA(key_.get(), "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4), 0);
    const BYTE bytes[] = {'a', 'b', 0};
    ASSERT_EQ(::RegSetValueExA(key_.get(), "Binary", 0, REG_BINARY, bytes, sizeof bytes), 0);

    struct Case {
        const char* name;
        RegReadStatus status;
        std::string text;
    } const cases[] = {
        {"Plain", RegReadStatus::Ok, "C:\\Program Files\\Quellmark"},
        {"Expand", RegReadStatus::Ok, "%USERPROFILE%\\x"},
        {"NoNul", RegReadStatus::Ok, "abc"},
        {"Embedded", RegReadStatus::Ok, "abc"},
        {"Long", RegReadStatus::Ok, longText},
        {"Empty", RegReadStatus::Ok, ""},
        {"", RegReadStatus::Ok, "default"},
        {"Multi", RegReadStatus::NotString, ""},
        {"Number", RegReadStatus::NotString, ""},
        {"Binary", RegReadStatus::NotString, ""},
        {"Missing", RegReadStatus::Missing, ""},
    };
    auto key = registry_.OpenKey(RegRoot::CurrentUser, keyPath_, RegAccess::Read);
    ASSERT_NE(key, nullptr);
    for (const auto& c : cases) {
        const RegString got = key->ReadString(c.name);
        EXPECT_EQ(got.status, c.status) << "value '" << c.name << "'";
        EXPECT_EQ(got.text, c.text) << "value '" << c.name << "'";
    }
}

TEST_F(RegistryTest, OpensExistingKeysOnlyAndNeverCreates)
{
    SetWide("AppPath", REG_SZ, std::string("D:\\Q") + '\0');
    for (RegAccess access : {RegAccess::Read, RegAccess::AllAccess}) {
        auto key = registry_.OpenKey(RegRoot::CurrentUser, keyPath_, access);
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(key->ReadString("AppPath").text, "D:\\Q");
        EXPECT_EQ(registry_.OpenKey(RegRoot::CurrentUser, keyPath_ + "\\Absent", access), nullptr);
    }
    HKEY probe = nullptr;
    EXPECT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, (keyPath_ + "\\Absent").c_str(), 0, KEY_READ, &probe),
              ERROR_FILE_NOT_FOUND);
    EXPECT_NE(registry_.OpenKey(RegRoot::LocalMachine, "SOFTWARE\\Microsoft", RegAccess::Read), nullptr);
}

TEST(SpecialFolders, RealFoldersComeWithoutTrailingBackslash)
{
    Win32Registry registry;
    for (int csidl : {26 /* CSIDL_APPDATA */, 5 /* CSIDL_PERSONAL */}) {
        const std::string path = registry.SpecialFolderPath(csidl);
        ASSERT_FALSE(path.empty()) << "csidl " << csidl;
        EXPECT_NE(path.back(), '\\') << path;
        EXPECT_TRUE(PathIsDirectory(path)) << path;
    }
    Win32FileSystem fs;
    EXPECT_TRUE(SamePath(registry.SpecialFolderPath(CSIDL_WINDOWS), fs.WindowsDirectory()));
}

TEST(SpecialFolders, UnknownAndVirtualFoldersGiveEmpty)
{
    Win32Registry registry;
    EXPECT_EQ(registry.SpecialFolderPath(0x7E), "");  // no such CSIDL
    EXPECT_EQ(registry.SpecialFolderPath(17), "");    // CSIDL_DRIVES has no file-system path
}

// ---------------------------------------------------------------- path queries

TEST(PathQueries, TempPathEndsWithBackslashAndAcceptsDoubledSeparator)
{
    Win32FileSystem fs;
    const std::string temp = fs.TempPath();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), '\\');
    EXPECT_TRUE(PathIsDirectory(temp));

    ScratchDir dir("tmp");
    WriteWholeFile(dir.File("probe.dta"), "x");
    std::string doubled = dir.path();
    doubled.insert(temp.size(), "\\");  // temp\\dupd_...
    EXPECT_TRUE(fs.FileExists(doubled + "\\\\probe.dta")) << doubled;
}

TEST(PathQueries, WindowsDirectoryExists)
{
    Win32FileSystem fs;
    const std::string windows = fs.WindowsDirectory();
    ASSERT_FALSE(windows.empty());
    EXPECT_TRUE(PathIsDirectory(windows));
}

TEST(PathQueries, ShortNameNamesTheSameFile)
{
    Win32FileSystem fs;
    ScratchDir dir("short");
    const std::string longPath = dir.File("Quellmark Database Long Name.dta");
    WriteWholeFile(longPath, "content");

    const std::string shortPath = fs.ShortPathName(longPath);
    ASSERT_FALSE(shortPath.empty());
    const std::string shortLeaf = shortPath.substr(shortPath.find_last_of('\\') + 1);
    EXPECT_LE(shortLeaf.size(), 12u) << shortPath;
    EXPECT_EQ(shortLeaf.find(' '), std::string::npos) << shortPath;
    char back[MAX_PATH + 1] = {};
    ASSERT_GT(::GetLongPathNameA(shortPath.c_str(), back, MAX_PATH), 0u);
    EXPECT_TRUE(SamePath(back, longPath)) << back;

    EXPECT_EQ(fs.ShortPathName(dir.File("missing file.dta")), "");
    EXPECT_EQ(fs.LastError(), static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
}

// The buffer rules behind TempPath, WindowsDirectory and ShortPathName, with calls
// that answer like the API does when the buffer is too small.
TEST(PathQueries, NeverTakesAnUnfilledBuffer)
{
    using win32detail::QueryFixedPath;
    using win32detail::QueryGrowingPath;
    const std::string longPath = "C:\\" + std::string(300, 'p') + "\\";
    std::vector<std::uint32_t> asked;
    const auto systemLike = [&](const std::string& answer) {
        return [&asked, answer](std::uint32_t capacity, char* buffer) -> std::uint32_t {
            asked.push_back(capacity);
            if (answer.size() + 1 > capacity) {
                std::memset(buffer, '?', capacity);  // garbage, not the path
                return static_cast<std::uint32_t>(answer.size() + 1);
            }
            std::memcpy(buffer, answer.c_str(), answer.size() + 1);
            return static_cast<std::uint32_t>(answer.size());
        };
    };

    asked.clear();
    EXPECT_EQ(QueryGrowingPath(systemLike("C:\\TEMP\\"), 260), "C:\\TEMP\\");
    EXPECT_EQ(asked, (std::vector<std::uint32_t>{260}));

    asked.clear();
    EXPECT_EQ(QueryGrowingPath(systemLike(longPath), 260), longPath);
    EXPECT_EQ(asked, (std::vector<std::uint32_t>{260, static_cast<std::uint32_t>(longPath.size() + 1)}));

    asked.clear();
    EXPECT_EQ(QueryFixedPath(systemLike(longPath), 260), "");
    EXPECT_EQ(QueryFixedPath(systemLike(std::string(259, 'a')), 260), std::string(259, 'a'));
    EXPECT_EQ(QueryFixedPath(systemLike(std::string(260, 'a')), 260), "");

    const auto failing = [](std::uint32_t, char* buffer) -> std::uint32_t {
        std::strcpy(buffer, "stale");
        return 0;
    };
    EXPECT_EQ(QueryGrowingPath(failing, 260), "");
    EXPECT_EQ(QueryFixedPath(failing, 260), "");

    std::uint32_t grows = 300;  // the need grows between calls: give up rather than loop
    const auto ever = [&grows](std::uint32_t, char*) -> std::uint32_t { return grows += 10; };
    EXPECT_EQ(QueryGrowingPath(ever, 260), "");
}

// ---------------------------------------------------------------- file operations

class FileSystemTest : public ::testing::Test {
protected:
    ScratchDir dir_{"fs"};
    Win32FileSystem fs_;
};

TEST_F(FileSystemTest, ExistsIsForFilesOnly)
{
    WriteWholeFile(dir_.File("a.dta"), "a");
    EXPECT_TRUE(fs_.FileExists(dir_.File("a.dta")));
    EXPECT_TRUE(fs_.FileExists(dir_.File("A.DTA")));
    EXPECT_FALSE(fs_.FileExists(dir_.path()));
    EXPECT_FALSE(fs_.FileExists(dir_.File("b.dta")));
}

TEST_F(FileSystemTest, MoveAndDelete)
{
    WriteWholeFile(dir_.File("from.dta"), "payload");
    WriteWholeFile(dir_.File("occupied.dta"), "other");

    EXPECT_FALSE(fs_.Move(dir_.File("from.dta"), dir_.File("occupied.dta")));
    EXPECT_EQ(fs_.LastError(), static_cast<std::uint32_t>(ERROR_ALREADY_EXISTS));
    ASSERT_TRUE(fs_.Move(dir_.File("from.dta"), dir_.File("to.dta")));
    EXPECT_FALSE(PathIsFile(dir_.File("from.dta")));
    EXPECT_EQ(ReadWholeFile(dir_.File("to.dta")), "payload");

    EXPECT_TRUE(fs_.Delete(dir_.File("to.dta")));
    EXPECT_FALSE(PathIsFile(dir_.File("to.dta")));
    EXPECT_FALSE(fs_.Delete(dir_.File("to.dta")));
    EXPECT_EQ(fs_.LastError(), static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
}

TEST_F(FileSystemTest, LastErrorSurvivesLaterCalls)
{
    EXPECT_FALSE(fs_.Delete(dir_.File("none.dta")));
    ::SetLastError(0);
    WriteWholeFile(dir_.File("ok.dta"), "x");
    EXPECT_TRUE(fs_.FileExists(dir_.File("ok.dta")));
    EXPECT_EQ(fs_.LastError(), static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
}

TEST_F(FileSystemTest, ReadOnlyFileResistsUntilArchiveOnly)
{
    const std::string path = dir_.File("ro.dta");
    WriteWholeFile(path, "old");
    ASSERT_TRUE(::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(fs_.IsReadOnly(path));
    EXPECT_TRUE(fs_.Facts(path).readOnly);
    EXPECT_EQ(fs_.OpenWrite(path, OpenMode::Append), nullptr);
    EXPECT_EQ(fs_.OpenWrite(path, OpenMode::CreateTruncate), nullptr);
    EXPECT_EQ(fs_.LastError(), static_cast<std::uint32_t>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(ReadWholeFile(path), "old");
    EXPECT_FALSE(fs_.Delete(path));
    EXPECT_EQ(fs_.LastError(), static_cast<std::uint32_t>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(PathIsFile(path));

    ASSERT_TRUE(fs_.SetArchiveOnly(path));
    EXPECT_FALSE(fs_.IsReadOnly(path));
    EXPECT_FALSE(fs_.Facts(path).readOnly);
    EXPECT_EQ(fs_.Facts(path).size, 3u);
    EXPECT_TRUE(fs_.Delete(path));
}

// What a path names, however it is spelt: a file, a folder, nothing, a file with
// a second name, and a folder reached through a link.
TEST_F(FileSystemTest, FactsTellWhatAPathNames)
{
    ASSERT_EQ(std::toupper(static_cast<unsigned char>(dir_.path()[0])), 'C');
    const std::string file = dir_.File("Qlm_list.dta");
    WriteWholeFile(file, "12345");
    const FileFacts f = fs_.Facts(file);
    EXPECT_TRUE(f.exists);
    EXPECT_FALSE(f.folder);
    EXPECT_FALSE(f.reparsePoint);
    EXPECT_TRUE(f.local);
    EXPECT_FALSE(f.readOnly);
    EXPECT_EQ(f.links, 1u);
    EXPECT_EQ(f.size, 5u);

    const std::string folder = dir_.File("Quellmark Data");
    ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
    const FileFacts d = fs_.Facts(folder);
    EXPECT_TRUE(d.exists);
    EXPECT_TRUE(d.folder);
    EXPECT_FALSE(d.reparsePoint);
    EXPECT_TRUE(d.local);
    EXPECT_EQ(d.volume, f.volume);
    EXPECT_NE(d.index, f.index);
    for (const std::string& spelling : {Lower(folder) + "\\", dir_.path() + "\\.\\QUELLMARK DATA",
                                        folder + "\\..\\Quellmark Data", fs_.ShortPathName(folder)}) {
        const FileFacts same = fs_.Facts(spelling);
        EXPECT_TRUE(same.exists && same.folder) << spelling;
        EXPECT_EQ(same.volume, d.volume) << spelling;
        EXPECT_EQ(same.index, d.index) << spelling;
    }

    for (const std::string& missing : {dir_.File("missing.dta"), dir_.File("missing\\below.dta"), std::string()}) {
        const FileFacts none = fs_.Facts(missing);
        EXPECT_FALSE(none.exists) << missing;
        EXPECT_FALSE(none.folder) << missing;
    }

    const std::string second = dir_.File("second name.dta");
    ASSERT_TRUE(::CreateHardLinkA(second.c_str(), file.c_str(), nullptr)) << ::GetLastError();
    for (const std::string& name : {file, second}) {
        const FileFacts linked = fs_.Facts(name);
        EXPECT_EQ(linked.links, 2u) << name;
        EXPECT_EQ(linked.index, f.index) << name;
        EXPECT_EQ(linked.size, 5u) << name;
    }

    // The entry is the link; the rest is of the folder it leads to.
    const std::string link = dir_.File("Dbinst");
    ASSERT_TRUE(MakeUnixSymlink(link, folder));
    const FileFacts l = fs_.Facts(link);
    EXPECT_TRUE(l.exists);
    EXPECT_TRUE(l.folder);
    EXPECT_TRUE(l.reparsePoint);
    EXPECT_TRUE(l.local);
    EXPECT_EQ(l.volume, d.volume);
    EXPECT_EQ(l.index, d.index);
    EXPECT_FALSE(fs_.Facts(folder).reparsePoint) << "what the link leads to is a plain folder";

    // The cheaper question about a staged file answers as the facts do.
    for (const std::string& path : {file, second, Lower(file), folder, link, dir_.File("missing.dta"), std::string()}) {
        const FileFacts facts = fs_.Facts(path);
        EXPECT_EQ(fs_.IsPlainFile(path), facts.exists && !facts.folder && !facts.reparsePoint) << path;
    }
    EXPECT_TRUE(RemoveFromUnix(link, dir_.path()));
}

// Where anything stands under the name, a file of its own or a link to another
// one, CreateNew opens nothing and changes nothing; a free name it creates.
TEST_F(FileSystemTest, CreateNewNeverOpensWhatStandsThere)
{
    const std::string standing = dir_.File("UPDLOG.TMP");
    WriteWholeFile(standing, "standing");
    EXPECT_EQ(fs_.OpenWrite(standing, OpenMode::CreateNew), nullptr);
    EXPECT_EQ(fs_.LastError(), static_cast<std::uint32_t>(ERROR_FILE_EXISTS));
    EXPECT_EQ(ReadWholeFile(standing), "standing");

    const std::string other = dir_.File("win.ini");
    const std::string link = dir_.File("linked.tmp");
    WriteWholeFile(other, "[windows]\r\n");
    ASSERT_TRUE(MakeUnixSymlink(link, other));
    // Wine gives a link to a file no reparse attribute: where it leads tells it.
    EXPECT_TRUE(fs_.Facts(link).reparsePoint);
    EXPECT_FALSE(fs_.Facts(other).reparsePoint);
    EXPECT_FALSE(fs_.IsPlainFile(link));
    EXPECT_TRUE(fs_.IsPlainFile(other));
    EXPECT_EQ(fs_.OpenWrite(link, OpenMode::CreateNew), nullptr);
    EXPECT_EQ(ReadWholeFile(other), "[windows]\r\n");
    EXPECT_TRUE(RemoveFromUnix(link, dir_.path()));

    const std::string fresh = dir_.File("fresh.tmp");
    auto out = fs_.OpenWrite(fresh, OpenMode::CreateNew);
    ASSERT_NE(out, nullptr);
    ASSERT_TRUE(out->Write("new", 3));
    EXPECT_TRUE(out->Close());
    EXPECT_EQ(ReadWholeFile(fresh), "new");
}

TEST_F(FileSystemTest, RemoveDirectoryOnlyWhenEmpty)
{
    const std::string sub = dir_.File("sub");
    ASSERT_TRUE(::CreateDirectoryA(sub.c_str(), nullptr));
    WriteWholeFile(sub + "\\f.dta", "f");
    EXPECT_FALSE(fs_.RemoveFolder(sub));
    ASSERT_TRUE(::DeleteFileA((sub + "\\f.dta").c_str()));
    EXPECT_TRUE(fs_.RemoveFolder(sub));
    EXPECT_FALSE(PathIsDirectory(sub));
}

TEST_F(FileSystemTest, StreamsRoundTripBytesExactly)
{
    std::string data("line one\r\nline two\nno end\0\x1A tail", 33);
    for (int i = 0; i < 20000; ++i) data.push_back(static_cast<char>(i * 7));
    const std::string path = dir_.File("UPDLOG.TMP");
    WriteWholeFile(path, "previous content that must go away entirely");

    auto out = fs_.OpenWrite(path, OpenMode::CreateTruncate);
    ASSERT_NE(out, nullptr);
    ASSERT_TRUE(out->Write(data.data(), 10));
    ASSERT_TRUE(out->Write(data.data() + 10, data.size() - 10));
    EXPECT_TRUE(out->Close());
    EXPECT_EQ(ReadWholeFile(path), data);
    EXPECT_EQ(fs_.Facts(path).size, data.size());

    auto in = fs_.OpenRead(path);
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(in->Size(), std::optional<std::uint64_t>(data.size()));
    std::string back;
    char chunk[333];
    std::size_t got = 0;
    while (in->Read(chunk, sizeof chunk, got) && got > 0) back.append(chunk, got);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(back, data);
}

TEST_F(FileSystemTest, AppendAddsToExistingFilesOnly)
{
    const std::string path = dir_.File("UPDLOG.TXT");
    WriteWholeFile(path, "first\r\n");
    auto out = fs_.OpenWrite(path, OpenMode::Append);
    ASSERT_NE(out, nullptr);
    ASSERT_TRUE(out->Write("second\r\n", 8));
    ASSERT_TRUE(out->Close());
    EXPECT_EQ(ReadWholeFile(path), "first\r\nsecond\r\n");

    EXPECT_EQ(fs_.OpenWrite(dir_.File("absent.txt"), OpenMode::Append), nullptr);
    EXPECT_FALSE(PathIsFile(dir_.File("absent.txt")));
    EXPECT_EQ(fs_.OpenRead(dir_.File("absent.txt")), nullptr);
    EXPECT_EQ(fs_.LastError(), static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(fs_.OpenWrite(dir_.File("no\\such\\folder.txt"), OpenMode::CreateTruncate), nullptr);
}

TEST_F(FileSystemTest, ReplaceTakesTheNameInOneStepOrChangesNothing)
{
    const std::string target = dir_.File("Qlm_list.dta");
    WriteWholeFile(target, "old");
    WriteWholeFile(dir_.File("a.dupd-new"), "new");
    ASSERT_TRUE(fs_.Replace(dir_.File("a.dupd-new"), target));
    EXPECT_EQ(ReadWholeFile(target), "new");
    EXPECT_FALSE(PathIsFile(dir_.File("a.dupd-new")));

    WriteWholeFile(dir_.File("b.dupd-new"), "created");
    ASSERT_TRUE(fs_.Replace(dir_.File("b.dupd-new"), dir_.File("epack.dta")));
    EXPECT_EQ(ReadWholeFile(dir_.File("epack.dta")), "created");
    EXPECT_FALSE(PathIsFile(dir_.File("b.dupd-new")));

    WriteWholeFile(dir_.File("c.dupd-new"), "refused");
    ASSERT_TRUE(::SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(fs_.Replace(dir_.File("c.dupd-new"), target));
    EXPECT_EQ(fs_.LastError(), static_cast<std::uint32_t>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(ReadWholeFile(target), "new");
    EXPECT_EQ(ReadWholeFile(dir_.File("c.dupd-new")), "refused");
    ::SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FileSystemTest, FindFilesListsMatchingFilesAndFullPathResolves)
{
    WriteWholeFile(dir_.File("Qlm_list.dta"), "a");
    WriteWholeFile(dir_.File("Qlm_list.dta.dupd-new"), "b");
    WriteWholeFile(dir_.File("epack.dta.dupd-part"), "c");
    ASSERT_TRUE(::CreateDirectoryA(dir_.File("folder.dupd-old").c_str(), nullptr));

    auto found = fs_.FindFiles(dir_.path(), "*.dupd-*");
    ASSERT_TRUE(found.has_value());
    std::sort(found->begin(), found->end());
    EXPECT_EQ(*found, (std::vector<std::string>{"Qlm_list.dta.dupd-new", "epack.dta.dupd-part"}));
    EXPECT_EQ(fs_.FindFiles(dir_.path() + "\\", "qlm_LIST.dta"), std::vector<std::string>{"Qlm_list.dta"});
    const auto none = fs_.FindFiles(dir_.path(), "*.dupd-old");
    ASSERT_TRUE(none.has_value()) << "no match is an empty list";
    EXPECT_TRUE(none->empty());
    EXPECT_FALSE(fs_.FindFiles(dir_.File("missing"), "*").has_value());

    EXPECT_TRUE(SamePath(fs_.FullPath(dir_.path() + "\\folder.dupd-old\\..\\.\\Qlm_list.dta"),
                         dir_.File("Qlm_list.dta")));
    char current[MAX_PATH + 1] = {};
    ASSERT_GT(::GetCurrentDirectoryA(MAX_PATH, current), 0u);
    std::string base = current;
    if (base.back() != '\\') base += '\\';
    EXPECT_TRUE(SamePath(fs_.FullPath("sub\\Qlm_list.dta"), base + "sub\\Qlm_list.dta"));
    EXPECT_EQ(fs_.FullPath(""), "");
}

TEST_F(FileSystemTest, ErrorTextComesTrimmed)
{
    for (std::uint32_t code : {5u, 2u, 32u}) {
        const std::string text = fs_.ErrorText(code);
        ASSERT_FALSE(text.empty()) << code;
        EXPECT_TRUE(std::string("\r\n \t").find(text.back()) == std::string::npos) << code << ": [" << text << "]";
    }
    EXPECT_NE(fs_.ErrorText(5), fs_.ErrorText(2));
    EXPECT_EQ(fs_.ErrorText(0x2FFFFFF0u), "");
}

// Restores the system's pending-rename list as it was, so that nothing scheduled by
// a test is carried out when the prefix next starts.
class PendingRenamesRestorer {
public:
    ~PendingRenamesRestorer()
    {
        if (saved_) WritePendingValue(*saved_);
    }
    bool ok() const { return saved_.has_value(); }

private:
    std::optional<PendingValue> saved_ = ReadPendingValue();
};

TEST_F(FileSystemTest, FileHeldByAnotherProcessIsReplacedAtRestart)
{
    const std::string target = dir_.File("Qlm_list.dta");
    const std::string staged = dir_.File("staged Qlm_list.dta");
    WriteWholeFile(target, "installed");
    WriteWholeFile(staged, "new");

    PendingRenamesRestorer restorer;
    ASSERT_TRUE(restorer.ok());
    const std::size_t before = fs_.PendingRenames().value_or(std::vector<PendingRename>{}).size();
    const std::size_t storedBefore = support::PendingRenames().size();
    {
        HeldByAnotherProcess held(target);
        ASSERT_TRUE(held.Held());

        EXPECT_TRUE(fs_.FileExists(target));
        EXPECT_NE(fs_.OpenRead(target), nullptr);  // the holder shares reading
        EXPECT_TRUE(fs_.Facts(target).exists) << "looking at it needs no access that the holder denies";
        fs_.SetArchiveOnly(target);  // as the updater does first; its outcome does not matter
        EXPECT_FALSE(fs_.Delete(target));
        EXPECT_EQ(fs_.LastError(), static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
        EXPECT_FALSE(fs_.Move(target, dir_.File("aside.dta")));
        EXPECT_EQ(fs_.LastError(), static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
        // Replacing it in one step is refused like its deletion, and changes nothing.
        EXPECT_FALSE(fs_.Replace(staged, target));
        EXPECT_TRUE(fs_.LastError() == ERROR_ACCESS_DENIED || fs_.LastError() == ERROR_SHARING_VIOLATION)
            << fs_.LastError();
        EXPECT_EQ(ReadWholeFile(target), "installed");
        EXPECT_EQ(ReadWholeFile(staged), "new");

        ASSERT_TRUE(fs_.ScheduleReplaceAtRestart(staged, target));
    }
    const auto pending = fs_.PendingRenames().value_or(std::vector<PendingRename>{});
    ASSERT_EQ(pending.size(), before + 1);
    EXPECT_TRUE(SamePath(pending[before].from, staged)) << pending[before].from;
    EXPECT_TRUE(SamePath(pending[before].to, target)) << pending[before].to;
    EXPECT_TRUE(pending[before].replaceExisting);
    // The value itself, read without the adapter, holds the same entry.
    const auto stored = support::PendingRenames();
    ASSERT_EQ(stored.size(), storedBefore + 1);
    EXPECT_TRUE(SamePath(stored.back().from, staged)) << stored.back().from;
    EXPECT_TRUE(SamePath(stored.back().to, target)) << stored.back().to;
    EXPECT_TRUE(stored.back().replaceExisting);
    // Nothing happens before the restart.
    EXPECT_EQ(ReadWholeFile(target), "installed");
    EXPECT_EQ(ReadWholeFile(staged), "new");
}

// A folder and a file named outside the ANSI code page (1252 here) are reached,
// listed and scheduled under their own names: the adapter speaks UTF-16 to the
// system and UTF-8 to the program.
TEST_F(FileSystemTest, NamesOutsideTheCodePageAreReachedUnderTheirOwnNames)
{
    const std::string folder = dir_.File("\xd0\x98\xd0\xb2\xd0\xb0\xd0\xbd \xe7\x8e\x8b\xe4\xbc\x9f");
    ASSERT_TRUE(::CreateDirectoryW(Wide(folder).c_str(), nullptr));
    const std::string name = "\xe7\x8e\x8b.dta";
    const std::string file = folder + "\\" + name;
    WriteWholeFile(file, "installed");

    EXPECT_TRUE(fs_.FileExists(file));
    EXPECT_TRUE(fs_.IsPlainFile(file)) << "no link on the way";
    const FileFacts facts = fs_.Facts(folder);
    EXPECT_TRUE(facts.exists && facts.folder && facts.local && !facts.reparsePoint);
    EXPECT_FALSE(fs_.Facts(file).reparsePoint);
    EXPECT_EQ(fs_.FullPath(file), file);
    EXPECT_EQ(fs_.FindFiles(folder, "*.dta"), std::optional<std::vector<std::string>>({name}));
    {
        // The temporary folder of a user whose profile is named so.
        wchar_t saved[MAX_PATH + 1] = {};
        const DWORD had = ::GetEnvironmentVariableW(L"TMP", saved, MAX_PATH);
        ASSERT_TRUE(::SetEnvironmentVariableW(L"TMP", Wide(folder).c_str()));
        EXPECT_EQ(fs_.TempPath(), folder + "\\");
        ::SetEnvironmentVariableW(L"TMP", had > 0 && had < MAX_PATH ? saved : nullptr);
    }
    auto out = fs_.OpenWrite(folder + "\\new.dta", OpenMode::CreateNew);
    ASSERT_NE(out, nullptr);
    ASSERT_TRUE(out->Write("new", 3) && out->Close());
    EXPECT_EQ(ReadWholeFile(folder + "\\new.dta"), "new");

    PendingRenamesRestorer restorer;
    ASSERT_TRUE(restorer.ok());
    const std::size_t before = fs_.PendingRenames().value_or(std::vector<PendingRename>{}).size();
    ASSERT_TRUE(fs_.ScheduleReplaceAtRestart(folder + "\\new.dta", file));
    const auto pending = fs_.PendingRenames().value_or(std::vector<PendingRename>{});
    ASSERT_EQ(pending.size(), before + 1);
    EXPECT_EQ(pending[before].from, folder + "\\new.dta");
    EXPECT_EQ(pending[before].to, file);
    const auto stored = support::PendingRenamesUnder(folder);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].to, file);

    EXPECT_TRUE(fs_.Move(file, folder + "\\\xd0\xb4.dta"));
    EXPECT_TRUE(fs_.Delete(folder + "\\\xd0\xb4.dta"));
    EXPECT_FALSE(PathIsFile(folder + "\\\xd0\xb4.dta"));
}

// ---------------------------------------------------------------- clock and version

std::string ExpectedStamp(const SYSTEMTIME& st)
{
    char date[128] = {};
    char time[128] = {};
    ::GetDateFormatA(LOCALE_SYSTEM_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, sizeof date);
    ::GetTimeFormatA(LOCALE_SYSTEM_DEFAULT, 0, &st, nullptr, time, sizeof time);
    return std::string(date) + " " + time;
}

TEST(Clock, StampIsSystemShortDateBlankLongTime)
{
    Win32Clock clock;
    EXPECT_FALSE(clock.ShortDatePattern().empty());
    EXPECT_FALSE(clock.LongTimePattern().empty());
    SYSTEMTIME before{};
    SYSTEMTIME after{};
    ::GetLocalTime(&before);
    const std::string stamp = clock.LogTimestamp();
    ::GetLocalTime(&after);
    EXPECT_TRUE(stamp == ExpectedStamp(before) || stamp == ExpectedStamp(after)) << stamp;
    EXPECT_NE(stamp.find(std::to_string(before.wYear)), std::string::npos) << stamp;
}

TEST(OsVersion, AgreesWithTheOlderVersionCall)
{
    const OsVersionInfo v = QueryOsVersion();
    ASSERT_TRUE(v.queried);
    const DWORD packed = ::GetVersion();
    EXPECT_EQ(v.majorVersion, LOBYTE(LOWORD(packed)));
    EXPECT_EQ(v.minorVersion, HIBYTE(LOWORD(packed)));
    EXPECT_EQ(v.platformId, (packed & 0x80000000u) ? 1u : 2u);
}

// ---------------------------------------------------------------- simple task dialog

struct DialogCase {
    const char* name;
    DWORD buttons;
    int press;
    int expected;
};

class SimpleTaskDialogTest : public ::testing::TestWithParam<DialogCase> {};

TEST_P(SimpleTaskDialogTest, ShowsTextsAndMapsThePressedButton)
{
    ASSERT_TRUE(IsVistaOrLater(QueryOsVersion())) << "needs the Windows 7 setting";
    const DialogCase& c = GetParam();
    const std::string title = UniqueName(std::string("Dupd task dialog ") + c.name + " ");
    const std::string content = "Some files were in use by Windows. (" + std::string(c.name) + ")";

    DialogPresser presser(title, c.press);
    const int result = SimpleTaskDialog(nullptr, title, "Reboot Required", content, c.buttons, 81, MB_ICONINFORMATION);
    const DialogSnapshot& seen = presser.Result();
    ASSERT_TRUE(seen.found);
    EXPECT_TRUE(seen.HasChildText(content));
    EXPECT_TRUE(seen.HasChildText("Reboot Required"));
    EXPECT_TRUE(seen.pressed);
    EXPECT_TRUE(seen.closedAfterPress);
    EXPECT_EQ(result, c.expected);
}

INSTANTIATE_TEST_SUITE_P(CommonButtons, SimpleTaskDialogTest,
                         ::testing::Values(DialogCase{"Ok", 0x01, IDOK, 1},
                                           DialogCase{"Close", 0x20, IDCLOSE, 3},
                                           DialogCase{"Cancel", 0x01 | 0x08, IDCANCEL, 2},
                                           DialogCase{"No", 0x02 | 0x04, IDNO, 7},
                                           DialogCase{"Retry", 0x10 | 0x08, IDRETRY, 4}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SimpleTaskDialog, TextsAreCutAt1024Characters)
{
    const std::string title = UniqueName("Dupd long text ");
    const std::string content = std::string(1000, 'a') + std::string(500, 'b');
    DialogPresser presser(title, IDOK);
    EXPECT_EQ(SimpleTaskDialog(nullptr, title, "Unable to locate installation directory", content, 1, 98, MB_ICONERROR),
              1);
    const DialogSnapshot& seen = presser.Result();
    ASSERT_TRUE(seen.found);
    EXPECT_TRUE(seen.HasChildText(content.substr(0, kSimpleTaskDialogTextLimit)));
    EXPECT_FALSE(seen.HasChildText(content));
}

TEST(SimpleTaskDialog, BeforeVistaShowsAMessageBoxWithoutInstruction)
{
    const OsVersionInfo xp{true, 5, 1, 2};
    struct Case {
        UINT flags;
        int press;
    } const cases[] = {{MB_OK | MB_ICONINFORMATION, IDOK}, {MB_YESNO | MB_ICONQUESTION, IDNO}};
    for (const auto& c : cases) {
        const std::string title = UniqueName("Dupd message box ");
        DialogPresser presser(title, c.press);
        const int result = SimpleTaskDialog(xp, nullptr, title, "Main instruction", "The content text", 1, 81, c.flags);
        const DialogSnapshot& seen = presser.Result();
        ASSERT_TRUE(seen.found);
        EXPECT_EQ(seen.className, "#32770");
        EXPECT_TRUE(seen.HasChildText("The content text"));
        EXPECT_FALSE(seen.HasChildText("Main instruction"));
        EXPECT_EQ(result, c.press);
    }
}

}  // namespace
