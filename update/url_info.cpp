#include "update/url_info.h"

#include "support/ascii.h"

#include <boost/regex.hpp>

#include <stdexcept>
#include <utility>

namespace {

// Both patterns are searched for, never matched whole: text in front of the
// URL is skipped, and the path and query groups take everything after the
// host. Compiled once at load; matching only reads them, so any number of
// threads may search with them at once.
const boost::regex plain_host_pattern(
    R"re(([a-zA-Z]+)://([a-zA-Z0-9\:]+@)?([a-zA-Z0-9\-_.]+)(:[0-9]+)?(/?[^?]*)?(\?.*)?)re");
// Searched only when the plain-host pattern occurs nowhere in the text.
const boost::regex ipv6_pattern(
    R"re(([a-zA-Z]+)://([a-zA-Z0-9\:]+@)?\[([a-zA-Z0-9\-_.:]+)\](:[0-9]+)?(/?[^?]*)?(\?.*)?)re");

// The groups both patterns share.
enum url_group { scheme_group = 1, user_info_group, host_group, port_group, path_group, query_group };

const std::string http_scheme = "http";
const std::string https_scheme = "https";
const std::string http_default_port = "80";
const std::string https_default_port = "443";

constexpr char percent = '%';
constexpr char user_info_end = '@';
constexpr char port_start = ':';
constexpr char host_label_end = '.';
constexpr char ipv6_open = '[';
constexpr char ipv6_close = ']';
constexpr char path_separator = '/';
constexpr char quote = '"';
const std::string root_path = "/";
const std::string current_piece = ".";
const std::string parent_piece = "..";

// Ordinary paths never grow the stack past this.
constexpr size_t reserved_path_depth = 64;

// Shift_JIS lead bytes: each starts a two-byte character.
constexpr unsigned char lead_low_first = 0x81;
constexpr unsigned char lead_low_last = 0x9F;
constexpr unsigned char lead_high_first = 0xE0;
constexpr unsigned char lead_high_last = 0xFC;
// Full-width Latin letters: lead 0x82, capitals A-Z at 0x60-0x79, the small
// letters 0x21 above them.
constexpr unsigned char full_width_lead = 0x82;
constexpr unsigned char full_width_capital_first = 0x60;
constexpr unsigned char full_width_capital_last = 0x79;
constexpr unsigned char full_width_small_offset = 0x21;

// "+" is not a space here, and a "%" without two hexadecimal digits after it
// is an ordinary byte.
std::string percent_decode(const std::string& text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == percent && i + 2 < text.size()) {
      const int high = hex_digit_value(text[i + 1]);
      const int low = hex_digit_value(text[i + 2]);
      if (high >= 0 && low >= 0) {
        decoded += static_cast<char>(high << 4 | low);
        i += 2;
        continue;
      }
    }
    decoded += text[i];
  }
  return decoded;
}

// The C library's lower-casing in its "C" locale, but never dependent on the
// process locale: bytes above 0x7F stay.
void lower_each_byte(std::string& text) { text = ascii_lower(std::move(text)); }

bool is_shift_jis_lead(unsigned char byte) {
  return (byte >= lead_low_first && byte <= lead_low_last) ||
         (byte >= lead_high_first && byte <= lead_high_last);
}

// A trail byte may lie in the ASCII capital range, so double-byte characters
// are stepped over whole; only the full-width capitals change.
void lower_shift_jis(std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (!is_shift_jis_lead(byte)) {
      text[i] = ascii_lower(text[i]);
      continue;
    }
    // A lead byte that ends the text has no partner and stays as it is.
    if (i + 1 == text.size()) break;
    const auto trail = static_cast<unsigned char>(text[i + 1]);
    if (byte == full_width_lead && trail >= full_width_capital_first &&
        trail <= full_width_capital_last) {
      text[i + 1] = static_cast<char>(trail + full_width_small_offset);
    }
    ++i;
  }
}

void remove_final(std::string& text, char c) {
  if (!text.empty() && text.back() == c) text.pop_back();
}

// The text before the first "/", between each two, and after the last one
// unless that is empty. An empty path is one empty piece.
std::vector<std::string> path_pieces(const std::string& path) {
  std::vector<std::string> pieces;
  size_t start = 0;
  for (;;) {
    const size_t separator = path.find(path_separator, start);
    if (separator == std::string::npos) {
      if (pieces.empty() || start < path.size()) pieces.push_back(path.substr(start));
      return pieces;
    }
    pieces.push_back(path.substr(start, separator - start));
    start = separator + 1;
  }
}

std::string without_quotes(const std::string& piece) {
  const size_t first = piece.find_first_not_of(quote);
  if (first == std::string::npos) return std::string();
  return piece.substr(first, piece.find_last_not_of(quote) - first + 1);
}

// "/" for a path that began with one, nothing for one that did not.
size_t root_length(const std::string& path) {
  return path.compare(0, root_path.size(), root_path) == 0 ? root_path.size() : 0;
}

// Builds `path` from the decoded, lower-cased path. False when a ".." finds
// no piece left to remove; `path` then holds what was built before it.
bool resolve_path(const std::string& working, std::string& path, std::vector<uint32_t>& lengths) {
  lengths.reserve(reserved_path_depth);
  for (const std::string& raw_piece : path_pieces(working)) {
    const std::string piece = without_quotes(raw_piece);
    if (piece == current_piece) continue;
    if (piece == parent_piece) {
      if (lengths.empty()) return false;
      lengths.pop_back();
      // Cut back to the piece now on top, so that the removed piece does
      // not stay in the request path; with none left, back to the root, so
      // that /../a gives /a as /a/../../b gives /b.
      path.resize(lengths.empty() ? root_length(path) : lengths.back());
      continue;
    }
    path += piece;
    if (path != root_path) path += path_separator;
    lengths.push_back(static_cast<uint32_t>(path.size()));
  }
  // Every piece kept was followed by "/"; a path that did not end with one
  // loses it again. After a ".." at the root there may be nothing to remove.
  if (!working.empty() && working.back() != path_separator) {
    if (!path.empty()) path.pop_back();
    if (!lengths.empty()) lengths.pop_back();
  }
  return true;
}

}  // namespace

bool url_info::parse(const std::string& url) {
  // A record used before would otherwise keep its old path and stack and
  // build onto them.
  *this = url_info();
  if (url.empty()) return false;

  boost::smatch groups;
  bool is_ipv6 = false;
  try {
    if (!boost::regex_search(url, groups, plain_host_pattern)) {
      if (!boost::regex_search(url, groups, ipv6_pattern)) return false;
      is_ipv6 = true;
    }
  } catch (const std::runtime_error&) {
    // The matcher gives up on text too complex for its limits; a URL from
    // the network must not end the worker thread that parses it.
    return false;
  }

  scheme = groups[scheme_group].str();
  user_info = groups[user_info_group].str();
  host = groups[host_group].str();
  if (is_ipv6) host = ipv6_open + host + ipv6_close;
  port = groups[port_group].str();
  std::string working_path = percent_decode(groups[path_group].str());
  query = percent_decode(groups[query_group].str());

  lower_each_byte(scheme);
  lower_each_byte(host);
  lower_each_byte(working_path);
  lower_shift_jis(query);

  remove_final(user_info, user_info_end);
  if (!port.empty() && port[0] == port_start) {
    port.erase(0, 1);
  } else if (scheme == http_scheme) {
    port = http_default_port;
  } else if (scheme == https_scheme) {
    port = https_default_port;
  }
  remove_final(host, host_label_end);

  return resolve_path(working_path, path, length_stack);
}
