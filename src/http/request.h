// One complete HTTP exchange through the Internet API.
#pragma once

#include <optional>

#include "text/text.h"

// Requests url and returns the response body; the empty Bytes both for an
// empty body and for a failed exchange (nothing else reports a failure).
//
// method: 1 "POST" with a body; any other value "GET", and a value other than
//   0 and 1 still sends the body.
// postText: the body when postBytes is empty.
// cookies: omitted (null), the Internet API keeps cookies itself. Supplied,
//   even empty: its own store is switched off, a non-empty text is sent in a
//   Cookie line, and the response's cookies are merged back into it.
// returnedCookies: receives the cookies the response set, "name=value"
//   items joined by "; " (by ";" once merged into supplied cookies).
// headers: extra request header lines separated by "\r\n"; receives the
//   composed header text that was sent.
// returnedHeaders: receives the raw response header block, or 5000 spaces
//   when there was no response or the block did not fit into 5000 bytes.
// noRedirect: a redirect response is itself the result.
// postBytes: the body bytes; filled from postText when a body is sent and it
//   is empty.
// proxy: omitted, a direct connection; supplied, even empty, "host:port" of
//   a proxy, and an empty one means the platform's own proxy settings.
// Every pointer may be null (omitted). Texts are GBK and go out unchanged.
Bytes HttpRequest(const Text& url, int method = 0, const Text& postText = Text(),
                  Text* cookies = nullptr, Text* returnedCookies = nullptr,
                  Text* headers = nullptr, Text* returnedHeaders = nullptr,
                  bool noRedirect = false, Bytes* postBytes = nullptr,
                  const std::optional<Text>& proxy = std::nullopt);

// Everything after the first ":" of text, trimmed of spaces (line breaks
// stay); the empty text when it holds no ":".
Text GetHeaderValue(const Text& text);
