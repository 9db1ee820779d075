#include "app/StagedFiles.h"

#include "core/UpdateNumber.h"

namespace dupd {

namespace {

std::vector<StagedFile> MakeSet()
{
    const std::string update = std::string(" ") + kUpdateNumberText;
    std::vector<StagedFile> set;
    set.push_back({"Qlm_list.dta", "Installing Database file qlm_list.dta" + update});
    for (int n = 2; n <= 50; ++n) {
        const std::string number = std::to_string(n);
        set.push_back({"Qlmlist" + number + ".dta", "Installing Database file qlmlist" + number + ".dta" + update});
    }
    set.push_back({"Reflist.dta", "Installing Database file reflist.dta" + update});
    set.push_back({"epack.dta", "Installing Database file epack.dta" + update});
    set.push_back({"qmweb.dta", "Installing Database server file qmweb.dta 1.3.4"});
    return set;
}

}  // namespace

const std::vector<StagedFile>& StagedFileSet()
{
    static const std::vector<StagedFile> set = MakeSet();
    return set;
}

std::vector<std::string> StagedFileNames()
{
    std::vector<std::string> names;
    for (const StagedFile& file : StagedFileSet()) names.push_back(file.name);
    return names;
}

}  // namespace dupd
