#include "lookup/courier.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "http/fetch.h"
#include "support/standin_service.h"

using namespace text_literals;

namespace {

// GBK from a readable UTF-8 literal, through the code-page layer.
Text Gbk(const char* utf8) { return Utf8ToAnsi(Text(utf8)); }

const std::string kServiceHost = "http://track.parceltrace.example";

std::string DetectionLine(const std::string& encodedNumber) {
  return "GET " + kServiceHost + "/autonumber/auto?num=" + encodedNumber + " HTTP/1.1";
}
std::string QueryLine(const std::string& code, const std::string& encodedNumber) {
  return "GET " + kServiceHost + "/query?type=" + code + "&postid=" + encodedNumber +
         "&id=1&valicode=&temp=0.8168420690247891 HTTP/1.1";
}

// The stand-in service for the whole binary, reached as the proxy that the
// page fetch takes from the environment.
StandinService& Service() {
  static StandinService service;
  return service;
}

class LookupTrackingTest : public testing::Test {
 protected:
  void SetUp() override {
    setenv("http_proxy", Service().Address().c_str(), 1);
    Service().ClearRequests();
  }
  void TearDown() override { unsetenv("http_proxy"); }

  // Runs a lookup and records every label the lookup set.
  Text Lookup(const Text& number, TextList& times, TextList& descriptions) {
    labels.clear();
    return LookupTracking(number, times, descriptions,
                          [this](const Text& label) { labels.push_back(label); });
  }

