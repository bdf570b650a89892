#pragma once
// An absolute URL split into the parts an HTTP request is built from, each in
// canonical form. Narrow text throughout, in the ANSI code page.
#include <cstdint>
#include <string>
#include <vector>

struct url_info {
  // Lower case, without "://".
  std::string scheme;
  // As written, without its final "@"; a ":" in it is kept, not split off.
  std::string user_info;
  // Lower case, one final "." removed; an IPv6 literal keeps its brackets.
  std::string host;
  // Digits only. Without a port in the URL: "80" for http, "443" for https,
  // empty for any other scheme.
  std::string port;
  // Percent-decoded, lower-cased byte by byte, "." and ".." pieces resolved.
  std::string path;
  // Working storage of `parse`: the length of `path` after each piece kept.
  std::vector<uint32_t> length_stack;
  // With its leading "?", percent-decoded and lower-cased with Shift_JIS
  // double-byte characters kept whole; empty when the URL has none.
  std::string query;

  // Splits the first URL found in `url` into the fields above, replacing
  // whatever they held; text in front of the URL is ignored. Returns false
  // when `url` is empty or holds no URL (every field is then empty), or when
  // a ".." piece climbs above the root of the path (the other fields are then
  // filled, and `path` holds what was built before that piece).
  bool parse(const std::string& url);
};
