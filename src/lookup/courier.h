// The courier lookup: which company a tracking number belongs to, and the
// events of its tracking record, asked of the courier-tracking service.
#pragma once

#include <functional>
#include <vector>

#include "text/text.h"

// The service's base address: scheme and host, no port, no path. A compatible
// service is reached under this name through name resolution or a proxy.
inline constexpr const char* kServiceBaseAddress = "http://track.parceltrace.example";

// One row of the company table: the code the service detects, and the name
// shown for it (GBK).
struct CourierCompany {
  Text code;
  Text displayName;
};

// The companies the tool names, in table order.
const std::vector<CourierCompany>& CourierCompanies();

// The display name for a code (exact bytes); the empty text when no row has it.
Text CompanyDisplayName(const Text& code);

// The detection request's URL and the tracking query's URL. The number goes in
// byte for byte, as typed: not trimmed, not encoded.
Text DetectionUrl(const Text& number);
Text TrackingQueryUrl(const Text& code, const Text& number);

// Asks the service which company the number belongs to (one request). The
// empty text when the request fails or the answer names none.
Text DetectCompany(const Text& number);

// The status texts a lookup ends with (GBK): success, and no company found.
const Text& LookupSucceededStatus();
const Text& CompanyUnknownStatus();

// Detects the company, shows it through setCompanyLabel (called exactly once,
// before the query: "快递类型： " and the name, or the bare code when the
// table lacks it, or the empty text), then queries the record. When the
// answer's message is "ok", times and descriptions are emptied and filled in
// the answer's order and LookupSucceededStatus() comes back. Otherwise the
// lists stay as they came and the status is CompanyUnknownStatus() (no query
// sent) or the service's message itself, possibly empty.
Text LookupTracking(const Text& number, TextList& times, TextList& descriptions,
                    const std::function<void(const Text&)>& setCompanyLabel);
