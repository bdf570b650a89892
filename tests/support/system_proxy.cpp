#include "tests/support/system_proxy.h"

#include <winsock2.h>

namespace {
const wchar_t kInternetSettings[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
}

saved_registry_value::saved_registry_value(const wchar_t* name) : name_(name) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kInternetSettings, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return;
  }
  DWORD size = 0;
  if (::RegQueryValueExW(key, name_, nullptr, &type_, nullptr, &size) == ERROR_SUCCESS) {
    data_.resize(size);
    existed_ = ::RegQueryValueExW(key, name_, nullptr, &type_, data_.data(), &size) == ERROR_SUCCESS;
  }
  ::RegCloseKey(key);
}

saved_registry_value::~saved_registry_value() {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, kInternetSettings, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
    return;
  }
  if (existed_) {
    ::RegSetValueExW(key, name_, 0, type_, data_.data(), static_cast<DWORD>(data_.size()));
  } else {
    ::RegDeleteValueW(key, name_);
  }
  ::RegCloseKey(key);
}

system_proxy::system_proxy(const std::string& address) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, kInternetSettings, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
    return;
  }
  const DWORD enable = 1;
  const std::wstring server_text(address.begin(), address.end());
  set_ = ::RegSetValueExW(key, L"ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&enable),
                          sizeof(enable)) == ERROR_SUCCESS &&
         ::RegSetValueExW(key, L"ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(server_text.c_str()),
                          static_cast<DWORD>((server_text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  ::RegCloseKey(key);
}

std::string closed_port() {
  WSADATA data;
  ::WSAStartup(MAKEWORD(2, 2), &data);
  const SOCKET probe = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof(address);
  ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
  ::closesocket(probe);
  ::WSACleanup();
  return std::to_string(ntohs(address.sin_port));
}
