#pragma once
// The request the update client sends for a URL of its own (the manifest) or
// of the manifest (an installer, the manual). Tools that must fetch exactly
// as the launcher does build their requests here too.
#include "update/http_client.h"

#include <string>

// GET of the URL's path and query as URL parsing leaves them (decoded,
// lower-cased; a path that does not begin with "/" gets one), HTTPS when the
// scheme is exactly "https", the headers Cache-Control and Pragma, both
// "no-cache", in that order, and the proxy credentials when `proxy_user` is
// not empty. An unparsable URL gives a request without a host, which reaches
// no server.
http_request prepare_download_request(const std::string& url, const std::string& proxy_user,
                                      const std::string& proxy_password);
