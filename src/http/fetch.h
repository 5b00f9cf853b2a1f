// Fetching a page as text, and the decoding that turns a UTF-8 answer with
// percent-escapes into GBK Text.
#pragma once

#include <optional>

#include "platform/codepage.h"
#include "text/text.h"

// The response body of url as GBK text: cut at its first zero byte,
// percent-decoded and converted from UTF-8. Every optional argument is handed
// on to HttpRequest as supplied (an omitted one as an empty value), so a page
// fetch keeps the Internet API's cookie store out and takes the platform's
// proxy settings. The empty text when the exchange failed.
Text FetchPage(const Text& url, int method = 0, const Text& postText = Text(),
               Text* cookies = nullptr, Text* returnedCookies = nullptr, Text* headers = nullptr,
               Text* returnedHeaders = nullptr, bool noRedirect = false,
               Bytes* postBytes = nullptr, const std::optional<Text>& proxy = std::nullopt);

// Every "%" takes the next two bytes as hex digits (either letter case) and
// stands for the byte 16 * first + second, modulo 256; a byte that is no
// digit counts -2 and a missing one 0, and a resulting zero byte is dropped.
// Nothing else changes ("+" stays "+"). With convertUtf8 the result is then
// converted from UTF-8 to GBK.
Text PercentDecode(const Text& text, bool convertUtf8 = false);

// UTF-8 bytes to GBK; a character GBK lacks becomes its best fit or "?",
// invalid UTF-8 a "?" for each bad sequence.
Text Utf8ToAnsi(const Text& utf8);

// text read in codePage, as UTF-16LE units ending with a zero unit. The empty
// text gives a lone zero unit.
Bytes ToWideText(const Text& text, UINT codePage = CP_UTF8);

// UTF-16LE units (up to the first zero unit) in codePage (the ANSI code page,
// GBK, when omitted).
Text FromWideText(const Bytes& wide, UINT codePage = CP_ACP);
