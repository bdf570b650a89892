#pragma once
// Following an HTTP redirect: which answers are redirects, and the request
// that an answer's Location asks for next.
#include "update/http_client.h"

#include <windows.h>

#include <string>

// 301, 302, 303, 307 and 308: the answers whose Location is followed.
bool is_redirect_status(DWORD status);

// Turns `request` into the one that the answer `status` with the Location
// `location` asks for. An absolute http or https address replaces scheme,
// host, port and path; "//host/..." keeps the scheme; "/path" keeps the
// server; any other text is taken relative to the current path's folder. The
// fragment is dropped, the path and query are kept as written (servers may
// tell case apart). A 303, and a 301 or 302 of anything but GET, becomes a
// GET without a body, as browsers and WinINet do it.
// Returns false, leaving `request` unchanged, when `location` names no http
// or https address.
bool redirect_request(http_request& request, DWORD status, const std::string& location);
