// The code-page layer against ICU's real converters: the road that response
// text takes (UTF-8 to UTF-16 to 936), each direction on its own, the
// sizing protocol, and the calls that must fail without writing.
#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

constexpr int kNulTerminated = -1;
constexpr char16_t kGuardUnit = u'\xABCD';
constexpr char kGuardByte = '\x5A';

// Sizes, then converts a NUL-terminated text the way the page fetch does;
// checks that both calls agree and that the terminator came through, and
// returns the units before it.
std::u16string WideOf(UINT codePage, const std::string& multiByte)
{
    const int needed = MultiByteToWideChar(codePage, 0, multiByte.c_str(), kNulTerminated,
                                           nullptr, 0);
    EXPECT_GE(needed, 1);
    if (needed < 1) {
        return u"<sizing failed>";
    }
    std::u16string wide(static_cast<std::size_t>(needed), kGuardUnit);
    const int written = MultiByteToWideChar(codePage, 0, multiByte.c_str(), kNulTerminated,
                                            wide.data(), needed);
    EXPECT_EQ(written, needed);
    EXPECT_EQ(wide.back(), u'\0');
    wide.pop_back();
    return wide;
}

// The same for the other direction.
std::string MultiByteOf(UINT codePage, const std::u16string& wide)
{
    const int needed = WideCharToMultiByte(codePage, 0, wide.c_str(), kNulTerminated, nullptr, 0,
                                           nullptr, nullptr);
    EXPECT_GE(needed, 1);
    if (needed < 1) {
        return "<sizing failed>";
    }
    std::string multiByte(static_cast<std::size_t>(needed), kGuardByte);
    const int written = WideCharToMultiByte(codePage, 0, wide.c_str(), kNulTerminated,
                                            multiByte.data(), needed, nullptr, nullptr);
    EXPECT_EQ(written, needed);
    EXPECT_EQ(multiByte.back(), '\0');
    multiByte.pop_back();
    return multiByte;
}

