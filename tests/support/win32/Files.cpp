#include "tests/support/win32/Files.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <stdexcept>

#include "tests/support/win32/Desktop.h"
#include "winenv/win32/WideText.h"

namespace dupd::support {

namespace {

std::atomic<int> g_counter{0};

bool Present(const std::string& path) { return ::GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// Below the folder, not the folder itself; case and a closing backslash aside.
bool IsBelow(const std::string& path, std::string folder)
{
    while (!folder.empty() && folder.back() == '\\') folder.pop_back();
    const std::string p = Lower(path), f = Lower(folder) + "\\";
    return !folder.empty() && p.size() > f.size() && p.compare(0, f.size(), f) == 0;
}

}  // namespace

std::wstring Wide(const std::string& utf8)
{
    if (utf8.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], n);
    return out;
}

std::string Utf8(const wchar_t* text)
{
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
    out.pop_back();  // the NUL
    return out;
}

std::string UniqueName(const std::string& tag)
{
    return tag + std::to_string(::GetCurrentProcessId()) + "_" + std::to_string(++g_counter);
}

std::string ThisExecutable()
{
    char path[MAX_PATH + 1] = {};
    const DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, n);
}

bool PathIsFile(const std::string& path)
{
    const DWORD attrs = ::GetFileAttributesW(Wide(path).c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}

bool PathIsDirectory(const std::string& path)
{
    const DWORD attrs = ::GetFileAttributesW(Wide(path).c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
}

void WriteWholeFile(const std::string& path, const std::string& content)
{
    UniqueFile file(
        ::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw std::runtime_error("cannot create " + path + " (error " + std::to_string(::GetLastError()) + ")");
    DWORD written = 0;
    if (!content.empty() &&
        (!::WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) ||
         written != content.size()))
        throw std::runtime_error("cannot write " + path);
}

std::string ReadWholeFile(const std::string& path)
{
    UniqueFile file(::CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw std::runtime_error("cannot open " + path);
    std::string out;
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) out.append(buffer, got);
    return out;
}

bool RemoveTree(const std::string& path)
{
    bool all = true;
    WIN32_FIND_DATAW entry;
    HANDLE find = ::FindFirstFileW(Wide(path + "\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = Utf8(entry.cFileName);
            if (name == "." || name == "..") continue;
            const std::string child = path + "\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                all = RemoveTree(child) && all;
            } else {
                ::SetFileAttributesW(Wide(child).c_str(), FILE_ATTRIBUTE_NORMAL);
                all = ::DeleteFileW(Wide(child).c_str()) && all;
            }
        } while (::FindNextFileW(find, &entry));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(Wide(path).c_str());
    return all;
}

ScratchDir::ScratchDir(const std::string& tag)
{
    char temp[MAX_PATH + 1] = {};
    const DWORD n = ::GetTempPathA(MAX_PATH, temp);
    if (n == 0 || n >= MAX_PATH) throw std::runtime_error("no temporary folder");
    path_ = std::string(temp, n) + UniqueName("dupd_" + tag + "_");
    if (!::CreateDirectoryA(path_.c_str(), nullptr)) throw std::runtime_error("cannot create " + path_);
}

// ---------------------------------------------------------------- holding a file

HeldFile::HeldFile(const std::string& path, DWORD share)
    : file_(::CreateFileW(Wide(path).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr))
{
    if (!file_) error_ = ::GetLastError();
}

HeldByAnotherProcess::HeldByAnotherProcess(const std::string& path)
{
    const std::string readyName = UniqueName("dupd_hold_ready_");
    const std::string releaseName = UniqueName("dupd_hold_release_");
    ready_.reset(::CreateEventA(nullptr, TRUE, FALSE, readyName.c_str()));
    release_.reset(::CreateEventA(nullptr, TRUE, FALSE, releaseName.c_str()));
    if (!ready_ || !release_) return;

    std::string commandLine = "\"" + ThisExecutable() + "\" --hold \"" + path + "\" " + readyName + " " + releaseName;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return;
    ::CloseHandle(info.hThread);
    process_.reset(info.hProcess);

    // The holder either signals that it has the file or ends (it could not open it).
    HANDLE waitFor[2] = {ready_.get(), process_.get()};
    holding_ = ::WaitForMultipleObjects(2, waitFor, FALSE, 30000) == WAIT_OBJECT_0;
}

void HeldByAnotherProcess::Release()
{
    if (!process_) return;
    ::SetEvent(release_.get());
    if (::WaitForSingleObject(process_.get(), 30000) != WAIT_OBJECT_0) ::TerminateProcess(process_.get(), 1);
    process_.reset();
    holding_ = false;
}

int RunFileHolder(int argc, char** argv)
{
    if (argc < 5) return 2;
    const HeldFile file(argv[2]);
    if (!file.Held()) return 3;
    UniqueKernelHandle ready(::OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[3]));
    UniqueKernelHandle release(::OpenEventA(SYNCHRONIZE, FALSE, argv[4]));
    if (!ready || !release) return 4;
    ::SetEvent(ready.get());
    // Bounded, so that a test that died before releasing leaves no holder behind.
    ::WaitForSingleObject(release.get(), 120000);
    return 0;
}

// ---------------------------------------------------------------- Unix links

namespace {

// Through void (*)(): the call has Wine's own type, not FARPROC's.
template <typename Fn>
Fn WineCall(const char* name)
{
    const FARPROC call = ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), name);
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(call));
}

