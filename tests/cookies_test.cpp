#include "http/cookies.h"

#include <gtest/gtest.h>

#include "text/text_primitives.h"

using namespace text_literals;

namespace {

TEST(CookiesTest, MergeWritesBothVariablesBack) {
  struct Case {
    const char* current;
    const char* fresh;
    const char* merged;
    const char* freshAfter;
  } cases[] = {
      {"", "", "", ""},
      {"", "a=1; b=2", "a=1; b=2", "a=1;b=2"},
      {"a=1; c=3", "a=2", "a=2; c=3", "a=2"},
      {"a=1; c=3", "c=deleted", "a=1", "c=deleted"},
      {"a=1;b=2;c=3", "b=deleted; d=4", "d=4; a=1; c=3", "b=deleted;d=4"},
      {"a=deleted; b=1", "", "b=1", ""},
      {"", "a=deleted", "", "a=deleted"},
      {"a=1; a=5", "", "a=1", ""},
      {"", "a=1; a=1; a=2", "a=1; a=2", "a=1;a=1;a=2"},
      {"SID=1", "sid=2", "sid=2; SID=1", "sid=2"},
      {"x=hello world", "y=1", "y=1; x=helloworld", "y=1"},
      {"a", "b=2", "b=2; a", "b=2"},
      {"a=1", "b=2;", "b=2; a=1", "b=2;"},
      {"a=1", "b=2;;c=3", "b=2; ; c=3; a=1", "b=2;;c=3"},
      {";a=1", "b=2", "b=2; ; a=1", "b=2"},
      // The GBK double-byte space is a space too.
      {"a=\xA1\xA1x", "b=\xCE\xC4 2", "b=\xCE\xC4" "2; a=x", "b=\xCE\xC4" "2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.current) + " + " + c.fresh);
    Text cookies{c.current};
    Text fresh{c.fresh};
    const Text returned = MergeCookies(cookies, fresh);
    EXPECT_EQ(returned.bytes(), c.merged);
    EXPECT_EQ(cookies.bytes(), c.merged);
    EXPECT_EQ(fresh.bytes(), c.freshAfter);
  }
}

TEST(CookiesTest, CookieNames) {
  struct Case {
    const char* item;
    const char* name;
  } cases[] = {{"a=b=c", "a"}, {"abc", "abc"}, {"=x", ""}, {" a =1", "a"}, {"", ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.item);
    EXPECT_EQ(GetCookieName(Text(c.item)).bytes(), c.name);
  }
  const TextList items = SplitText("x=1;SID=2"_t, ";"_t);
  EXPECT_TRUE(HasCookieName(items, "SID"_t));
  EXPECT_FALSE(HasCookieName(items, "sid"_t));
  EXPECT_FALSE(HasCookieName(TextList(), ""_t));
}

TEST(CookiesTest, RemoveDuplicateItemsKeepsFirstOccurrences) {
  struct Case {
    const char* text;
    const char* delimiter;
    const char* result;
  } cases[] = {
      {"a; b; a; c; b", "; ", "a; b; c"},
      {"a; b; a; c; b; ", "; ", "a; b; c"},
      {"a,b,a", ",", "a,b"},
      {"", "; ", ""},
      {"a;;b;;c", ";", "a;;b;c"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(RemoveDuplicateItems(Text(c.text), Text(c.delimiter)).bytes(), c.result);
  }
}

TEST(CookiesTest, FindItemIsExact) {
  const TextList items = SplitText("a;b;A;b"_t, ";"_t);
  EXPECT_EQ(FindItem(items, "b"_t), 2);
  EXPECT_EQ(FindItem(items, "A"_t), 3);
  EXPECT_EQ(FindItem(items, "c"_t), -1);
  EXPECT_EQ(FindItem(TextList(), ""_t), -1);
}

}  // namespace
