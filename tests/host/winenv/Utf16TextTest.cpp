#include <gtest/gtest.h>

#include <string>

#include "winenv/Utf16Text.h"

namespace dupd {
namespace {

// Every name the system can hold must come back to it unchanged, or the file it
// names is out of reach: lone surrogates included, which NTFS accepts in a name.
TEST(Utf16Text, EveryUtf16NameRoundTripsThroughTheProgramsText)
{
    const struct {
        const char* name;
        std::u16string wide;
        std::string utf8;
    } cases[] = {
        {"ascii", u"C:\\Users\\ann", "C:\\Users\\ann"},
        {"latin", u"Jos\u00e9", "Jos\xc3\xa9"},
        {"cyrillic", u"\u0418\u0432\u0430\u043d", "\xd0\x98\xd0\xb2\xd0\xb0\xd0\xbd"},
        {"cjk", u"\u738b\u4f1f", "\xe7\x8e\x8b\xe4\xbc\x9f"},
        {"beyond the BMP", u"\U00020000\U0001F600", "\xf0\xa0\x80\x80\xf0\x9f\x98\x80"},
        {"lone high surrogate", std::u16string(u"a") + char16_t(0xD800) + u"b", "a\xed\xa0\x80" "b"},
        {"lone low surrogate at the end", std::u16string(u"a") + char16_t(0xDC01), "a\xed\xb0\x81"},
        {"pair reversed", std::u16string{char16_t(0xDC00), char16_t(0xD800)}, "\xed\xb0\x80\xed\xa0\x80"},
        {"NUL inside", std::u16string(u"a\0b", 3), std::string("a\0b", 3)},
        {"empty", u"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Utf16ToUtf8(c.wide), c.utf8);
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.wide);
    }
}

// Bytes that begin no character name nothing: each bad sequence is one U+FFFD,
// and what follows it is read as usual.
TEST(Utf16Text, MalformedBytesBecomeTheReplacementCharacter)
{
    const char16_t bad = 0xFFFD;
    const struct {
        const char* name;
        std::string utf8;
        std::u16string wide;
    } cases[] = {
        {"ANSI byte", "Jos\xe9!", std::u16string(u"Jos") + bad + u"!"},
        {"continuation alone", "\x80" "a", std::u16string{bad, u'a'}},
        {"cut short at the end", "a\xe7\x8e", std::u16string{u'a', bad}},
        {"cut short by ASCII", "\xe7\x8e" "a", std::u16string{bad, u'a'}},
        {"overlong slash", "\xc0\xaf", std::u16string{bad}},
        {"beyond U+10FFFF", "\xf4\x90\x80\x80", std::u16string{bad}},
        {"five-byte lead", "\xf8\x88\x80\x80\x80", std::u16string(5, bad)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.wide);
    }
}

}  // namespace
}  // namespace dupd
