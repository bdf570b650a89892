#include "update/carried_credentials.h"

fetch_answer fetch_carrying_credentials(HWND parent, http_request& request, std::vector<char>& body,
                                        std::string& proxy_user, std::string& proxy_password) {
  fetch_answer answer;
  std::string headers;
  answer.result = get_data_by_wininet(parent, request, answer.status, headers, body);
  if (answer.ok()) {
    proxy_user = get_captured_proxy_user();
    proxy_password = get_captured_proxy_password();
  }
  return answer;
}