TEST(CodePage, Utf8ResponseTextReachesGbkThroughUtf16)
{
    struct Case {
        const char* label;
        std::string utf8;
        std::string gbk;
    };
    const std::vector<Case> cases = {
        {"ascii", "abc 123", "abc 123"},
        {"empty", "", ""},
        {"cjk", "\xE4\xB8\xAD", "\xD6\xD0"},
        {"cjk among ascii", "a\xE4\xB8\xAD\xE6\x96\x87z", "a\xD6\xD0\xCE\xC4z"},
        {"euro sign", "\xE2\x82\xAC", "\x80"},
        {"full-width colon", "\xEF\xBC\x9A", "\xA3\xBA"},
        {"emoji has no form", "\xF0\x9F\x93\xA6", "?"},
        {"invalid utf-8 becomes U+FFFD, which has no form", "a\xFF" "b", "a?b"},
        {"best fit: superscript two", "\xC2\xB2", "2"},
        {"best fit: capital A grave to the pinyin letter", "\xC3\x80", "\xA8\xA4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(MultiByteOf(CP_GBK, WideOf(CP_UTF8, c.utf8)), c.gbk);
    }
}

TEST(CodePage, MultiByteToWideCharReadsEachCodePage)
{
    struct Case {
        const char* label;
        UINT codePage;
        std::string multiByte;
        std::u16string wide;
    };
    const std::vector<Case> cases = {
        {"utf-8 cjk", CP_UTF8, "\xE4\xB8\xAD", u"\u4E2D"},
        {"utf-8 supplementary", CP_UTF8, "\xF0\x9F\x93\xA6", u"\U0001F4E6"},
        {"utf-8 stray byte", CP_UTF8, "a\xFF" "b", u"a\uFFFD" "b"},
        {"utf-8 cut-off sequence at the end", CP_UTF8, "a\xE4\xB8", u"a\uFFFD"},
        {"utf-8 overlong form", CP_UTF8, "\xC0\xAF", u"\uFFFD\uFFFD"},
        {"gbk cjk", CP_GBK, "\xD6\xD0\xCE\xC4", u"\u4E2D\u6587"},
        {"gbk euro sign", CP_GBK, "\x80", u"\u20AC"},
        {"gbk user-defined area AAA1", CP_GBK, "\xAA\xA1", u"\uE000"},
        {"gbk user-defined area A140", CP_GBK, "\xA1\x40", u"\uE4C6"},
        {"gbk lead byte without trail", CP_GBK, "a\x81", u"a\uFFFD"},
        {"ansi is gbk", CP_ACP, "\xD6\xD0", u"\u4E2D"},
        {"empty", CP_GBK, "", u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(WideOf(c.codePage, c.multiByte), c.wide);
    }
}

TEST(CodePage, WideCharToMultiByteWritesEachCodePage)
{
    struct Case {
        const char* label;
        UINT codePage;
        std::u16string wide;
        std::string multiByte;
    };
    const std::vector<Case> cases = {
        {"gbk cjk", CP_GBK, u"\u4E2D\u6587", "\xD6\xD0\xCE\xC4"},
        {"gbk euro sign", CP_GBK, u"\u20AC", "\x80"},
        {"gbk private use back to AAA1", CP_GBK, u"\uE000", "\xAA\xA1"},
        {"gbk private use back to A140", CP_GBK, u"\uE4C6", "\xA1\x40"},
        {"gbk supplementary is one default character", CP_GBK, u"a\U0001F4E6z", "a?z"},
        {"gbk lone surrogate", CP_GBK, u"a\xD800z", "a?z"},
        {"ansi is gbk", CP_ACP, u"\u4E2D", "\xD6\xD0"},
        {"utf-8 cjk", CP_UTF8, u"\u4E2D", "\xE4\xB8\xAD"},
        {"utf-8 supplementary", CP_UTF8, u"\U0001F4E6", "\xF0\x9F\x93\xA6"},
        {"utf-8 lone surrogate", CP_UTF8, u"\xDC00", "\xEF\xBF\xBD"},
        {"empty", CP_GBK, u"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(MultiByteOf(c.codePage, c.wide), c.multiByte);
    }
}

TEST(CodePage, ExplicitLengthConvertsExactlyThoseUnitsWithoutTerminator)
{
    const std::string utf8 = "\xE4\xB8\xAD\0\xE6\x96\x87 tail"s;
    constexpr int kBothCharactersAndTheNul = 7;
    std::u16string wide(4, kGuardUnit);
    constexpr int kUnits = 3;
    ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), kBothCharactersAndTheNul, nullptr, 0),
              kUnits);
    ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), kBothCharactersAndTheNul, wide.data(),
                                  static_cast<int>(wide.size())),
              kUnits);
    EXPECT_EQ(wide, u"\u4E2D\0\u6587\xABCD"s);

    const std::u16string source = u"\u4E2D\u6587";
    std::string gbk(3, kGuardByte);
    ASSERT_EQ(WideCharToMultiByte(CP_GBK, 0, source.data(), 1, gbk.data(), 3, nullptr, nullptr), 2);
    EXPECT_EQ(gbk, "\xD6\xD0\x5A");
}

TEST(CodePage, TooSmallOutputFailsAndWritesNothingPastItsSize)
{
    constexpr int kGuardCount = 4;
    const std::string utf8 = "a\xE4\xB8\xAD";  // needs 3 units with the terminator
    std::u16string wide(2 + kGuardCount, kGuardUnit);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), kNulTerminated, wide.data(), 2), 0);
    EXPECT_EQ(wide.substr(2), std::u16string(kGuardCount, kGuardUnit));

    const std::u16string source = u"a\u4E2D";  // needs 4 bytes with the terminator
    std::string gbk(3 + kGuardCount, kGuardByte);
    EXPECT_EQ(WideCharToMultiByte(CP_GBK, 0, source.c_str(), kNulTerminated, gbk.data(), 3,
                                  nullptr, nullptr),
              0);
    EXPECT_EQ(gbk.substr(3), std::string(kGuardCount, kGuardByte));
}

