#include "dbversion/DbVersion.h"

#include "core/UpdateNumber.h"
#include "dbversion/TextLines.h"
#include "dbversion/ValidInt.h"

namespace dupd {

std::string DeCrypt(const std::string& line)
{
    std::string out = line;
    if (out.empty()) return out;
    const unsigned char key = static_cast<unsigned char>(static_cast<unsigned char>(out[0]) - kKeyOffset);
    out[0] = static_cast<char>(key);
    for (std::size_t i = 1; i < out.size(); ++i)
        out[i] = static_cast<char>(static_cast<unsigned char>(static_cast<unsigned char>(out[i]) - key));
    return out;
}

std::string EnCrypt(const std::string& plain)
{
    std::string out = plain;
    if (out.empty()) return out;
    const unsigned char key = static_cast<unsigned char>(plain[0]);
    out[0] = static_cast<char>(static_cast<unsigned char>(key + kKeyOffset));
    for (std::size_t i = 1; i < out.size(); ++i)
        out[i] = static_cast<char>(static_cast<unsigned char>(static_cast<unsigned char>(out[i]) + key));
    return out;
}

std::string CutVersion(const std::string& unscrambledLine)
{
    std::string rest;
    const auto start = unscrambledLine.find("::");
    if (start != std::string::npos)
        rest = unscrambledLine.substr(start + 2);
    else if (!unscrambledLine.empty())
        rest = unscrambledLine.substr(1);  // without a marker only the key character goes

    const auto end = rest.find("||");
    if (end == std::string::npos) return "";
    std::string version = rest.substr(0, end);
    if (!version.empty() && !ParseValidInt(version)) return "";
    return version;
}

std::string GetDbaseVer(IFileSystem& fs, const std::string& installDir)
{
    const std::string path = installDir + "reflist.dta";
    if (!fs.FileExists(path)) return "";
    std::string line;
    // An unreadable or empty version line means no usable installed version.
    if (!ReadFirstLine(fs, path, line) || line.empty()) return "";
    return CutVersion(DeCrypt(line));
}

VersionComparison CompareWithUpdate(const std::string& installedVersion)
{
    if (installedVersion.empty()) return VersionComparison::Proceed;
    const auto installed = ParseValidInt(installedVersion);
    if (!installed) return VersionComparison::Proceed;  // GetDbaseVer never gives this
    const std::int32_t update = ParseValidInt(kUpdateNumberText).value_or(kUpdateNumber);
    if (*installed > update) return VersionComparison::TooOld;
    if (*installed < update) return VersionComparison::Proceed;
    return VersionComparison::AskSame;
}

std::int32_t GetExtraVersion(IFileSystem& fs, const std::string& fileName)
{
    std::string line;
    if (!ReadFirstLine(fs, fileName, line) || line.empty()) return -1;
    return ParseValidInt(DeCrypt(line)).value_or(-1);
}

void DeleteExtras(IFileSystem& fs, const std::string& installDir,
                  const std::function<void(const std::string&)>& log)
{
    const std::int32_t update = ParseValidInt(kUpdateNumberText).value_or(kUpdateNumber);
    for (int n = 1; n <= 50; ++n) {
        // One file's trouble must not keep the others from being examined.
        const std::string name = "extra" + std::to_string(n) + ".dta";
        const std::string path = installDir + name;
        if (!fs.FileExists(path)) continue;
        const std::int32_t expiry = GetExtraVersion(fs, path);
        if (expiry == -1 || expiry > update) continue;
        if (fs.Delete(path) && log) log("Expired EXTRA.DAT file " + name + " deleted.");
    }
}

}  // namespace dupd
