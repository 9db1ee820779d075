// Stamps a built updater with the manifest of its package, the step between
// building and signing a release:
//
//   dupd-stamp PROGRAM PACKAGE_FOLDER   writes the manifest of the set files in
//                                       PACKAGE_FOLDER into PROGRAM and prints it
//   dupd-stamp --show PROGRAM           prints the manifest PROGRAM carries, if any
//
// One line per file: NAME SIZE SHA256 (lower-case hex). Exit 0 on success, 2 on
// bad arguments, 1 when a file cannot be read or the program cannot be written.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/StagedFiles.h"
#include "install/PackageManifest.h"
#include "install/win32/ManifestResource.h"
#include "winenv/win32/Win32FileSystem.h"

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: dupd-stamp PROGRAM PACKAGE_FOLDER\n       dupd-stamp --show PROGRAM\n");
    return 2;
}

void Print(const std::string& manifestText)
{
    // The resource holds CR LF lines; standard output gets the platform's own.
    for (std::size_t at = 0; at < manifestText.size();) {
        const std::size_t end = manifestText.find("\r\n", at);
        const std::size_t stop = end == std::string::npos ? manifestText.size() : end;
        std::printf("%s\n", manifestText.substr(at, stop - at).c_str());
        at = end == std::string::npos ? stop : end + 2;
    }
}

int Show(const char* program)
{
    if (::GetFileAttributesA(program) == INVALID_FILE_ATTRIBUTES) {
        std::fprintf(stderr, "dupd-stamp: cannot read %s\n", program);
        return 1;
    }
    HMODULE module = ::LoadLibraryExA(program, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) {
        std::fprintf(stderr, "dupd-stamp: %s is not a program (error %lu)\n", program, ::GetLastError());
        return 1;
    }
    const auto text = dupd::ReadManifestResource(module);
    ::FreeLibrary(module);
    if (text) Print(*text);
    return 0;
}

int Stamp(const char* program, const std::string& folder)
{
    const DWORD attributes = ::GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        std::fprintf(stderr, "dupd-stamp: %s is not a folder\n", folder.c_str());
        return 1;
    }
    std::vector<std::string> set;
    for (const dupd::StagedFile& file : dupd::StagedFileSet()) set.push_back(file.name);
    // The folder comes from the ANSI command line, as every other call here takes it.
    dupd::Win32FileSystem fs(dupd::TextMode::Ansi);
    const auto manifest = dupd::DescribePackage(fs, folder, set);
    if (!manifest) {
        std::fprintf(stderr, "dupd-stamp: a file of the package in %s cannot be read whole\n", folder.c_str());
        return 1;
    }
    if (manifest->empty()) {
        std::fprintf(stderr, "dupd-stamp: %s holds no file of the package\n", folder.c_str());
        return 1;
    }
    const std::string text = dupd::FormatManifest(*manifest);

    HANDLE update = ::BeginUpdateResourceA(program, FALSE);
    if (!update) {
        std::fprintf(stderr, "dupd-stamp: cannot open %s to stamp it (error %lu)\n", program, ::GetLastError());
        return 1;
    }
    // The resource is replaced whole; the program is rewritten only at the end.
    const BOOL put = ::UpdateResourceA(update, RT_RCDATA, dupd::kManifestResource,
                                       MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), const_cast<char*>(text.data()),
                                       static_cast<DWORD>(text.size()));
    if (!put) {
        std::fprintf(stderr, "dupd-stamp: cannot stamp %s (error %lu)\n", program, ::GetLastError());
        ::EndUpdateResourceA(update, TRUE);
        return 1;
    }
    if (!::EndUpdateResourceA(update, FALSE)) {
        std::fprintf(stderr, "dupd-stamp: cannot write %s (error %lu)\n", program, ::GetLastError());
        return 1;
    }
    Print(text);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        if (argc == 3 && std::string(argv[1]) == "--show") return Show(argv[2]);
        if (argc == 3 && argv[1][0] != '-') return Stamp(argv[1], argv[2]);
        return Usage();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "dupd-stamp: %s\n", e.what());
        return 1;
    }
}
