#include "lookup/courier.h"

#include "http/fetch.h"
#include "text/markers.h"

using namespace text_literals;

namespace {

const Text kDetectionPath = "/autonumber/auto?num="_t;
const Text kQueryPath = "/query?type="_t;
const Text kQueryNumberKey = "&postid="_t;
// Constant on every query: the service expects these parameters as they stand.
const Text kQueryTail = "&id=1&valicode=&temp=0.8168420690247891"_t;

const Text kCompanyCodeMarker = "comCode\":\""_t;
const Text kValueEnd = "\""_t;
const Text kMessageField = "message"_t;
const Text kMessageOk = "ok"_t;
const Text kEventTimeMarker = "\"time\":\""_t;
const Text kEventDescriptionMarker = "context\":\""_t;

const Text kLabelPrefix = "\xbf\xec\xb5\xdd\xc0\xe0\xd0\xcd\xa3\xba "_t;  // 快递类型：
const Text kSucceeded = "\xb3\xc9\xb9\xa6"_t;                             // 成功
// 无法判断类型，请检查快递号
const Text kCompanyUnknown =
    "\xce\xde\xb7\xa8\xc5\xd0\xb6\xcf\xc0\xe0\xd0\xcd\xa3\xac"
    "\xc7\xeb\xbc\xec\xb2\xe9\xbf\xec\xb5\xdd\xba\xc5"_t;

}  // namespace

const std::vector<CourierCompany>& CourierCompanies() {
  static const std::vector<CourierCompany> companies = {
      {"yunda"_t, "\xd4\xcf\xb4\xef\xbf\xec\xb5\xdd"_t},           // 韵达快递
      {"yuantong"_t, "\xd4\xb2\xcd\xa8\xbf\xec\xb5\xdd"_t},        // 圆通快递
      {"shentong"_t, "\xc9\xea\xcd\xa8\xbf\xec\xb5\xdd"_t},        // 申通快递
      {"zhaijisong"_t, "\xd5\xac\xbc\xb1\xcb\xcd"_t},              // 宅急送
      {"zhongtong"_t, "\xd6\xd0\xcd\xa8\xbf\xec\xb5\xdd"_t},       // 中通快递
      {"ems"_t, "\xd3\xca\xd5\xfe\xbf\xec\xb5\xdd"_t},             // 邮政快递
      {"shunfeng"_t, "\xcb\xb3\xb7\xe1\xbf\xec\xb5\xdd"_t},        // 顺丰快递
      {"huitongkuaidi"_t, "\xb0\xd9\xca\xc0\xbb\xe3\xcd\xa8"_t},   // 百世汇通
      {"tiantian"_t, "\xcc\xec\xcc\xec\xbf\xec\xb5\xdd"_t},        // 天天快递
      {"quanfengkuaidi"_t, "\xc8\xab\xb7\xe5"_t},                  // 全峰
      {"debangwuliu"_t, "\xb5\xc2\xb0\xee\xbf\xec\xb5\xdd"_t},     // 德邦快递
  };
  return companies;
}

Text CompanyDisplayName(const Text& code) {
  for (const CourierCompany& company : CourierCompanies()) {
    if (company.code == code) return company.displayName;
  }
  return Text();
}

Text DetectionUrl(const Text& number) {
  return Text(kServiceBaseAddress) + kDetectionPath + number;
}

Text TrackingQueryUrl(const Text& code, const Text& number) {
  return Text(kServiceBaseAddress) + kQueryPath + code + kQueryNumberKey + number + kQueryTail;
}

Text DetectCompany(const Text& number) {
  const Text page = FetchPage(DetectionUrl(number));
  return GetTextBetween(page, kCompanyCodeMarker, kValueEnd);
}

const Text& LookupSucceededStatus() { return kSucceeded; }
const Text& CompanyUnknownStatus() { return kCompanyUnknown; }

Text LookupTracking(const Text& number, TextList& times, TextList& descriptions,
                    const std::function<void(const Text&)>& setCompanyLabel) {
  const Text code = DetectCompany(number);
  const Text name = CompanyDisplayName(code);
  setCompanyLabel(name.empty() ? code : kLabelPrefix + name);
  if (code.empty()) return kCompanyUnknown;

  const Text page = FetchPage(TrackingQueryUrl(code, number));
  const Text message = GetFieldValue(page, kMessageField);
  if (message != kMessageOk) return message;

  CollectAllBetween(page, kEventTimeMarker, kValueEnd, times);
  CollectAllBetween(page, kEventDescriptionMarker, kValueEnd, descriptions);
  return kSucceeded;
}
