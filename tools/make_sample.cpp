// Writes the demo's and the benchmark's sample data: a staged package of update
// 6935, an installed database of version 6934 with its scrambled version line,
// extra databases with scrambled expiry numbers around 6935, and optionally an
// accumulated update log of a given size; or the fuzz targets' seed files.
//
//   make_sample --out DIR [--all | --names A,B,...] [--extras N] [--log-bytes N]
//   make_sample --fuzz-seeds DIR
//
// DIR/package/  the files to stage       DIR/install/  the installed product
// DIR/expiry.txt  the extras' expiry numbers in plain text
// DIR/log/UPDLOG.TXT  (with --log-bytes)
// With --fuzz-seeds: DIR/dbversion/, DIR/wininit/, DIR/log/ and DIR/pending/, a few
// files of each kind as the product and the system write them.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "app/StagedFiles.h"
#include "dbversion/DbVersion.h"

namespace {

struct Options {
    std::string out;
    std::string seeds;
    bool all = false;
    std::vector<std::string> names;
    int extras = -1;  // -1: the small default set
    long logBytes = -1;
};

// The default package: the first, a middle and a two-digit list, the reference
// list and both special files, so that the fixed order shows.
const std::vector<std::string> kDefaultPackage = {"Qlm_list.dta", "Qlmlist2.dta", "Qlmlist3.dta", "Qlmlist10.dta",
                                                  "Reflist.dta",  "epack.dta",    "qmweb.dta"};
// Files the product had before this update (Qlmlist10.dta arrives new).
const std::vector<std::string> kInstalledBefore = {"Qlm_list.dta", "Qlmlist2.dta", "Qlmlist3.dta", "epack.dta",
                                                   "qmweb.dta"};

[[noreturn]] void Fail(const std::string& why)
{
    std::fprintf(stderr, "make_sample: %s\n", why.c_str());
    std::exit(2);
}

void Usage()
{
    std::fprintf(stderr,
                 "usage: make_sample --out DIR [--all | --names A,B,...] [--extras N] [--log-bytes N]\n"
                 "       make_sample --fuzz-seeds DIR\n"
                 "  --all        every one of the 53 names a package may hold\n"
                 "  --names      the staged names to write (default: a small mixed set)\n"
                 "  --extras N   extra1.dta..extraN.dta with expiry 6910+N (default: extra1=6930,\n"
                 "               extra2=6935, extra3=6936, extra5=-1)\n"
                 "  --log-bytes  an accumulated UPDLOG.TXT of exactly that many bytes\n"
                 "  --fuzz-seeds seed files of the fuzz targets in DIR/<target>/\n");
    std::exit(2);
}

Options Parse(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) Usage();
            return argv[++i];
        };
        if (a == "--out") {
            o.out = value();
        } else if (a == "--fuzz-seeds") {
            o.seeds = value();
        } else if (a == "--all") {
            o.all = true;
        } else if (a == "--names") {
            const std::string list = value();
            std::size_t start = 0;
            while (start <= list.size()) {
                const std::size_t comma = list.find(',', start);
                const std::string name = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
                if (!name.empty()) o.names.push_back(name);
                if (comma == std::string::npos) break;
                start = comma + 1;
            }
        } else if (a == "--extras") {
            o.extras = std::atoi(value().c_str());
            if (o.extras < 0 || o.extras > 50) Fail("--extras takes 0 to 50");
        } else if (a == "--log-bytes") {
            o.logBytes = std::atol(value().c_str());
            if (o.logBytes < 0) Fail("--log-bytes takes a size in bytes");
        } else {
            Usage();
        }
    }
    if (o.out.empty() == o.seeds.empty()) Usage();
    return o;
}

void MakeDir(const std::string& path)
{
    if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) Fail("cannot create " + path + ": " + std::strerror(errno));
}

void Write(const std::string& path, const std::string& bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f.flush()) Fail("cannot write " + path);
}