TEST(CodePage, DefaultCharacterIsTheCallersAndIsReported)
{
    struct Case {
        const char* label;
        std::u16string wide;
        const char* defaultChar;
        std::string multiByte;
        BOOL used;
    };
    const std::vector<Case> cases = {
        {"convertible text", u"\u4E2D", nullptr, "\xD6\xD0", FALSE},
        {"best fit is not a default", u"\u00B2", nullptr, "2", FALSE},
        {"no form, built-in default", u"\U0001F4E6", nullptr, "?", TRUE},
        {"no form, caller's single byte", u"\U0001F4E6", "*", "*", TRUE},
        {"no form, caller's double byte", u"x\U0001F4E6", "\xA1\xF6", "x\xA1\xF6", TRUE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::string output(8, kGuardByte);
        BOOL used = -1;
        const int written = WideCharToMultiByte(CP_GBK, 0, c.wide.data(),
                                                static_cast<int>(c.wide.size()), output.data(),
                                                static_cast<int>(output.size()), c.defaultChar,
                                                &used);
        ASSERT_EQ(written, static_cast<int>(c.multiByte.size()));
        EXPECT_EQ(output.substr(0, c.multiByte.size()), c.multiByte);
        EXPECT_EQ(used, c.used);
    }
}

TEST(CodePage, InvalidCallsFailWithoutWriting)
{
    const char* const text = "abc";
    const char16_t* const wideText = u"abc";
    const char16_t* const noGbkForm = u"\U0001F4E6";
    char16_t wide[4] = {};
    char bytes[4] = {};
    BOOL used = FALSE;
    struct Case {
        const char* label;
        int result;
    };
    const std::vector<Case> cases = {
        {"to wide: unknown code page",
         MultiByteToWideChar(12345, 0, text, kNulTerminated, wide, 4)},
        {"to wide: flags other than 0",
         MultiByteToWideChar(CP_UTF8, 1, text, kNulTerminated, wide, 4)},
        {"to wide: null input", MultiByteToWideChar(CP_UTF8, 0, nullptr, kNulTerminated, wide, 4)},
        {"to wide: input length 0", MultiByteToWideChar(CP_UTF8, 0, text, 0, wide, 4)},
        {"to wide: input length below -1", MultiByteToWideChar(CP_UTF8, 0, text, -2, wide, 4)},
        {"to wide: negative output size",
         MultiByteToWideChar(CP_UTF8, 0, text, kNulTerminated, wide, -1)},
        {"to wide: null output with a size",
         MultiByteToWideChar(CP_UTF8, 0, text, kNulTerminated, nullptr, 4)},
        {"to bytes: unknown code page",
         WideCharToMultiByte(12345, 0, wideText, kNulTerminated, bytes, 4, nullptr, nullptr)},
        {"to bytes: flags other than 0",
         WideCharToMultiByte(CP_GBK, 1, wideText, kNulTerminated, bytes, 4, nullptr, nullptr)},
        {"to bytes: null input",
         WideCharToMultiByte(CP_GBK, 0, nullptr, kNulTerminated, bytes, 4, nullptr, nullptr)},
        {"to bytes: input length 0",
         WideCharToMultiByte(CP_GBK, 0, wideText, 0, bytes, 4, nullptr, nullptr)},
        {"to bytes: input length below -1",
         WideCharToMultiByte(CP_GBK, 0, wideText, -2, bytes, 4, nullptr, nullptr)},
        {"to bytes: negative output size",
         WideCharToMultiByte(CP_GBK, 0, wideText, kNulTerminated, bytes, -1, nullptr, nullptr)},
        {"to bytes: null output with a size",
         WideCharToMultiByte(CP_GBK, 0, wideText, kNulTerminated, nullptr, 4, nullptr, nullptr)},
        {"to bytes: utf-8 with a used-default flag",
         WideCharToMultiByte(CP_UTF8, 0, wideText, kNulTerminated, bytes, 4, nullptr, &used)},
        {"to bytes: utf-8 with a default character",
         WideCharToMultiByte(CP_UTF8, 0, wideText, kNulTerminated, bytes, 4, "*", nullptr)},
        {"to bytes: default character longer than one character",
         WideCharToMultiByte(CP_GBK, 0, noGbkForm, kNulTerminated, bytes, 4, "abc", nullptr)},
        {"to bytes: empty default character",
         WideCharToMultiByte(CP_GBK, 0, noGbkForm, kNulTerminated, bytes, 4, "", nullptr)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.result, 0);
    }
    EXPECT_EQ(std::u16string(wide, 4), std::u16string(4, u'\0'));
    EXPECT_EQ(std::string(bytes, 4), std::string(4, '\0'));
}

} // namespace
