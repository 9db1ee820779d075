#include "Scenario.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include <gtest/gtest.h>

#include "dbversion/DbVersion.h"

namespace e2e {

namespace {

constexpr char kUserShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr char kProductKey[] = "SOFTWARE\\Ostravane\\Quellmark";
constexpr char kDupdAppDefaults[] = "Software\\Wine\\AppDefaults\\dupd.exe";
constexpr char kDupdX11Driver[] = "Software\\Wine\\AppDefaults\\dupd.exe\\X11 Driver";

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(tolower(c)); });
    return s;
}

std::string WithoutTrailingBackslash(std::string s)
{
    while (s.size() > 3 && s.back() == '\\') s.pop_back();
    return s;
}

void SetUserString(const char* keyPath, const char* name, DWORD type, const std::string& value)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, keyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        ADD_FAILURE() << "cannot open HKCU\\" << keyPath;
        return;
    }
    const std::wstring text = Wide(value);
    RegSetValueExW(key, Wide(name).c_str(), 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

struct SavedValue {
    bool present = false;
    DWORD type = REG_SZ;
    std::string data;
};

SavedValue GetUserString(const char* keyPath, const char* name)
{
    SavedValue v;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return v;
    DWORD size = 0;
    const std::wstring wideName = Wide(name);
    if (RegQueryValueExW(key, wideName.c_str(), nullptr, &v.type, nullptr, &size) == ERROR_SUCCESS) {
        std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
        if (RegQueryValueExW(key, wideName.c_str(), nullptr, &v.type, reinterpret_cast<BYTE*>(&data[0]), &size) ==
            ERROR_SUCCESS) {
            v.present = true;
            v.data = Utf8(data.c_str());
        }
    }
    RegCloseKey(key);
    return v;
}

struct ShellFolderSetting {
    const char* key;
    const char* name;
    const char* wineDefault;  // what a fresh prefix holds
    DWORD defaultType;
};

const ShellFolderSetting kRedirected[] = {
    {kUserShellFolders, "AppData", "%USERPROFILE%\\AppData\\Roaming", REG_EXPAND_SZ},
    {kUserShellFolders, "Personal", "%USERPROFILE%\\Documents", REG_EXPAND_SZ},
};

std::vector<SavedValue>& SavedShellFolders()
{
    static std::vector<SavedValue> saved;
    return saved;
}

void RestoreShellFolders()
{
    auto& saved = SavedShellFolders();
    for (std::size_t i = 0; i < saved.size(); ++i) {
        const auto& s = kRedirected[i];
        // A run that died with a scenario's folders in place left them as "saved".
        if (saved[i].present && Lower(saved[i].data).rfind("c:\\e2e\\", 0) != 0)
            SetUserString(s.key, s.name, saved[i].type, saved[i].data);
        else
            SetUserString(s.key, s.name, s.defaultType, s.wineDefault);
    }
    // The shell recomputes these from the settings above when next asked.
    ShellFolderPath(CSIDL_APPDATA);
    ShellFolderPath(CSIDL_PERSONAL);
}

std::string Scramble(const std::string& plain)
{
    const std::string s = dupd::EnCrypt(plain);
    // A line end or end-of-text byte inside would cut the stored line.
    if (s.find_first_of(std::string("\r\n\x1a", 3)) != std::string::npos)
        ADD_FAILURE() << "the scrambled form of \"" << plain << "\" holds a line-end byte";
    return s;
}

}  // namespace

// ---------------------------------------------------------------- files