  std::vector<Text> labels;
};

TEST(CourierTableTest, NamesAndStatusTextsAreTheirGbkBytes) {
  const struct {
    const char* code;
    const char* name;
  } expected[] = {
      {"yunda", "韵达快递"},         {"yuantong", "圆通快递"},     {"shentong", "申通快递"},
      {"zhaijisong", "宅急送"},      {"zhongtong", "中通快递"},    {"ems", "邮政快递"},
      {"shunfeng", "顺丰快递"},      {"huitongkuaidi", "百世汇通"}, {"tiantian", "天天快递"},
      {"quanfengkuaidi", "全峰"},    {"debangwuliu", "德邦快递"},
  };
  const auto& companies = CourierCompanies();
  ASSERT_EQ(companies.size(), std::size(expected));
  for (std::size_t i = 0; i < companies.size(); ++i) {
    SCOPED_TRACE(expected[i].code);
    EXPECT_EQ(companies[i].code.bytes(), expected[i].code);
    EXPECT_EQ(companies[i].displayName, Gbk(expected[i].name));
  }
  EXPECT_EQ(CompanyDisplayName("quanfengkuaidi"_t).bytes(), "\xc8\xab\xb7\xe5");
  EXPECT_TRUE(CompanyDisplayName("EMS"_t).empty());
  EXPECT_TRUE(CompanyDisplayName(Text()).empty());
  EXPECT_EQ(LookupSucceededStatus(), Gbk("成功"));
  EXPECT_EQ(CompanyUnknownStatus(), Gbk("无法判断类型，请检查快递号"));
}

TEST(CourierUrlTest, NumberGoesInAsTyped) {
  EXPECT_EQ(DetectionUrl(Text()).bytes(), kServiceHost + "/autonumber/auto?num=");
  EXPECT_EQ(DetectionUrl(" a b "_t).bytes(), kServiceHost + "/autonumber/auto?num= a b ");
  EXPECT_EQ(TrackingQueryUrl("ems"_t, "1&2"_t).bytes(),
            kServiceHost + "/query?type=ems&postid=1&2&id=1&valicode=&temp=0.8168420690247891");
}

TEST_F(LookupTrackingTest, EachKindOfAnswer) {
  struct Case {
    const char* label;
    const char* number;
    const char* companyLabel;  // UTF-8
    const char* status;        // UTF-8
    const char* queryCode;     // null: no query is sent
    int times;
    int descriptions;
  } cases[] = {
      {"a delivered parcel", "4318001234567", "快递类型： 韵达快递", "成功", "yunda", 7, 7},
      {"the table's last row", "DPK360912873645", "快递类型： 德邦快递", "成功", "debangwuliu", 7, 7},
      {"a name without suffix", "720184466302", "快递类型： 全峰", "成功", "quanfengkuaidi", 7, 7},
      {"no company", "NC100000001", "", "无法判断类型，请检查快递号", nullptr, 0, 0},
      {"first code empty", "EF200000002", "", "无法判断类型，请检查快递号", nullptr, 0, 0},
      {"a code outside the table", "UC300000003", "EMS", "成功", "EMS", 5, 5},
      {"an error message", "NE400000004", "快递类型： 圆通快递",
       "快递公司参数异常：单号不存在或者已经过期", "yuantong", 0, 0},
      {"OK is not ok", "OK500000005", "快递类型： 申通快递", "OK", "shentong", 0, 0},
      {"ok without events", "ND600000006", "快递类型： 中通快递", "成功", "zhongtong", 0, 0},
      {"an empty description", "ED700000007", "快递类型： 韵达快递", "成功", "yunda", 6, 2},
      {"an empty time", "ET800000008", "快递类型： 天天快递", "成功", "tiantian", 1, 5},
      {"message as the last field", "ML900000009", "快递类型： 德邦快递", "", "debangwuliu", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Service().ClearRequests();
    TextList times;
    TextList descriptions;
    const Text status = Lookup(Text(c.number), times, descriptions);

    EXPECT_EQ(status, Gbk(c.status));
    ASSERT_EQ(labels.size(), 1u);
    EXPECT_EQ(labels[0], Gbk(c.companyLabel));
    EXPECT_EQ(times.Count(), c.times);
    EXPECT_EQ(descriptions.Count(), c.descriptions);

    std::vector<std::string> expectedLines = {DetectionLine(c.number)};
    if (c.queryCode) expectedLines.push_back(QueryLine(c.queryCode, c.number));
    EXPECT_EQ(Service().RequestLines(), expectedLines);
  }
}

TEST_F(LookupTrackingTest, ListsKeepTheAnswersOrderAndDecodedText) {
  TextList times;
  TextList descriptions;
  ASSERT_EQ(Lookup("4318001234567"_t, times, descriptions), LookupSucceededStatus());
  ASSERT_EQ(times.Count(), 7);
  ASSERT_EQ(descriptions.Count(), 7);
  EXPECT_EQ(times.Item(1).bytes(), "2024-05-02 08:02:40");
  EXPECT_EQ(times.Item(7).bytes(), "2024-05-01 09:12:40");
  // The service escapes 号 as %E5%8F%B7; the fetch decodes it.
  EXPECT_EQ(descriptions.Item(1),
            Gbk("【南京市】快件已签收，签收人：幸福里3号楼驿站，感谢使用韵达快递，期待再次为您服务"));
  EXPECT_EQ(descriptions.Item(7), Gbk("【杭州市】浙江杭州萧山公司 已揽收"));
}

TEST_F(LookupTrackingTest, AValueEndsAtTheFirstQuoteEvenAfterABackslash) {
  TextList times;
  TextList descriptions;
  Lookup("QU110000011"_t, times, descriptions);
  ASSERT_EQ(descriptions.Count(), 6);
  EXPECT_EQ(descriptions.Item(1), Gbk("【芜湖市】快件已存放至\\"));
}

TEST_F(LookupTrackingTest, ListsStayAsTheyCameWhenTheMessageIsNotOk) {
  TextList times;
  times.Append("kept"_t);
  TextList descriptions;
  descriptions.Append("kept too"_t);
  Lookup("NE400000004"_t, times, descriptions);
  ASSERT_EQ(times.Count(), 1);
  EXPECT_EQ(times.Item(1).bytes(), "kept");
  ASSERT_EQ(descriptions.Count(), 1);
}

TEST_F(LookupTrackingTest, NumberWithSpecialCharactersReachesTheServiceByteForByte) {
  TextList times;
  TextList descriptions;
  const Text number = Gbk("ZT 中通 A&B#12%Z 880");
  EXPECT_EQ(Lookup(number, times, descriptions), LookupSucceededStatus());
  EXPECT_EQ(times.Count(), 4);
  // Space, '#' and the GBK bytes are escaped on the wire; '&' and '%' stand.
  const std::string encoded = "ZT%20%D6%D0%CD%A8%20A&B%2312%Z%20880";
  EXPECT_EQ(Service().RequestLines(),
            (std::vector<std::string>{DetectionLine(encoded), QueryLine("zhongtong", encoded)}));
}

TEST_F(LookupTrackingTest, UnreachableServiceClearsTheLabel) {
  setenv("http_proxy", "http://127.0.0.1:1", 1);
  TextList times;
  TextList descriptions;
  EXPECT_EQ(Lookup("4318001234567"_t, times, descriptions), CompanyUnknownStatus());
  ASSERT_EQ(labels.size(), 1u);
  EXPECT_TRUE(labels[0].empty());
}

}  // namespace
