#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "FakePlatform.h"
#include "install/PackageManifest.h"
#include "winenv/Sha256.h"

namespace dupd {
namespace {

const std::vector<std::string> kSet = {"Qlm_list.dta", "Qlmlist2.dta", "Reflist.dta"};
const std::string kStaging = "C:\\Users\\Ann\\AppData\\Ostravane\\Dbinst";

struct Staged {
    fake::FakeFileSystem fs;
    PackageManifest manifest;

    Staged()
    {
        fs.AddFile(kStaging + "\\Qlm_list.dta", "list 6935");
        fs.AddFile(kStaging + "\\Reflist.dta", "Q::6935||");
        manifest = *DescribePackage(fs, kStaging, kSet);
    }
};

std::string HexOf(const std::string& bytes)
{
    Sha256 digest;
    digest.Update(bytes.data(), bytes.size());
    return DigestHex(*digest.Final());
}

TEST(PackageManifest, WrittenAndReadBack)
{
    Staged s;
    const std::string text = FormatManifest(s.manifest);
    EXPECT_EQ(text, "Qlm_list.dta 9 " + HexOf("list 6935") + "\r\nReflist.dta 9 " + HexOf("Q::6935||") + "\r\n");
    const auto back = ParseManifest(text, kSet);
    ASSERT_TRUE(back);
    EXPECT_EQ(FormatManifest(*back), text);
    EXPECT_EQ(ParseManifest("", kSet)->size(), 0u);
}

TEST(PackageManifest, AnythingButItsOwnFormatIsRefused)
{
    const std::string digest(64, 'a');
    for (const std::string& text : std::vector<std::string>{
             "Qlm_list.dta 9 " + digest,                                        // no line end
             "Qlm_list.dta 9 " + digest + "\n",                                 // LF alone
             "extra1.dta 9 " + digest + "\r\n",                                 // outside the set
             "QLM_LIST.DTA 9 " + digest + "\r\n",                               // not the set's spelling
             "Qlm_list.dta 9 " + digest + "\r\nQlm_list.dta 9 " + digest + "\r\n",  // twice
             "Qlm_list.dta -9 " + digest + "\r\n", "Qlm_list.dta  9 " + digest + "\r\n",
             "Qlm_list.dta 99999999999999999999 " + digest + "\r\n",           // beyond 64 bits
             "Qlm_list.dta 9 " + std::string(64, 'A') + "\r\n",                 // upper-case hex
             "Qlm_list.dta 9 " + digest + "0\r\n", "Qlm_list.dta 9\r\n"}) {
        EXPECT_FALSE(ParseManifest(text, kSet)) << text;
    }
}

// Every way a staged package can differ from what the program carries is
// refused, and nothing less.
TEST(PackageManifest, TheStagedPackageMustBeExactlyTheListedOne)
{
    const struct {
        const char* what;
        std::function<void(Staged&)> change;
        bool matches;
    } cases[] = {
        {"as built", [](Staged&) {}, true},
        {"one byte changed", [](Staged& s) { s.fs.AddFile(kStaging + "\\Reflist.dta", "Q::6936||"); }, false},
        {"cut short", [](Staged& s) { s.fs.AddFile(kStaging + "\\Reflist.dta", "Q::6935|"); }, false},
        {"size listed off by one", [](Staged& s) { s.manifest[0].size += 1; }, false},
        {"listed file missing", [](Staged& s) { s.fs.files.erase(s.fs.Key(kStaging + "\\Reflist.dta")); }, false},
        {"unlisted set file staged", [](Staged& s) { s.fs.AddFile(kStaging + "\\Qlmlist2.dta", "planted"); }, false},
        {"a file outside the set is no concern", [](Staged& s) { s.fs.AddFile(kStaging + "\\readme.txt", "x"); }, true},
        {"listed file a link", [](Staged& s) { s.fs.files[s.fs.Key(kStaging + "\\Reflist.dta")].reparsePoint = true; },
         false},
        {"unreadable", [](Staged& s) { s.fs.failReadsOf.insert(s.fs.Key(kStaging + "\\Qlm_list.dta")); }, false},
    };
    for (const auto& c : cases) {
        Staged s;
        c.change(s);
        EXPECT_EQ(PackageMatchesManifest(s.fs, kStaging, s.manifest, kSet), c.matches) << c.what;
    }
}

}  // namespace
}  // namespace dupd
