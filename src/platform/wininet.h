// The Internet API layer: the WinInet entry points that the request routine
// calls, served by libcurl. One synchronous exchange per request handle; the
// exchange itself happens in HttpSendRequestA.
#pragma once

#include "platform/windows_types.h"

// Opaque; a null handle is a failure.
using HINTERNET = struct InternetHandle*;

inline constexpr DWORD INTERNET_OPEN_TYPE_PRECONFIG = 0;
inline constexpr DWORD INTERNET_OPEN_TYPE_DIRECT = 1;
inline constexpr DWORD INTERNET_OPEN_TYPE_PROXY = 3;

inline constexpr DWORD INTERNET_SERVICE_HTTP = 3;

inline constexpr DWORD INTERNET_FLAG_RELOAD = 0x80000000;
inline constexpr DWORD INTERNET_FLAG_NEED_FILE = 0x00000010;
inline constexpr DWORD INTERNET_FLAG_NO_COOKIES = 0x00080000;
inline constexpr DWORD INTERNET_FLAG_NO_AUTO_REDIRECT = 0x00200000;
inline constexpr DWORD INTERNET_FLAG_SECURE = 0x00800000;
inline constexpr DWORD INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS = 0x00004000;

inline constexpr DWORD HTTP_QUERY_RAW_HEADERS_CRLF = 22;

// C linkage, as the Windows entry points have: the program finds them by
// name in the module that holds the layer.
extern "C" {

// accessType: DIRECT never uses a proxy. PROXY reads proxyList: an entry
// "scheme=host:port" for the URL's scheme, or a bare "host:port", names the
// proxy (port 80 when none is given); a list naming no server for the scheme
// (such as "http=") falls back to the http_proxy / https_proxy / no_proxy
// environment, and to a direct connection when none is set. PRECONFIG is
// that environment. proxyBypass and flags are not read. Null for any other
// access type.
HINTERNET InternetOpenA(LPCSTR agent, DWORD accessType, LPCSTR proxyList, LPCSTR proxyBypass,
                        DWORD flags);

// Null unless serverName is a host name (letters, digits, '-', '.', '_') or
// an IPv6 address; anything else could change the URL's meaning. Port 0 is
// the scheme's default port. userName, password and flags are not read.
HINTERNET InternetConnectA(HINTERNET internet, LPCSTR serverName, INTERNET_PORT serverPort,
                           LPCSTR userName, LPCSTR password, DWORD service, DWORD flags,
                           DWORD_PTR context);

// objectName is sent as the request target; bytes that cannot stand in a
// request line (space, control bytes, '#', 0x80 and above) are
// percent-encoded. flags: the INTERNET_FLAG_* values above. referrer and
// acceptTypes are not read. Null for a verb that is not an HTTP token.
HINTERNET HttpOpenRequestA(HINTERNET connect, LPCSTR verb, LPCSTR objectName, LPCSTR version,
                           LPCSTR referrer, LPCSTR* acceptTypes, DWORD flags, DWORD_PTR context);

// Sends the request with exactly these header lines ("\r\n"-separated; the
// layer adds only Host, Content-Length with a body, and User-Agent from the
// agent text unless the lines carry one) and reads the whole response.
// FALSE when the exchange failed.
BOOL HttpSendRequestA(HINTERNET request, LPCSTR headers, DWORD headersLength, LPVOID optional,
                      DWORD optionalLength);

// Hands out the response body in pieces of at most toRead bytes; *read is 0
// at the end of the body and after any failure.
BOOL InternetReadFile(HINTERNET file, LPVOID buffer, DWORD toRead, LPDWORD read);

// HTTP_QUERY_RAW_HEADERS_CRLF: the final response's status line and header
// lines, each ended by "\r\n", then an empty line, NUL-terminated. When that
// does not fit into *bufferLength bytes the call fails, leaves the buffer
// untouched and sets *bufferLength to the size needed (NUL included); on
// success *bufferLength is the block's length without the NUL. Fails for any
// other infoLevel and when no final response arrived.
BOOL HttpQueryInfoA(HINTERNET request, DWORD infoLevel, LPVOID buffer, LPDWORD bufferLength,
                    LPDWORD index);

BOOL InternetCloseHandle(HINTERNET handle);

}  // extern "C"
