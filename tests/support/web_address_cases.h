#pragma once
// The addresses a manifest may give for a page the launcher opens (the newer
// generation's, the latest manual's), as an attacker would write them: only
// the first two are web pages and may open.
#include <string>
#include <vector>

struct web_address_case {
  std::string url;
  bool opens;
};

// `page` is the path below the vendor's host ("velora8/"), `program` the name
// of a program planted elsewhere ("setup.exe").
inline std::vector<web_address_case> manifest_address_cases(const std::string& page, const std::string& program) {
  return {
      {"https://www.camberly.co.jp/" + page, true},
      {"http://www.camberly.co.jp/" + page, true},
      {"file:///C:/Users/Public/" + program, false},
      {"\\\\evil.example\\share\\" + program, false},
      {"C:\\Users\\Public\\" + program, false},
      {"javascript:alert(1)", false},
      {"ftp://www.camberly.co.jp/" + page, false},
      {"http:///" + page, false},
  };
}
