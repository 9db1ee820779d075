// SHA-256 throughput, as the updater hashes a file while copying it: 64 KB
// pieces, for the system's hashing and for the program's own, in MB/s (medians).
//
//   sha256_bench [MEGABYTES] [REPETITIONS]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tools/win32/ToolSupport.h"
#include "winenv/Sha256.h"
#include "winenv/win32/Win32Sha256.h"

int main(int argc, char** argv)
{
    const int megabytes = argc > 1 ? std::atoi(argv[1]) : 64;
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 5;
    if (megabytes <= 0 || repetitions <= 0) {
        std::fprintf(stderr, "usage: sha256_bench [MEGABYTES] [REPETITIONS]\n");
        return 2;
    }
    std::vector<char> piece(64 * 1024);
    for (std::size_t i = 0; i < piece.size(); ++i) piece[i] = static_cast<char>(i * 131 + 7);
    const int pieces = megabytes * 16;

    const auto measure = [&](const std::function<std::unique_ptr<dupd::IDigest>()>& make) {
        std::vector<double> rates;
        for (int r = 0; r < repetitions; ++r) {
            const auto digest = make();
            if (!digest) return -1.0;
            const double start = dupd::tools::Now();
            for (int i = 0; i < pieces; ++i) digest->Update(piece.data(), piece.size());
            if (!digest->Final()) return -1.0;
            rates.push_back(megabytes / ((dupd::tools::Now() - start) / 1e6));
        }
        return dupd::tools::Median(rates);
    };
    std::printf("SHA-256 over %d MB in 64 KB pieces, MB/s (median of %d)\n", megabytes, repetitions);
    std::printf("  the system's (CryptoAPI)  %8.1f\n", measure([] { return dupd::NewSystemSha256(); }));
    std::printf("  the program's own         %8.1f\n",
                measure([] { return std::unique_ptr<dupd::IDigest>(std::make_unique<dupd::Sha256>()); }));
    return 0;
}
