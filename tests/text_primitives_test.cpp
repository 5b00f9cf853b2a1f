#include "text/text_primitives.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "text/charwise.h"
#include "text/text.h"

using namespace text_literals;

namespace {

// GBK bytes used below. A lead byte (>= 0x80) swallows the byte after it,
// whatever it is, so "\x95" "t" is one character and the 't' is no letter.
constexpr std::string_view kZhong = "\xD6\xD0";      // 中
constexpr std::string_view kWideSpace = "\xA1\xA1";  // double-byte space

Text T(std::string_view bytes) { return Text(bytes); }

std::vector<std::string> Items(const TextList& list) {
  std::vector<std::string> items;
  for (int i = 1; i <= list.Count(); ++i) items.push_back(list.Item(i).bytes());
  return items;
}

TEST(TextTest, ConstructorCutsAtFirstNul) {
  EXPECT_EQ(Text(std::string_view("ab\0cd", 5)).bytes(), "ab");
  EXPECT_TRUE(Text(std::string_view("\0cd", 3)).empty());
  EXPECT_EQ(Text(), ""_t);
}

TEST(TextTest, BytesRoundTripsAndStopsAtZeroByte) {
  EXPECT_EQ(TextToBytes("a\xB0z"_t).bytes(), "a\xB0z");
  EXPECT_EQ(BytesToText(Bytes(std::string_view("ab\0cd", 5))), "ab"_t);
  EXPECT_EQ(BytesToText(Bytes("abc")), "abc"_t);
  EXPECT_EQ(BytesToText(Bytes()), Text());
}

TEST(TextTest, CharTextTakesLowEightBits) {
  EXPECT_EQ(CharText('A'), "A"_t);
  EXPECT_EQ(CharText(0x141), "A"_t);
  EXPECT_EQ(CharText(-1), "\xFF"_t);
  EXPECT_TRUE(CharText(0).empty());
  EXPECT_TRUE(CharText(0x300).empty());
}

TEST(TextListTest, AppendStoresCopiesNumberedFromOne) {
  TextList list;
  Text item = "first"_t;
  list.Append(item);
  item = "changed"_t;
  list.Append("second"_t);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Item(1), "first"_t);
  EXPECT_EQ(list.Item(2), "second"_t);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

TEST(TextListDeathTest, ItemOutsideRangeEndsProcessWithReport) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  TextList list;
  list.Append("only"_t);
  EXPECT_DEATH(list.Item(0), "item 0 read from a list of 1 items");
  EXPECT_DEATH(list.Item(2), "item 2 read from a list of 1 items");
  EXPECT_DEATH(TextList().Item(1), "item 1 read from a list of 0 items");
}

