#include "text/markers.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "text/text.h"

using namespace text_literals;

namespace {

Text T(std::string_view bytes) { return Text(bytes); }

std::vector<std::string> Items(const TextList& list) {
  std::vector<std::string> items;
  for (int i = 1; i <= list.Count(); ++i) items.push_back(list.Item(i).bytes());
  return items;
}

// "#引号" in GBK, the marker word that stands for a double quote.
constexpr std::string_view kQuoteWord = "#\xD2\xFD\xBA\xC5";

constexpr std::string_view kTimeLeft = "\"time\":\"";
constexpr std::string_view kContextLeft = "context\":\"";
constexpr std::string_view kQuote = "\"";

TEST(GetTextBetweenTest, CutsBetweenFirstLeftAndNextRightMarker) {
  struct Case {
    const char* label;
    std::string_view source;
    std::string left;
    std::string_view right;
    int startPos;
    bool ignoreCase;
    std::string_view want;
  };
  const std::string qw(kQuoteWord);
  const Case cases[] = {
      {"value", "a[x]b", "[", "]", 0, false, "x"},
      {"left marker absent", "a(x]b", "[", "]", 0, false, ""},
      {"no right marker after left", "]a[x", "[", "]", 0, false, ""},
      {"adjacent markers", "a[]b", "[", "]", 0, false, ""},
      {"earlier right marker ignored", "]a[x]", "[", "]", 0, false, "x"},
      {"right marker overlapping left is not considered", "abcd", "abc", "cd", 0, false, ""},
      {"quote as both markers", "x \"first\" \"second\"", "\"", "\"", 0, false, "first"},
      {"spaces kept", "[ x ]", "[", "]", 0, false, " x "},
      {"start position", "[a] [b]", "[", "]", 2, false, "b"},
      {"start zero", "[a] [b]", "[", "]", 0, false, "a"},
      {"negative start", "[a] [b]", "[", "]", -4, false, "a"},
      {"start beyond length", "[a]", "[", "]", 9, false, ""},
      {"case counts by default", "user-agent: X\r\n", "User-Agent:", "\r\n", 0, false, ""},
      {"ignoring case", "user-agent: X\r\n", "User-Agent:", "\r\n", 0, true, " X"},
      {"quote word in left marker", "{\"comCode\":\"yt\",\"n\":1}", "comCode" + qw + ":" + qw,
       "\"", 0, false, "yt"},
      {"quote word in both markers", "{\"comCode\":\"yt\",\"n\":1}", qw + "comCode" + qw + ":" + qw,
       qw, 0, false, "yt"},
      {"quotes written out", "{\"comCode\":\"yt\",\"n\":1}", "comCode\":\"", "\"", 0, false, "yt"},
      // 0x95 't' is one character, so "time" does not start at the 't'.
      {"left marker inside a character skipped", "\x95time\":\"bad\",\"time\":\"good\"",
       "time\":\"", "\"", 0, false, "good"},
      {"right marker inside a character skipped", "[\x95]x]", "[", "]", 0, false, "\x95]x"},
      {"value of double-byte characters", "[\xD6\xD0\xCE\xC4]", "[", "]", 0, false,
       "\xD6\xD0\xCE\xC4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(GetTextBetween(T(c.source), T(c.left), T(c.right), c.startPos, c.ignoreCase).bytes(),
              c.want);
  }
}

TEST(GetFieldValueTest, ReadsValueUpToNextQuotedMember) {
  struct Case {
    const char* label;
    std::string_view source;
    std::string_view key;
    std::string_view want;
  };
  const Case cases[] = {
      {"members follow", "{\"message\":\"ok\",\"nu\":\"123\",\"data\":[]}", "message", "ok"},
      {"last member runs on to a later member",
       "{\"a\":{\"status\":\"200\"},\"message\":\"ok\",\"x\":\"y\"}", "status",
       "200\"},\"message\":\"ok"},
      {"last member with nothing after", "{\"message\":\"ok\"}", "message", ""},
      {"longer key ending in the key matches",
       "{\"errmessage\":\"bad\",\"message\":\"ok\",\"x\":\"\"}", "message", "bad"},
      {"key case counts", "{\"Message\":\"ok\",\"a\":\"b\"}", "message", ""},
      {"key absent", "{\"status\":\"200\",\"a\":\"b\"}", "message", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(GetFieldValue(T(c.source), T(c.key)).bytes(), c.want);
  }
}

// One tracking answer event; the time may be empty.
std::string Event(std::string_view time, std::string_view context) {
  return "{\"time\":\"" + std::string(time) + "\",\"ftime\":\"" + std::string(time) +
         "\",\"context\":\"" + std::string(context) + "\"}";
}

TEST(CollectAllBetweenTest, CollectsTrackingEventsInOrder) {
  const std::string answer = "{\"message\":\"ok\",\"data\":[" + Event("2024-05-01 10:00:00", "\xD6\xD0") +
                             "," + Event("2024-05-01 09:00:00", "\x95\"x") + "]}";
  TextList times;
  ASSERT_EQ(CollectAllBetween(T(answer), T(kTimeLeft), T(kQuote), times), 2);
  EXPECT_EQ(Items(times), (std::vector<std::string>{"2024-05-01 10:00:00", "2024-05-01 09:00:00"}));

  // 0x95 0x22 is one character, so its quote does not close the value.
  TextList contexts;
  ASSERT_EQ(CollectAllBetween(T(answer), T(kContextLeft), T(kQuote), contexts), 2);
  EXPECT_EQ(Items(contexts), (std::vector<std::string>{"\xD6\xD0", "\x95\"x"}));
}

TEST(CollectAllBetweenTest, StopsAtFirstMissingOrUnfitValue) {
  struct Case {
    const char* label;
    std::string source;
    std::string_view left;
    std::string_view right;
    int maxLength;
    std::vector<std::string> want;
  };
  const std::string wideSpace = "\xA1\xA1";
  const Case cases[] = {
      {"left marker absent", "no markers here", "[", "]", 0, {}},
      {"empty third time", Event("t1", "a") + Event("t2", "b") + Event("", "c") + Event("t4", "d"),
       kTimeLeft, kQuote, 0, {"t1", "t2"}},
      {"no right marker after the last left", "[a][b", "[", "]", 0, {"a"}},
      {"values trimmed", "[ a ][" + wideSpace + "b" + wideSpace + "]", "[", "]", 0, {"a", "b"}},
      {"value of spaces stops", "[a][ " + wideSpace + " ][b]", "[", "]", 0, {"a"}},
      {"max length", "[12345678][123456789][123456789012][12345]", "[", "]", 10,
       {"12345678", "123456789"}},
      {"negative max length", "[a][b]", "[", "]", -1, {}},
      {"right marker opens the next value", "\"a\"x\"b\"", "\"", "\"", 0, {"a", "x", "b"}},
      {"empty left marker", "[a]", "", "]", 0, {}},
      {"empty right marker", "[a]", "[", "", 0, {}},
      {"left marker inside a character skipped", "\x95time\":\"x\",\"time\":\"y\"", kTimeLeft,
       kQuote, 0, {"y"}},
      // 4001 lead bytes: the last one takes the first '[' as its second byte.
      {"after an odd run of lead bytes", std::string(4001, '\xB0') + "[a][b]", "[", "]", 0, {"b"}},
      {"after an even run of lead bytes", std::string(4000, '\xB0') + "[a][b]", "[", "]", 0,
       {"a", "b"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TextList items;
    items.Append("left over"_t);
    const int count = CollectAllBetween(T(c.source), T(c.left), T(c.right), items, false, c.maxLength);
    ASSERT_EQ(count, static_cast<int>(c.want.size()));
    EXPECT_EQ(Items(items), c.want);
  }
}

TEST(CollectAllBetweenTest, IgnoresCaseByDefaultOnEveryMatch) {
  const Text source = T("{\"TIME\":\"a\",\"Time\":\"b\",\"time\":\"c\"}");
  TextList items;
  ASSERT_EQ(CollectAllBetween(source, T(kTimeLeft), T(kQuote), items), 3);
  EXPECT_EQ(Items(items), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(CollectAllBetween(source, T(kTimeLeft), T(kQuote), items, true), 1);
  EXPECT_EQ(items.Item(1), "c"_t);
}

// 0x95 'A' and 0x95 'a' are different characters: folding must not reach the
// second byte of a double-byte character, in the text or in the marker.
TEST(CollectAllBetweenTest, FoldingLeavesSecondBytesAlone) {
  const Text source = T("\x95" "a=1;\x95" "A=2;X=3;");
  TextList items;
  ASSERT_EQ(CollectAllBetween(source, T("\x95" "A="), T(";"), items), 1);
  EXPECT_EQ(items.Item(1), "2"_t);
  ASSERT_EQ(CollectAllBetween(source, T("x="), T(";"), items), 1);
  EXPECT_EQ(items.Item(1), "3"_t);
}

TEST(CollectAllBetweenTest, DressesItemsWithMarkersAsPassed) {
  // Matched ignoring case: the items carry the markers as passed, not the
  // bytes found in the source.
  const Text source = T("K=v1;K=v2;");
  TextList items;
  ASSERT_EQ(CollectAllBetween(source, "k="_t, ";"_t, items, false, 0, "<"_t, ">"_t, true, true), 2);
  EXPECT_EQ(Items(items), (std::vector<std::string>{"k=<v1>;", "k=<v2>;"}));
  ASSERT_EQ(CollectAllBetween(source, "k="_t, ";"_t, items, false, 0, "<"_t, ">"_t), 2);
  EXPECT_EQ(Items(items), (std::vector<std::string>{"<v1>", "<v2>"}));
}

TEST(CollectAllBetweenTest, StartPositionIsReadAsByFindText) {
  struct Case {
    const char* label;
    int startPos;
    std::vector<std::string> want;
  };
  const Case cases[] = {
      {"zero", 0, {"a", "b"}},
      {"negative", -3, {"a", "b"}},
      {"past the first left marker", 2, {"b"}},
      {"beyond length", 99, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TextList items;
    const int count = CollectAllBetween("[a][b]"_t, "["_t, "]"_t, items, false, 0, Text(), Text(),
                                        false, false, c.startPos);
    ASSERT_EQ(count, static_cast<int>(c.want.size()));
    EXPECT_EQ(Items(items), c.want);
  }
}

TEST(CollectAllBetweenTest, CollectsManyValuesFromLongAnswer) {
  std::string answer = "{\"message\":\"ok\",\"data\":[";
  constexpr int kEvents = 10000;
  for (int i = 0; i < kEvents; ++i) {
    answer += Event(std::to_string(i), "\xD6\xD0\x95t\xCE\xC4");
    answer += ",";
  }
  answer += "]}";
  TextList times;
  ASSERT_EQ(CollectAllBetween(T(answer), T(kTimeLeft), T(kQuote), times), kEvents);
  int misplaced = 0;
  for (int i = 1; i <= kEvents; ++i) misplaced += times.Item(i) == T(std::to_string(i - 1)) ? 0 : 1;
  EXPECT_EQ(misplaced, 0);
}

}  // namespace