std::string UnixPath(const std::string& path)
{
    using ToUnix = char*(CDECL*)(const wchar_t*);
    const auto toUnix = WineCall<ToUnix>("wine_get_unix_file_name");
    if (!toUnix) return {};
    char* unix = toUnix(ToWide(path).c_str());
    if (!unix) return {};
    std::string out = unix;
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return out;
}

// Wine hands out no handle of a Unix process, so the caller waits for its effect.
bool StartUnixTool(const char* tool, const std::vector<std::string>& args)
{
    using ToDos = wchar_t*(CDECL*)(const char*);
    const auto toDos = WineCall<ToDos>("wine_get_dos_file_name");
    wchar_t* dos = toDos ? toDos(tool) : nullptr;
    if (!dos) return false;
    const std::string exe = ToAnsi(dos);
    ::HeapFree(::GetProcessHeap(), 0, dos);
    std::string commandLine = "\"" + exe + "\"";
    for (const auto& a : args) commandLine += " \"" + a + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info))
        return false;
    if (info.hThread) ::CloseHandle(info.hThread);
    if (info.hProcess) ::CloseHandle(info.hProcess);
    return true;
}

}  // namespace

bool MakeUnixSymlink(const std::string& link, const std::string& target)
{
    const std::size_t cut = link.find_last_of('\\');
    if (cut == std::string::npos || !Present(target)) return false;
    const std::string unixTarget = UnixPath(target), unixFolder = UnixPath(link.substr(0, cut));
    if (unixTarget.empty() || unixFolder.empty()) return false;
    return StartUnixTool("/bin/ln", {"-s", unixTarget, unixFolder + "/" + link.substr(cut + 1)}) &&
           Within(5000, [&] { return Present(link); });
}

bool RemoveFromUnix(const std::string& path, const std::string& onlyBelow)
{
    if (!IsBelow(path, onlyBelow) || path.find("..") != std::string::npos) return false;
    if (!Present(path)) return true;
    const std::string unix = UnixPath(path);
    return !unix.empty() && StartUnixTool("/bin/rm", {"-rf", unix}) && Within(10000, [&] { return !Present(path); });
}

// ---------------------------------------------------------------- the pending-rename list