std::optional<std::string> ReadFileBytes(const std::string& path)
{
    try {
        return ReadWholeFile(path);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    try {
        WriteWholeFile(path, bytes);
    } catch (const std::exception& e) {
        ADD_FAILURE() << e.what();
    }
}

void MakeDirs(const std::string& path)
{
    for (std::size_t pos = path.find('\\', 3); ; pos = path.find('\\', pos + 1)) {
        const std::string part = path.substr(0, pos);
        if (!part.empty() && !PathIsDirectory(part) && !CreateDirectoryW(Wide(part).c_str(), nullptr) &&
            !PathIsDirectory(part))
            ADD_FAILURE() << "cannot create " << part;
        if (pos == std::string::npos) break;
    }
}

void RemoveTree(const std::string& path)
{
    if (!dupd::support::RemoveTree(path)) ADD_FAILURE() << "cannot delete everything below " << path;
}

std::vector<std::string> FilesIn(const std::string& dir)
{
    std::vector<std::string> out;
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW(Wide(dir + "\\*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return out;
    do {
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) out.push_back(Lower(Utf8(fd.cFileName)));
    } while (FindNextFileW(find, &fd));
    FindClose(find);
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<std::pair<std::string, std::string>> FolderSnapshot(const std::string& dir)
{
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& n : FilesIn(dir)) out.emplace_back(n, ReadFileBytes(dir + "\\" + n).value_or("?"));
    return out;
}

std::vector<std::string> OwnFilesIn(const std::string& dir)
{
    // Listed by the mark alone: cheap enough to be polled while a run places files.
    std::vector<std::string> out;
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW(Wide(dir + "\\*.dupd-*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return out;
    do {
        const std::string name = Lower(Utf8(fd.cFileName));
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && name.find(".dupd-") != std::string::npos)
            out.push_back(name);
    } while (FindNextFileW(find, &fd));
    FindClose(find);
    std::sort(out.begin(), out.end());
    return out;
}

std::string ShortPath(const std::string& path)
{
    wchar_t buf[MAX_PATH] = {};
    const DWORD n = GetShortPathNameW(Wide(path).c_str(), buf, MAX_PATH);
    return n > 0 && n < MAX_PATH ? Utf8(buf) : std::string();
}

std::vector<std::string> CrLfLines(const std::string& text, bool* wellFormed)
{
    std::vector<std::string> lines;
    bool ok = true;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t lf = text.find('\n', pos);
        if (lf == std::string::npos) {
            lines.push_back(text.substr(pos));
            ok = false;
            break;
        }
        if (lf == pos || text[lf - 1] != '\r') {
            ok = false;
            lines.push_back(text.substr(pos, lf - pos));
        } else {
            lines.push_back(text.substr(pos, lf - 1 - pos));
        }
        pos = lf + 1;
    }
    if (wellFormed) *wellFormed = ok;
    return lines;
}

std::vector<std::string> TextLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string cur;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
            lines.push_back(cur);
            cur.clear();
        } else if (text[i] == '\n') {
            lines.push_back(cur);
            cur.clear();
        } else {
            cur += text[i];
        }
    }
    lines.push_back(cur);
    return lines;
}

// ---------------------------------------------------------------- the system

std::string ShellFolderPath(int csidl)
{
    // The same two calls the updater makes, so that the paths match to the byte.
    LPITEMIDLIST pidl = nullptr;
    if (SHGetSpecialFolderLocation(nullptr, csidl, &pidl) != S_OK) return {};
    wchar_t buf[MAX_PATH] = {};
    const bool ok = SHGetPathFromIDListW(pidl, buf) != FALSE;
    CoTaskMemFree(pidl);
    return ok ? Utf8(buf) : std::string();
}

std::string WindowsDir()
{
    char buf[MAX_PATH] = {};
    GetWindowsDirectoryA(buf, sizeof buf);
    return buf;
}

std::string BesideMe(const std::string& name)
{
    const std::string self = ThisExecutable();
    return self.substr(0, self.find_last_of('\\') + 1) + name;
}

std::string DupdExe() { return BesideMe("dupd.exe"); }

std::string ScreenshotDir()
{
    const std::string buildDir = BesideMe("");  // with its closing backslash
    const std::size_t cut = buildDir.find_last_of('\\', buildDir.size() - 2);
    const std::string dir = buildDir.substr(0, cut + 1) + "screenshots";
    MakeDirs(dir);
    return dir;
}

void SetDupdWindowsVersion(const char* version)
{
    if (version == nullptr) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kDupdAppDefaults, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, "Version");
            RegCloseKey(key);
        }
        return;
    }
    SetUserString(kDupdAppDefaults, "Version", REG_SZ, version);
}

EnvironmentGuard::EnvironmentGuard()
{
    auto& saved = SavedShellFolders();
    saved.clear();
    for (const auto& s : kRedirected) saved.push_back(GetUserString(s.key, s.name));
    // Xvfb runs no window manager, and Wine waits two seconds for one whenever a
    // window that it lets a manager handle is hidden; dupd.exe hides its
    // application window at every start.
    SetUserString(kDupdX11Driver, "Managed", REG_SZ, "N");
}

EnvironmentGuard::~EnvironmentGuard()
{
    RestoreShellFolders();
    SetDupdWindowsVersion(nullptr);
    RegDeleteKeyA(HKEY_CURRENT_USER, kDupdX11Driver);
    RegDeleteKeyA(HKEY_CURRENT_USER, kDupdAppDefaults);
}

// ---------------------------------------------------------------- sample contents

std::string ReflistWithVersion(const std::string& version)
{
    return Scramble("Q::" + version + "||Quellmark reference list") + "\r\n" +
           Scramble("Qreference entries follow") + "\r\n";
}

std::string ExtraWithExpiry(const std::string& expiry)
{
    return Scramble(expiry) + "\r\n" + Scramble("Xextra signatures") + "\r\n";
}

std::string StagedContent(const std::string& name)
{
    if (Lower(name) == "reflist.dta") return ReflistWithVersion("6935") + "new reference list of update 6935\r\n";
    return "new " + name + " of update 6935\r\n";
}

std::string InstalledContent(const std::string& name)
{
    if (Lower(name) == "reflist.dta") return ReflistWithVersion("6934") + "old reference list of 6934\r\n";
    return "old " + name + " of 6934\r\n";
}

// ---------------------------------------------------------------- a scenario

