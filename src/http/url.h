// Cutting a URL into the pieces a request needs: host, port, object path.
// Plain text work, no parser and no validation: every input gives a result.
// Only "http://" and "https://" are recognised; a URL without a scheme is
// taken as http. Bytes of 0x80 and above are carried along untouched.
#pragma once

#include <optional>

#include "text/text.h"

// The host, lower-cased. Without levels (the usual form) the host is what
// stands between the scheme and the next "/"; mainDomain keeps its last two
// labels. With levels supplied (any value, 0 or negative included) the last
// levels + 2 labels are kept (levels + 1 with mainDomain). keepPort keeps the
// ":" and what follows it. The empty URL gives the empty text.
Text GetUrlHost(const Text& url, bool mainDomain = false, bool keepPort = false,
                std::optional<int> levels = std::nullopt);

// The port after the host's last ":", as a number (0 when it is not one);
// without a ":", 443 for a URL starting "https" in any case, else 80.
int GetUrlPort(const Text& url);

// From the first "/" after the host to the end, query and fragment included,
// in the URL's own letter case; "/" when there is none.
Text GetUrlPath(const Text& url);
