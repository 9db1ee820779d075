#include "WinTestSupport.h"

#include <atomic>
#include <cstring>
#include <functional>
#include <stdexcept>

namespace dupd::wintest {

namespace {

std::atomic<int> g_counter{0};

void RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA entry;
    HANDLE find = ::FindFirstFileA((path + "\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            const std::string child = path + "\\" + name;
            ::SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                ::DeleteFileA(child.c_str());
        } while (::FindNextFileA(find, &entry));
        ::FindClose(find);
    }
    ::RemoveDirectoryA(path.c_str());
}

}  // namespace

std::string UniqueName(const std::string& tag)
{
    return tag + std::to_string(::GetCurrentProcessId()) + "_" + std::to_string(++g_counter);
}

ScratchDir::ScratchDir(const std::string& tag)
{
    char temp[MAX_PATH + 1] = {};
    const DWORD n = ::GetTempPathA(MAX_PATH, temp);
    if (n == 0 || n >= MAX_PATH) throw std::runtime_error("no temporary folder");
    path_ = std::string(temp, n) + UniqueName("dupd_" + tag + "_");
    if (!::CreateDirectoryA(path_.c_str(), nullptr)) throw std::runtime_error("cannot create " + path_);
}

ScratchDir::~ScratchDir()
{
    RemoveTree(path_);
}

void WriteWholeFile(const std::string& path, const std::string& content)
{
    UniqueFile file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw std::runtime_error("cannot create " + path);
    DWORD written = 0;
    if (!content.empty() &&
        (!::WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) ||
         written != content.size()))
        throw std::runtime_error("cannot write " + path);
}

std::string ReadWholeFile(const std::string& path)
{
    UniqueFile file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw std::runtime_error("cannot open " + path);
    std::string out;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) out.append(buffer, got);
    return out;
}

bool PathIsFile(const std::string& path)
{
    const DWORD attrs = ::GetFileAttributesA(path.c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}

bool PathIsDirectory(const std::string& path)
{
    const DWORD attrs = ::GetFileAttributesA(path.c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ThisExecutable()
{
    char path[MAX_PATH + 1] = {};
    const DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, n);
}

// ---------------------------------------------------------------- Unix links

namespace {

FARPROC WineCall(const char* name)
{
    return ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), name);
}

std::string UnixPath(const std::string& path)
{
    using ToUnix = char*(CDECL*)(const wchar_t*);
    const auto toUnix = reinterpret_cast<ToUnix>(WineCall("wine_get_unix_file_name"));
    if (!toUnix) return {};
    const std::wstring wide(path.begin(), path.end());
    char* unix = toUnix(wide.c_str());
    if (!unix) return {};
    std::string out = unix;
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return out;
}

// Wine hands out no handle of a Unix process, so the caller waits for its effect.
bool StartUnixTool(const char* tool, const std::vector<std::string>& args)
{
    using ToDos = wchar_t*(CDECL*)(const char*);
    const auto toDos = reinterpret_cast<ToDos>(WineCall("wine_get_dos_file_name"));
    wchar_t* dos = toDos ? toDos(tool) : nullptr;
    if (!dos) return false;
    std::string exe;
    for (const wchar_t* c = dos; *c; ++c) exe += static_cast<char>(*c);
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

bool Within(DWORD timeoutMs, const std::function<bool()>& done)
{
    for (const DWORD start = ::GetTickCount(); !done(); ::Sleep(10))
        if (::GetTickCount() - start > timeoutMs) return done();
    return true;
}

bool Present(const std::string& path)
{
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
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

bool RemoveFromUnix(const std::string& path)
{
    char temp[MAX_PATH + 1] = {};
    const DWORD n = ::GetTempPathA(MAX_PATH, temp);
    const std::string below(temp, n);
    if (n == 0 || path.size() <= below.size() || ::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path.c_str(),
                                                                   static_cast<int>(below.size()), below.c_str(),
                                                                   static_cast<int>(below.size())) != CSTR_EQUAL ||
        path.find("..") != std::string::npos)
        return false;
    const std::string unix = UnixPath(path);
    return !unix.empty() && StartUnixTool("/bin/rm", {"-rf", unix}) && Within(5000, [&] { return !Present(path); });
}

// ---------------------------------------------------------------- holding a file

HeldFile::HeldFile(const std::string& path)
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

void HeldFile::Release()
{
    if (!process_) return;
    ::SetEvent(release_.get());
    if (::WaitForSingleObject(process_.get(), 30000) != WAIT_OBJECT_0) ::TerminateProcess(process_.get(), 1);
    process_.reset();
    holding_ = false;
}

HeldFile::~HeldFile()
{
    Release();
}

int RunFileHolder(int argc, char** argv)
{
    if (argc < 5) return 2;
    UniqueFile file(::CreateFileA(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 3;
    UniqueKernelHandle ready(::OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[3]));
    UniqueKernelHandle release(::OpenEventA(SYNCHRONIZE, FALSE, argv[4]));
    if (!ready || !release) return 4;
    ::SetEvent(ready.get());
    // Bounded, so that a test that died before releasing leaves no holder behind.
    ::WaitForSingleObject(release.get(), 120000);
    return 0;
}

// ---------------------------------------------------------------- dialogs

std::string WindowText(HWND window)
{
    const int length = ::GetWindowTextLengthA(window);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
    const int got = ::GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

namespace {

struct FindRequest {
    const std::string* title;
    HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM param)
{
    auto* request = reinterpret_cast<FindRequest*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (pid != ::GetCurrentProcessId() || !::IsWindowVisible(window)) return TRUE;
    if (WindowText(window) != *request->title) return TRUE;
    request->found = window;
    return FALSE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM param)
{
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}

}  // namespace

HWND FindProcessWindow(const std::string& title)
{
    FindRequest request{&title, nullptr};
    ::EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&request));
    return request.found;
}

std::vector<HWND> DescendantWindows(HWND parent)
{
    std::vector<HWND> out;
    ::EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&out));
    return out;
}