Scenario::Scenario(const std::string& name, bool fresh, const Layout& layout)
{
    root = "C:\\e2e\\" + name;
    install = root + "\\" + layout.installFolder;
    const std::string profile = layout.profile.empty() ? root : root + "\\" + layout.profile;
    appData = profile + (layout.profile.empty() ? "\\AppData" : "\\AppData\\Roaming");
    documents = profile + "\\Documents";

    if (fresh) {
        RemoveTree(root);
        if (!DropPendingRenamesUnder(root)) ADD_FAILURE() << "cannot drop what is scheduled below " << root;
        SetDupdWindowsVersion(nullptr);
        MakeDirs(install);
        MakeDirs(appData);
        MakeDirs(documents);
        // The shell answers from the per-user settings, and the updater falls back
        // to the recorded "Shell Folders" values: both point at the scenario.
        SetUserString(kUserShellFolders, "AppData", REG_SZ, appData);
        SetUserString(kUserShellFolders, "Personal", REG_SZ, documents);
        SetUserString(kShellFolders, "AppData", REG_SZ, appData);
        SetUserString(kShellFolders, "Personal", REG_SZ, documents);
    }

    // The paths as the updater builds them: the shell's answer (Wine gives the
    // documents folder with a trailing backslash) plus the sub-folder.
    const std::string appDataShell = fresh ? ShellFolderPath(CSIDL_APPDATA) : appData;
    const std::string documentsShell = fresh ? ShellFolderPath(CSIDL_PERSONAL) : documents;
    if (fresh && Lower(WithoutTrailingBackslash(appDataShell)) != Lower(appData))
        ADD_FAILURE() << "the shell gives application data as \"" << appDataShell << "\", not " << appData;
    if (fresh && Lower(WithoutTrailingBackslash(documentsShell)) != Lower(documents))
        ADD_FAILURE() << "the shell gives documents as \"" << documentsShell << "\", not " << documents;
    staging = appDataShell + "\\Ostravane\\Dbinst";
    logDir = documentsShell + "\\Ostravane\\Quellmark Logfiles";
    if (fresh) MakeDirs(staging);
}

void Scenario::RegisterProduct() { RegisterProduct(install); }

void Scenario::RegisterProduct(const std::string& appPath)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        ADD_FAILURE() << "cannot create the product key";
        return;
    }
    const std::wstring text = Wide(appPath);
    RegSetValueExW(key, L"AppPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

void Scenario::RegisterProductDword(DWORD value)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        ADD_FAILURE() << "cannot create the product key";
        return;
    }
    RegSetValueExA(key, "AppPath", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

void Scenario::RemoveProductKey()
{
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kProductKey);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegCloseKey(key);
        ADD_FAILURE() << "the product key is still there";
    }
}

void Scenario::Stage(const std::string& name, const std::string& bytes) { WriteFileBytes(Staged(name), bytes); }

void Scenario::Stage(const std::vector<std::string>& names)
{
    for (const auto& n : names) Stage(n, StagedContent(n));
}

void Scenario::Install(const std::string& name, const std::string& bytes) { WriteFileBytes(Installed(name), bytes); }

void Scenario::Install(const std::vector<std::string>& names)
{
    for (const auto& n : names) Install(n, InstalledContent(n));
}

void Scenario::InstallExtra(int n, const std::string& expiry)
{
    Install("extra" + std::to_string(n) + ".dta", ExtraWithExpiry(expiry));
}

void Scenario::CreateLogFolder() { MakeDirs(logDir); }

void Scenario::WriteLog(const std::string& bytes) { WriteFileBytes(logDir + "\\UPDLOG.TXT", bytes); }

RunOutcome Scenario::Run(int confirmAnswer, const DialogObserver& observe)
{
    return Run(UserAnswers(confirmAnswer), observe);
}

RunOutcome Scenario::Run(const Answerer& answer, const DialogObserver& observe)
{
    return RunAnswering(DupdExe(), answer, 30000, observe);
}

bool Scenario::RunKilledWhen(const std::function<bool()>& killNow, DWORD timeoutMs)
{
    const std::string exe = DupdExe();
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string cmd = "\"" + exe + "\"";
    if (!CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        ADD_FAILURE() << "could not start " << exe << " (error " << GetLastError() << ")";
        return false;
    }
    bool killed = false;
    const DWORD start = GetTickCount();
    while (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
        if (killNow()) {
            killed = TerminateProcess(pi.hProcess, 255) != FALSE;
            break;
        }
        if (GetTickCount() - start > timeoutMs) {
            ADD_FAILURE() << "dupd.exe neither ended nor reached the point to kill it within " << timeoutMs << " ms";
            TerminateProcess(pi.hProcess, 255);
            break;
        }
    }
    // Until it is gone it may still be writing.
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return killed;
}

HeldFile::HeldFile(const std::string& path, DWORD share) : dupd::support::HeldFile(path, share)
{
    if (!Held()) ADD_FAILURE() << "cannot hold " << path << " open";
}

}  // namespace e2e