std::string Lower(std::string s)
{
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// A stored line: scrambled, and free of the bytes that would end it early.
std::string Scrambled(const std::string& plain)
{
    const std::string s = dupd::EnCrypt(plain);
    if (s.find_first_of(std::string("\r\n\x1a", 3)) != std::string::npos)
        Fail("the scrambled form of \"" + plain + "\" holds a line-end byte");
    return s + "\r\n";
}

std::string Reflist(int version)
{
    return Scrambled("Q::" + std::to_string(version) + "||Quellmark reference list") +
           Scrambled("Rsample reference entries of database " + std::to_string(version));
}

// Recognisable at a glance: name and version in the first line.
std::string Database(const std::string& name, int version)
{
    if (Lower(name) == "reflist.dta") return Reflist(version);
    std::string s = "Quellmark sample database " + name + ", version " + std::to_string(version) + "\r\n";
    for (int i = 1; i <= 8; ++i) s += "signature block " + std::to_string(i) + " of " + name + "\r\n";
    return s;
}

std::string Extra(int n, int expiry)
{
    return Scrambled(std::to_string(expiry)) + Scrambled("Esample extra database " + std::to_string(n));
}

// Earlier runs, newest first, cut to exactly `bytes` bytes on a line end.
std::string AccumulatedLog(long bytes)
{
    std::string log;
    std::vector<std::string> lines;
    for (int run = 0; static_cast<long>(log.size()) < bytes; ++run) {
        const int day = 28 - run % 28, month = 12 - (run / 28) % 12, version = 6934 - run % 5000;
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "[%02d/%02d/2024 09:%02d:00] ", day, month, run % 60);
        std::string block = std::string(stamp) + "Database Update " + std::to_string(version) +
                            " installation program started\r\n";
        block += std::string(stamp) + "Installing Database file qlm_list.dta " + std::to_string(version) + "\r\n";
        block += std::string(stamp) + "Installing Database file reflist.dta " + std::to_string(version) + "\r\n";
        block += std::string(60, '-') + "\r\n\r\n";
        log += block;
    }
    // Cut at the last line end that fits, then fill with one line to the size.
    std::size_t cut = log.rfind("\r\n", static_cast<std::size_t>(bytes));
    while (cut != std::string::npos && cut + 2 > static_cast<std::size_t>(bytes)) cut = log.rfind("\r\n", cut - 1);
    log.resize(cut == std::string::npos ? 0 : cut + 2);
    const long rest = bytes - static_cast<long>(log.size());
    if (rest >= 2) log += std::string(static_cast<std::size_t>(rest - 2), '.') + "\r\n";
    else if (rest == 1) log += ".";
    return log;
}

// The raw REG_MULTI_SZ bytes of PendingFileRenameOperations: UTF-16LE, every
// string ended by a NUL, the list by an empty string.
std::string MultiString(const std::vector<std::string>& strings)
{
    std::string out;
    for (const auto& s : strings) {
        for (char c : s) {
            out.push_back(c);
            out.push_back('\0');
        }
        out.append(2, '\0');
    }
    return out.append(2, '\0');
}

