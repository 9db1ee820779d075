// The database files a package may hold, in the order they are installed and
// thrown away.
#pragma once

#include <string>
#include <vector>

namespace dupd {

struct StagedFile {
    std::string name;     // as looked for in the staging folder and handed to DoCopy
    std::string logLine;  // written just before the file is placed
};

// Qlm_list.dta, Qlmlist2.dta .. Qlmlist50.dta, Reflist.dta, epack.dta, qmweb.dta.
const std::vector<StagedFile>& StagedFileSet();
// The same names alone, in the same order.
std::vector<std::string> StagedFileNames();

}  // namespace dupd