TEST(TextPrimitivesTest, CuttingCountsPlainBytes) {
  struct Case {
    const char* label;
    Text got;
    std::string_view want;
  };
  const Text t = "abcdef"_t;
  const Case cases[] = {
      {"left", TextLeft(t, 2), "ab"},
      {"left zero", TextLeft(t, 0), ""},
      {"left negative", TextLeft(t, -1), ""},
      {"left beyond", TextLeft(t, 99), "abcdef"},
      {"right", TextRight(t, 2), "ef"},
      {"right zero", TextRight(t, 0), ""},
      {"right beyond", TextRight(t, 99), "abcdef"},
      {"mid", TextMid(t, 2, 3), "bcd"},
      {"mid cut at end", TextMid(t, 5, 10), "ef"},
      {"mid last byte", TextMid(t, 6, 1), "f"},
      {"mid s zero", TextMid(t, 0, 3), ""},
      {"mid s negative", TextMid(t, -2, 5), ""},
      {"mid s beyond", TextMid(t, 7, 1), ""},
      {"mid n zero", TextMid(t, 2, 0), ""},
      {"mid n negative", TextMid(t, 2, -1), ""},
      // Cutting may split a double-byte character: positions are bytes.
      {"left halves a character", TextLeft(T(kZhong), 1), "\xD6"},
      {"mid from a second byte", TextMid(T("\xD6\xD0" "a"), 2, 2), "\xD0" "a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(c.got.bytes(), c.want);
  }
  EXPECT_EQ(TextLength(T(kZhong)), 2);
  EXPECT_EQ(TextLength(Text()), 0);
}

TEST(TextPrimitivesTest, FindTextFollowsStartCaseAndCharacterRules) {
  struct Case {
    const char* label;
    std::string_view t;
    std::string_view sub;
    int start;
    bool ignoreCase;
    int want;
  };
  const std::string evenRun(4000, '\xB0');  // 2000 whole characters
  const std::string oddRun(4001, '\xB0');   // the last lead byte takes the next byte
  const std::string evenRunX = evenRun + "x";
  const std::string oddRunX = oddRun + "xx";
  // Ignoring case, long texts are folded a window of 64 KiB at a time: a match
  // across the first window's end, and a letter that starts the second
  // window right after a double-byte character.
  constexpr std::size_t kWindow = 64 * 1024;
  const std::string acrossWindows = std::string(kWindow - 2, 'a') + "TIME";
  const std::string windowAfterChar = std::string(kWindow - 2, 'a') + "\xD6\xD0" + "T";
  const std::string trailAtWindow = std::string(kWindow - 1, 'a') + "\x95" "T" "T";
  const Case cases[] = {
      {"first occurrence", "abcabc", "bc", 1, false, 2},
      {"from start", "abcabc", "bc", 3, false, 5},
      {"start zero counts as one", "abcabc", "bc", 0, false, 2},
      {"negative start counts as one", "abcabc", "bc", -5, false, 2},
      {"start at last byte", "abcabc", "c", 6, false, 6},
      {"start beyond length", "abcabc", "c", 7, false, -1},
      {"not found", "abcabc", "cb", 1, false, -1},
      {"empty text", "", "a", 1, false, -1},
      {"empty sub", "abc", "", 1, false, 1},
      {"empty sub from later start", "abc", "", 3, false, 1},
      {"empty sub beyond length", "abc", "", 4, false, -1},
      {"empty sub in empty text", "", "", 1, false, -1},
      {"case counts by default", "xABC", "bc", 1, false, -1},
      {"ignoring case", "xABC", "bc", 1, true, 3},
      {"ignoring case, folded needle", "xabc", "BC", 1, true, 3},
      // The 't' after 0x95 is that character's second byte: a byte-wise
      // search would find "time" at 2.
      {"second byte is not a match start", "\x95time", "time", 1, false, -1},
      {"later match at a character start", "\x95time time", "time", 1, false, 7},
      {"second byte skipped ignoring case", "\x95TIME", "time", 1, true, -1},
      {"match across two characters", "\xD6\xD0\xD6\xD0", "\xD0\xD6", 1, false, -1},
      {"start inside a character", "\xD6\xD0\xD6\xD0", "\xD6\xD0", 2, false, 3},
      {"start on a second byte that looks like the sub", "\xB0" "aa", "a", 2, false, 3},
      {"lone lead byte at the end", "a\xB0", "\xB0", 1, false, 2},
      {"after an even run of lead bytes", evenRunX, "x", 1, false, 4001},
      {"after an odd run of lead bytes", oddRunX, "x", 1, false, 4003},
      {"from inside a long run", oddRunX, "x", 3000, false, 4003},
      // Folding leaves second bytes alone: 0x95 'A' and 0x95 'a' are two
      // different characters whatever the case option says.
      {"fold keeps second bytes of the text", "\x95" "A", "\x95" "a", 1, true, -1},
      {"fold keeps second bytes of the sub", "\x95" "a", "\x95" "A", 1, true, -1},
      {"double-byte sub ignoring case", "x\x95" "aB", "\x95" "ab", 1, true, 2},
      {"match across fold windows", acrossWindows, "time", 1, true, kWindow - 1},
      {"letter after a character at a window start", windowAfterChar, "t", 1, true, kWindow + 1},
      {"second byte at a window start", trailAtWindow, "t", 1, true, kWindow + 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(FindText(T(c.t), T(c.sub), c.start, c.ignoreCase), c.want);
  }
}

TEST(TextPrimitivesTest, FindTextReverseFindsLastWhollyBeforeStart) {
  struct Case {
    const char* label;
    std::string_view t;
    std::string_view sub;
    std::optional<int> start;
    int want;
  };
  const Case cases[] = {
      {"anywhere", "a.b.c", ".", std::nullopt, 4},
      {"occurrence ending just before start", "a.b.c", ".", 5, 4},
      {"occurrence at start is not before it", "a.b.c", ".", 4, 2},
      {"nothing before", "a.b.c", ".", 2, -1},
      {"start one", "a.b.c", ".", 1, -1},
      {"start zero", "a.b.c", ".", 0, -1},
      {"negative start", "a.b.c", ".", -3, -1},
      {"start beyond length", "a.b.c", ".", 99, 4},
      {"dot in the last byte is never before the length", "a.b.", ".", 4, 2},
      {"overlapping the start position", "abab", "ab", 4, 1},
      {"wholly before", "abab", "ab", 5, 3},
      {"not found", "abc", "x", std::nullopt, -1},
      {"empty sub", "abc", "", std::nullopt, -1},
      {"empty text", "", ".", std::nullopt, -1},
      {"exact case", "aXa", "x", std::nullopt, -1},
      {"second byte is not a match", "a.\x95.", ".", std::nullopt, 2},
      {"match after a double-byte character", "\xD6\xD0:1\xD6\xD0:2", ":", std::nullopt, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(FindTextReverse(T(c.t), T(c.sub), c.start), c.want);
  }
}

TEST(TextPrimitivesTest, CaseConversionTouchesAsciiLettersAtCharacterStartsOnly) {
  EXPECT_EQ(ToLowerText("AbC-1z"_t), "abc-1z"_t);
  EXPECT_EQ(ToUpperText("AbC-1z"_t), "ABC-1Z"_t);
  EXPECT_EQ(ToLowerText(T("\x95" "AB")), T("\x95" "Ab"));
  EXPECT_EQ(ToUpperText(T("\x95" "ab")), T("\x95" "aB"));
  EXPECT_EQ(ToLowerText(T("X\xB0")), T("x\xB0"));
  EXPECT_EQ(ToUpperText(Text()), Text());
}

// Lower-casing works on many bytes at a time; a plain walk over the
// characters is the reference, on texts that mix ASCII letters with lead
// bytes in runs of every parity and length, across every block boundary.
TEST(TextPrimitivesTest, ToLowerTextAgreesWithCharacterWalk) {
  auto walk = [](const std::string& s) {
    std::string lower = s;
    for (std::size_t i = 0; i < lower.size(); ++i) {
      if (static_cast<unsigned char>(lower[i]) >= 0x80) {
        ++i;  // the next byte belongs to this character
      } else if (lower[i] >= 'A' && lower[i] <= 'Z') {
        lower[i] = static_cast<char>(lower[i] - 'A' + 'a');
      }
    }
    return lower;
  };
  std::mt19937 random(7);
  const std::string alphabet = "AZaz@[ \x80\x95\xA1\xD6\xFE";
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::uniform_int_distribution<int> runLength(0, 70);
  int mismatches = 0;
  for (int round = 0; round < 300; ++round) {
    std::string text;
    const std::size_t size = static_cast<std::size_t>(round) * 3;
    while (text.size() < size) {
      // Alternate single bytes with runs of lead bytes, the case that needs
      // counting across words and blocks.
      text += alphabet[pick(random)];
      if (round % 2 == 1) text += std::string(static_cast<std::size_t>(runLength(random)), '\xB0');
    }
    mismatches += ToLowerText(T(text)).bytes() == walk(text) ? 0 : 1;
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(TextPrimitivesTest, TrimAndRemoveSpacesCharWise) {
  struct Case {
    const char* label;
    std::string t;
    std::string trimmed;
    std::string withoutSpaces;
  };
  const std::string ws(kWideSpace);
  const Case cases[] = {
      {"ascii spaces", "  a b  ", "a b", "ab"},
      {"double-byte spaces", ws + "a" + ws + "b" + ws, "a" + ws + "b", "ab"},
      {"mixed spaces", " " + ws + " a " + ws, "a", "a"},
      {"tab CR LF are not spaces", "\ta \r\n", "\ta \r\n", "\ta\r\n"},
      {"only spaces", "  " + ws, "", ""},
      {"empty", "", "", ""},
      // 0x95 0x20 is one character: its second byte is no space.
      {"space as second byte", "a\x95 ", "a\x95 ", "a\x95 "},
      // 0xB0 0xA1 is one character, the last 0xA1 stands alone: no wide space.
      {"wide space out of step", "\xB0\xA1\xA1", "\xB0\xA1\xA1", "\xB0\xA1\xA1"},
      {"wide space after a character", "\xD6\xD0" + ws, "\xD6\xD0", "\xD6\xD0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(TrimText(T(c.t)).bytes(), c.trimmed);
    EXPECT_EQ(RemoveSpaces(T(c.t)).bytes(), c.withoutSpaces);
  }
}

TEST(TextPrimitivesTest, ReplaceTextLeftToRightWithoutOverlap) {
  struct Case {
    const char* label;
    std::string_view t;
    std::string_view sub;
    std::string_view rep;
    bool caseSensitive;
    std::string_view want;
  };
  const Case cases[] = {
      {"every occurrence", "a-b-c", "-", "+", true, "a+b+c"},
      {"empty replacement removes", "a-b-c", "-", "", true, "abc"},
      {"non-overlapping", "aaaa", "aa", "b", true, "bb"},
      {"left to right", "aaa", "aa", "b", true, "ba"},
      {"replacement is not searched again", "aa", "a", "aa", true, "aaaa"},
      {"case sensitive", "Xx-xX", "x", "y", true, "Xy-yX"},
      {"ignoring case", "Xx-xX", "x", "y", false, "yy-yy"},
      {"empty text", "", "a", "b", true, ""},
      {"empty sub", "abc", "", "x", true, "abc"},
      {"not found", "abc", "d", "x", true, "abc"},
      {"second byte is not replaced", "\x95" "aa", "a", "b", true, "\x95" "ab"},
      {"fold keeps second bytes", "\x95" "AA", "a", "b", false, "\x95" "Ab"},
      {"double-byte sub", "\xD6\xD0" "a\xD6\xD0", "\xD6\xD0", "z", true, "zaz"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(ReplaceText(T(c.t), T(c.sub), T(c.rep), c.caseSensitive).bytes(), c.want);
  }
}

TEST(TextPrimitivesTest, SplitTextKeepsEmptyPiecesButATrailingOne) {
  struct Case {
    const char* label;
    std::string_view t;
    std::string_view delim;
    std::vector<std::string> want;
  };
  const Case cases[] = {
      {"pieces in order", "a,b,c", ",", {"a", "b", "c"}},
      {"final delimiter", "a,b,", ",", {"a", "b"}},
      {"only the last empty piece goes", "a,,", ",", {"a", ""}},
      {"empty piece between", "a,,b", ",", {"a", "", "b"}},
      {"empty piece at start", ",a", ",", {"", "a"}},
      {"only a delimiter", ",", ",", {""}},
      {"no delimiter", "abc", ",", {"abc"}},
      {"empty text", "", ",", {}},
      {"empty delimiter", "a,b", "", {"a,b"}},
      {"longer delimiter", "a; b; c", "; ", {"a", "b", "c"}},
      {"exact case", "aXbxc", "x", {"aXb", "c"}},
      {"second byte is no delimiter", "\x95,a,b", ",", {"\x95,a", "b"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::vector<std::string> got = Items(SplitText(T(c.t), T(c.delim)));
    ASSERT_EQ(got.size(), c.want.size());
    EXPECT_EQ(got, c.want);
  }
}

TEST(TextPrimitivesTest, TextToIntReadsLeadingNumber) {
  struct Case {
    const char* label;
    std::string_view t;
    int want;
  };
  const Case cases[] = {
      {"digits", "123", 123},
      {"stops at other character", "12x3", 12},
      {"stops at space", "12 34", 12},
      {"negative", "-45", -45},
      {"plus", "+7", 7},
      {"leading white space", " \t\r\n\v\f8", 8},
      {"no digits", "abc", 0},
      {"empty", "", 0},
      {"sign alone", "-", 0},
      {"space after sign", "- 5", 0},
      {"hex is not read", "0x10", 0},
      {"largest", "2147483647", INT_MAX},
      {"smallest", "-2147483648", INT_MIN},
      {"saturates high", "2147483648", INT_MAX},
      {"saturates low", "-2147483649", INT_MIN},
      {"saturates far beyond", "99999999999999999999999", INT_MAX},
      {"full-width digits", "\xA3\xB1\xA3\xB2", 12},
      {"full-width minus", "\xA3\xAD\xA3\xB3", -3},
      {"full-width plus", "\xA3\xAB" "9", 9},
      {"full-width and ascii mixed", "\xA3\xB1" "2\xA3\xB3", 123},
      {"double-byte space skipped", "\xA1\xA1 42", 42},
      {"other double-byte character stops", "1\xD6\xD0" "2", 1},
      {"0xA3 outside the full-width forms", "\xA3\xA0" "5", 0},
      // A byte-wise reader would take the 0x35 after 0x95 as the digit 5.
      {"digit as second byte", "\x95" "5", 0},
      {"full-width digit out of step", "\xB0\xA3\xB1", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(TextToInt(T(c.t)), c.want);
  }
}

// Searches that move backwards must not trust what a later search learnt.
TEST(CharwiseFinderTest, SearchingBackwardsAfterForwardsStaysCorrect) {
  const std::string hay = "\xB0x\xB0\xB0x\xB0\xB0\xB0x";  // only the 'x' at 4 starts a character
  charwise::Finder finder(hay);
  EXPECT_EQ(finder.Find("x", 5), charwise::kNotFound);
  EXPECT_EQ(finder.Find("x", 0), 4u);
  EXPECT_TRUE(finder.IsCharStart(2));
  EXPECT_FALSE(finder.IsCharStart(1));
  EXPECT_FALSE(finder.IsCharStart(8));
}

}  // namespace