bool DialogSnapshot::HasChildText(const std::string& text) const
{
    for (const auto& t : childTexts)
        if (t == text) return true;
    return false;
}

DialogPresser::DialogPresser(std::string title, int buttonId, std::chrono::milliseconds timeout)
    : title_(std::move(title)), buttonId_(buttonId), timeout_(timeout), thread_([this] { Run(); })
{
}

DialogPresser::~DialogPresser()
{
    if (thread_.joinable()) thread_.join();
}

const DialogSnapshot& DialogPresser::Result()
{
    if (thread_.joinable()) thread_.join();
    return snapshot_;
}

void DialogPresser::Run()
{
    const auto deadline = std::chrono::steady_clock::now() + timeout_;
    HWND dialog = nullptr;
    while (!dialog && std::chrono::steady_clock::now() < deadline) {
        dialog = FindProcessWindow(title_);
        if (!dialog) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!dialog) return;
    // Give the dialog a moment to finish creating its controls.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    snapshot_.found = true;
    snapshot_.title = WindowText(dialog);
    char className[256] = {};
    ::GetClassNameA(dialog, className, sizeof className);
    snapshot_.className = className;
    HWND button = nullptr;
    for (HWND child : DescendantWindows(dialog)) {
        snapshot_.childTexts.push_back(WindowText(child));
        if (!button && ::GetDlgCtrlID(child) == buttonId_) {
            char cls[64] = {};
            ::GetClassNameA(child, cls, sizeof cls);
            if (_stricmp(cls, "Button") == 0) button = child;
        }
    }
    if (button) {
        snapshot_.pressed = true;
        ::PostMessageA(button, BM_CLICK, 0, 0);
    }
    for (int i = 0; i < 100 && ::IsWindow(dialog); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    snapshot_.closedAfterPress = !::IsWindow(dialog);
    if (!snapshot_.closedAfterPress) {
        // Never leave a modal loop behind: the test reports the failure instead.
        ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        ::PostMessageA(dialog, WM_CLOSE, 0, 0);
        for (int i = 0; i < 40 && ::IsWindow(dialog); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (::IsWindow(dialog)) ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(buttonId_, BN_CLICKED), 0);
    }
}

}  // namespace dupd::wintest
