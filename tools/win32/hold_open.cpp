// Holds a file open the way a running program holds its database: others may
// read it, but not write, delete or rename it.
//
//   hold_open FILE READY-FLAG RELEASE-FLAG [MAX-SECONDS]
//
// Creates READY-FLAG once the file is held, and lets go when RELEASE-FLAG appears,
// when MAX-SECONDS (default 600) have passed, or when it is killed.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "tests/support/win32/Files.h"
#include "winenv/win32/Handle.h"

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: hold_open FILE READY-FLAG RELEASE-FLAG [MAX-SECONDS]\n");
        return 2;
    }
    const DWORD maxMs = (argc > 4 ? static_cast<DWORD>(std::atoi(argv[4])) : 600u) * 1000u;
    dupd::support::HeldFile held(argv[1]);
    if (!held.Held()) {
        std::fprintf(stderr, "hold_open: cannot open %s (error %lu)\n", argv[1], held.OpenError());
        return 1;
    }
    // The flag is its name: the file is closed at once.
    dupd::UniqueFile(CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)).reset();

    for (DWORD waited = 0; waited < maxMs; waited += 100) {
        if (GetFileAttributesA(argv[3]) != INVALID_FILE_ATTRIBUTES) break;
        Sleep(100);
    }
    held.Release();
    DeleteFileA(argv[2]);
    return 0;
}
