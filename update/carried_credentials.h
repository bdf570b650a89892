#pragma once
// One request of a run that carries the proxy credentials from one success to
// the next, so that a user asked for them once is not asked again in the same
// run: the downloader's manifest and file requests, and the release tool,
// which must fetch exactly as the launcher does.
#include "update/http_client.h"

#include <windows.h>

#include <string>
#include <vector>

constexpr DWORD kHttpStatusOk = 200;

struct fetch_answer {
  DWORD result = 0;  // 0 when the last request was sent, else its Windows error
  DWORD status = 0;  // the HTTP status of the last answer

  bool ok() const { return result == ERROR_SUCCESS && status == kHttpStatusOk; }
};

// Sends `request` (prepared with `proxy_user` and `proxy_password`, see
// prepare_download_request). After an answer of 200 the credentials then in
// effect replace the two; after anything else they stay as they were.
fetch_answer fetch_carrying_credentials(HWND parent, http_request& request, std::vector<char>& body,
                                        std::string& proxy_user, std::string& proxy_password);
