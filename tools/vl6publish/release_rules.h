#pragma once
// What a manifest value must be for the launcher to make use of it, asked
// the way the launcher's own code reads it.
#include <windows.h>

#include <string>

// The manifest is written in the ANSI code page of a Japanese Windows.
inline constexpr UINT kManifestCodePage = 932;

// 32 hexadecimal digits in any case: the only text a downloaded file's
// digest can ever match.
bool is_md5_text(const std::string& text);

// ASCII capitals, which the launcher lower-cases in a URL's path and query.
bool has_capitals(const std::string& text);

// A URL as the launcher's downloader sees it.
struct url_facts {
  bool names_host = false;       // URL parsing found a URL with a host
  std::string scheme;            // lower case
  bool fetchable = false;        // http or https: anything else goes out as plain HTTP
  std::string written_target;    // path and query as written behind the host
  std::string request_target;    // path and query of the launcher's request
};
url_facts examine_url(const std::string& url);

// `text` in the manifest's code page; false when a character has no exact
// form there.
bool to_manifest_text(const std::wstring& text, std::string& converted);
