#pragma once
// The prefix's network settings as tests change them: the system proxy that
// WinINet's preconfigured sessions use, and a loopback port nobody listens on.
#include <windows.h>

#include <string>
#include <vector>

// One value of the current user's Internet Settings key, put back as it was
// (or removed) when the object goes.
class saved_registry_value {
public:
  explicit saved_registry_value(const wchar_t* name);
  saved_registry_value(const saved_registry_value&) = delete;
  saved_registry_value& operator=(const saved_registry_value&) = delete;
  ~saved_registry_value();

private:
  const wchar_t* name_;
  bool existed_ = false;
  DWORD type_ = 0;
  std::vector<BYTE> data_;
};

// The system proxy set to `address` ("HOST:PORT") while the object lives.
class system_proxy {
public:
  explicit system_proxy(const std::string& address);
  system_proxy(const system_proxy&) = delete;
  system_proxy& operator=(const system_proxy&) = delete;
  bool set() const { return set_; }

private:
  saved_registry_value enable_{L"ProxyEnable"};
  saved_registry_value server_{L"ProxyServer"};
  bool set_ = false;
};

// A loopback port on which nothing listens: bound once, then let go.
std::string closed_port();