void FuzzSeeds(const std::string& dir)
{
    MakeDir(dir);
    const std::string db = dir + "/dbversion/";
    const std::string ini = dir + "/wininit/";
    const std::string log = dir + "/log/";
    const std::string pending = dir + "/pending/";
    for (const auto& d : {db, ini, log, pending}) MakeDir(d);

    // reflist.dta and extra files; one as an old editor saved it, LF only and 0x1A last.
    Write(db + "reflist.dta", Reflist(6934));
    std::string lf = Reflist(6935);
    for (std::size_t at; (at = lf.find("\r\n")) != std::string::npos;) lf.erase(at, 1);
    Write(db + "reflist-lf.dta", lf + "\x1a");
    Write(db + "extra1.dta", Extra(1, 6930));
    Write(db + "extra3.dta", Extra(3, 6936));
    Write(db + "extra5.dta", Extra(5, -1));

    // wininit.ini without and with a [rename] section; one seed names the pair to add
    // (target and source, each ended by a NUL, before the file).
    const std::string target = "C:\\PROGRA~1\\OSTRAV~1\\QUELLM~1\\QLM_LIST.DTA";
    const std::string copy = target + ".DUPD-NEW";
    Write(ini + "plain.ini", "; written by setup\r\n[CombineVxDs]\r\n\r\n[SetupOptions]\r\nmode=1\r\n");
    Write(ini + "rename.ini",
          "[Rename]\r\nNUL=C:\\WINDOWS\\SYSTEM\\OLD.DLL\r\nC:\\WINDOWS\\SYSTEM\\OLD.DLL=C:\\WINDOWS\\SYSTEM\\NEW.DLL\r\n"
          "\r\n[CombineVxDs]\r\n");
    Write(ini + "named.ini", target + std::string(1, '\0') + copy + std::string(1, '\0') + "[rename]\r\nnul=" +
                                 target + "\r\n" + target + "=" + copy + "\r\n\x1a");

    // UPDLOG.TXT of a few runs, and one past the size limit, so that the cut is reached.
    Write(log + "UPDLOG.TXT", AccumulatedLog(700));
    Write(log + "UPDLOG-long.TXT", AccumulatedLog(16500));

    // The system's list: a pending replacement of an installed file by the program's
    // copy, a deletion, and one list cut before its last NUL and closing empty string.
    const std::string installed = "\\??\\C:\\Program Files\\Ostravane\\Quellmark\\Qlm_list.dta";
    Write(pending + "replace.bin", MultiString({installed + ".dupd-new", "!" + installed}));
    const std::string mixed =
        MultiString({"\\??\\C:\\WINDOWS\\TEMP\\~df12.tmp", "", installed + ".dupd-new", "!" + installed});
    Write(pending + "mixed.bin", mixed);
    Write(pending + "unended.bin", mixed.substr(0, mixed.size() - 4));

    std::printf("fuzz seeds in %s/{dbversion,wininit,log,pending}\n", dir.c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    const Options o = Parse(argc, argv);
    if (!o.seeds.empty()) {
        FuzzSeeds(o.seeds);
        return 0;
    }
    std::vector<std::string> package;
    if (o.all) {
        for (const auto& f : dupd::StagedFileSet()) package.push_back(f.name);
    } else {
        package = o.names.empty() ? kDefaultPackage : o.names;
    }

    MakeDir(o.out);
    MakeDir(o.out + "/package");
    MakeDir(o.out + "/install");

    for (const auto& name : package) Write(o.out + "/package/" + name, Database(name, 6935));

    Write(o.out + "/install/reflist.dta", Reflist(6934));
    int installed = 1;
    for (const auto& name : o.all ? package : kInstalledBefore) {
        if (Lower(name) == "reflist.dta") continue;
        Write(o.out + "/install/" + name, Database(name, 6934));
        ++installed;
    }

    std::vector<std::pair<int, int>> extras;
    if (o.extras < 0) {
        extras = {{1, 6930}, {2, 6935}, {3, 6936}, {5, -1}};
    } else {
        for (int n = 1; n <= o.extras; ++n) extras.emplace_back(n, 6910 + n);
    }
    std::string expiries;  // in plain text, for whoever shows the outcome
    for (const auto& e : extras) {
        Write(o.out + "/install/extra" + std::to_string(e.first) + ".dta", Extra(e.first, e.second));
        expiries += "extra" + std::to_string(e.first) + ".dta " + std::to_string(e.second) + "\n";
    }
    Write(o.out + "/expiry.txt", expiries);

    if (o.logBytes >= 0) {
        MakeDir(o.out + "/log");
        Write(o.out + "/log/UPDLOG.TXT", AccumulatedLog(o.logBytes));
    }

    std::printf("package of update 6935: %zu files in %s/package\n", package.size(), o.out.c_str());
    std::printf("installed database 6934: %d files and %zu extras in %s/install\n", installed, extras.size(),
                o.out.c_str());
    if (o.logBytes >= 0) std::printf("accumulated log: %ld bytes in %s/log/UPDLOG.TXT\n", o.logBytes, o.out.c_str());
    return 0;
}
