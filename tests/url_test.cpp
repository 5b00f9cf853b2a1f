#include "http/url.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace text_literals;

namespace {

struct UrlCase {
  const char* url;
  const char* host;
  const char* hostWithPort;
  int port;
  const char* path;
};

// The forms the request routine uses.
const UrlCase kUrlCases[] = {
    {"http://srv.p.q/x/y?z=1", "srv.p.q", "srv.p.q", 80, "/x/y?z=1"},
    {"HTTP://SRV.P.Q/X/Y", "srv.p.q", "srv.p.q", 80, "/X/Y"},
    {"https://p.q:8443/x", "p.q", "p.q:8443", 8443, "/x"},
    {"HTTPS://P.Q", "p.q", "p.q", 443, "/"},
    {"https://p.q:80/", "p.q", "p.q:80", 80, "/"},
    {"p.q/x", "p.q", "p.q", 80, "/x"},
    {"http://p.q", "p.q", "p.q", 80, "/"},
    {"http://p.q?z=1", "p.q?z=1", "p.q?z=1", 80, "/"},
    {"http://p.q:8080?z=1", "p.q", "p.q:8080?z=1", 8080, "/"},
    {"http://p.q:/x", "p.q", "p.q:", 0, "/x"},
    {"http://p.q/x#f", "p.q", "p.q", 80, "/x#f"},
    {"p.q/r?u=http://s.t/v", "s.t", "s.t", 80, "/v"},
    {"ftp://p.q/x", "ftp", "ftp:", 0, "//p.q/x"},
    {"", "", "", 80, "/"},
    // A host that also stands inside the scheme is looked for after it.
    {"http://h/p?q=1", "h", "h", 80, "/p?q=1"},
    {"http://http/a", "http", "http", 80, "/a"},
    {"HTTPS://t:81/u", "t", "t:81", 81, "/u"},
    // GBK bytes pass through untouched; only ASCII letters are lowered.
    {"http://\xD6\xD0Q.cn/\xCE\xC4", "\xD6\xD0q.cn", "\xD6\xD0q.cn", 80, "/\xCE\xC4"},
};

TEST(UrlTest, SplitsHostPortAndPath) {
  for (const UrlCase& c : kUrlCases) {
    SCOPED_TRACE(c.url);
    const Text url{c.url};
    EXPECT_EQ(GetUrlHost(url).bytes(), c.host);
    EXPECT_EQ(GetUrlHost(url, false, true).bytes(), c.hostWithPort);
    EXPECT_EQ(GetUrlPort(url), c.port);
    EXPECT_EQ(GetUrlPath(url).bytes(), c.path);
  }
}

TEST(UrlTest, MainDomainInSchemeBranch) {
  struct Case {
    const char* url;
    bool keepPort;
    const char* host;
  } cases[] = {
      {"http://srv.p.q:8080/x", false, "p.q"}, {"http://srv.p.q:8080/x", true, "p.q:8080"},
      {"http://a.b.p.q/", false, "p.q"},       {"http://localhost/", false, "localhost"},
      {"http://10.1.2.3/", false, "2.3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    EXPECT_EQ(GetUrlHost(Text(c.url), true, c.keepPort).bytes(), c.host);
  }
}

TEST(UrlTest, LabelCountingBranchTakesEffectWhenLevelsIsSupplied) {
  struct Case {
    int levels;
    const char* deepMain;      // http://a.sub.p.q/x with mainDomain
    const char* deep;          // ... without
    const char* portedMain;    // https://sub.p.q:81/ with mainDomain
    const char* ported;        // ... without
    const char* portedKeep;    // ... without, keepPort
  } cases[] = {
      {-1, "q", "p.q", "q", "p.q", "p.q:81"},
      {0, "q", "p.q", "q", "p.q", "p.q:81"},
      {1, "p.q", "sub.p.q", "p.q", "sub.p.q", "sub.p.q:81"},
      {2, "sub.p.q", "a.sub.p.q", "sub.p.q", "sub.p.q", "sub.p.q:81"},
      {3, "a.sub.p.q", "a.sub.p.q", "sub.p.q", "sub.p.q", "sub.p.q:81"},
  };
  const Text deepUrl = "http://a.sub.p.q/x"_t;
  const Text portedUrl = "https://sub.p.q:81/"_t;
  for (const Case& c : cases) {
    SCOPED_TRACE("levels " + std::to_string(c.levels));
    EXPECT_EQ(GetUrlHost(deepUrl, true, false, c.levels).bytes(), c.deepMain);
    EXPECT_EQ(GetUrlHost(deepUrl, false, false, c.levels).bytes(), c.deep);
    EXPECT_EQ(GetUrlHost(portedUrl, true, false, c.levels).bytes(), c.portedMain);
    EXPECT_EQ(GetUrlHost(portedUrl, false, false, c.levels).bytes(), c.ported);
    EXPECT_EQ(GetUrlHost(portedUrl, false, true, c.levels).bytes(), c.portedKeep);
  }
  // Omitting levels takes the scheme branch, which keeps the whole host.
  EXPECT_EQ(GetUrlHost(deepUrl, false, false, std::nullopt).bytes(), "a.sub.p.q");
}

}  // namespace