namespace {

constexpr char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kPendingValue[] = L"PendingFileRenameOperations";

// The list's strings in pairs (source, target; "" target = deletion). Deletions
// store an empty target, so the list is split by its length, not ended by the
// first empty string.
std::vector<std::wstring> PendingStrings()
{
    std::vector<std::wstring> out;
    const auto value = ReadPendingValue();
    if (!value || !value->present) return out;
    const std::wstring data(reinterpret_cast<const wchar_t*>(value->bytes.data()),
                            value->bytes.size() / sizeof(wchar_t));
    for (std::size_t pos = 0; pos < data.size();) {
        const std::size_t end = data.find(L'\0', pos);
        const std::size_t stop = end == std::wstring::npos ? data.size() : end;
        out.push_back(data.substr(pos, stop - pos));
        pos = stop + 1;
    }
    if (out.size() % 2 == 1 && out.back().empty()) out.pop_back();  // the list's own end
    return out;
}

// Without the NT prefix "\??\" and the mark "!" that the system puts before a
// target that the entry may replace.
std::string PlainPendingPath(std::wstring s)
{
    if (!s.empty() && s[0] == L'!') s.erase(0, 1);
    if (s.compare(0, 4, L"\\??\\") == 0) s.erase(0, 4);
    return Utf8(s.c_str());
}

}  // namespace

std::optional<PendingValue> ReadPendingValue()
{
    UniqueRegKey key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key.out()) != ERROR_SUCCESS)
        return std::nullopt;
    PendingValue value;
    DWORD size = 0;
    if (::RegQueryValueExW(key.get(), kPendingValue, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS)
        return value;
    value.bytes.resize(size);
    if (size > 0 && ::RegQueryValueExW(key.get(), kPendingValue, nullptr, &value.type, value.bytes.data(), &size) !=
                        ERROR_SUCCESS)
        return value;
    value.bytes.resize(size);
    value.present = true;
    return value;
}

bool WritePendingValue(const PendingValue& value)
{
    UniqueRegKey key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key.out()) != ERROR_SUCCESS)
        return false;
    if (!value.present) {
        const LONG r = ::RegDeleteValueW(key.get(), kPendingValue);
        return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND;
    }
    return ::RegSetValueExW(key.get(), kPendingValue, 0, value.type, value.bytes.data(),
                            static_cast<DWORD>(value.bytes.size())) == ERROR_SUCCESS;
}

std::vector<ScheduledRename> PendingRenames()
{
    const auto strings = PendingStrings();
    std::vector<ScheduledRename> out;
    for (std::size_t i = 0; i + 1 < strings.size(); i += 2)
        out.push_back({PlainPendingPath(strings[i]), PlainPendingPath(strings[i + 1]),
                       !strings[i + 1].empty() && strings[i + 1][0] == L'!'});
    return out;
}

std::vector<ScheduledRename> PendingRenamesUnder(const std::string& folder)
{
    std::vector<ScheduledRename> out;
    for (auto& p : PendingRenames())
        if (IsBelow(p.from, folder) || IsBelow(p.to, folder)) out.push_back(p);
    return out;
}

bool DropPendingRenamesUnder(const std::string& folder)
{
    const auto strings = PendingStrings();
    std::wstring kept;
    std::size_t keptStrings = 0;
    for (std::size_t i = 0; i + 1 < strings.size(); i += 2) {
        if (IsBelow(PlainPendingPath(strings[i]), folder) || IsBelow(PlainPendingPath(strings[i + 1]), folder))
            continue;
        kept += strings[i] + L'\0' + strings[i + 1] + L'\0';
        keptStrings += 2;
    }
    if (keptStrings == strings.size()) return true;
    PendingValue value;
    value.present = keptStrings > 0;
    kept += L'\0';
    const auto* bytes = reinterpret_cast<const BYTE*>(kept.data());
    value.bytes.assign(bytes, bytes + kept.size() * sizeof(wchar_t));
    return WritePendingValue(value);
}

}  // namespace dupd::support
