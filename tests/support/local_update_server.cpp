#include "tests/support/local_update_server.h"

#include "support/text_utils.h"
#include "tests/support/test_files.h"

#include <boost/property_tree/json_parser.hpp>
#include <boost/property_tree/ptree.hpp>

#include <windows.h>

#include <sstream>

namespace {

bool same_name(const std::string& a, const std::string& b) { return _stricmp(a.c_str(), b.c_str()) == 0; }

// Makes every folder of `path` below the server's state folder.
void make_folders(const std::wstring& path) {
  for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
    ::CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
  }
}

}  // namespace

std::string recorded_request::header(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (same_name(key, name)) return value;
  }
  return "";
}

int recorded_request::header_position(const std::string& name) const {
  for (size_t i = 0; i < headers.size(); ++i) {
    if (same_name(headers[i].first, name)) return static_cast<int>(i);
  }
  return -1;
}

namespace local_update_server {

std::wstring state() { return path_from_environment("VELORA_UPDATE_SERVER"); }

std::string port(const char* listener) {
  std::istringstream text(read_file(state() + L"\\ports.json"));
  boost::property_tree::ptree ports;
  try {
    boost::property_tree::read_json(text, ports);
  } catch (const boost::property_tree::json_parser_error&) {
    return "";
  }
  return ports.get<std::string>(listener, "");
}

std::string origin() { return "http://127.0.0.1:" + port("http"); }

std::wstring address() { return ansi_to_wide(CP_ACP, origin()); }

void set_rules(const std::string& json) {
  // Whole or not at all: the server reads the file for every request.
  const std::wstring control = state() + L"\\control.json";
  const std::wstring partial = control + L".partial";
  write_file(partial, json);
  ::MoveFileExW(partial.c_str(), control.c_str(), MOVEFILE_REPLACE_EXISTING);
}

void publish(const std::string& path, const std::string& bytes) {
  std::wstring target = state() + L"\\root" + ansi_to_wide(CP_ACP, path);
  for (auto& c : target) {
    if (c == L'/') c = L'\\';
  }
  make_folders(target);
  write_file(target, bytes);
}

void clear_record() { write_file(state() + L"\\record.jsonl", ""); }

std::vector<recorded_request> requests(const std::string& listener) {
  std::vector<recorded_request> found;
  std::istringstream lines(read_file(state() + L"\\record.jsonl"));
  std::string line;
  while (std::getline(lines, line)) {
    boost::property_tree::ptree entry;
    std::istringstream text(line);
    try {
      boost::property_tree::read_json(text, entry);
    } catch (const boost::property_tree::json_parser_error&) {
      continue;  // a line still being written
    }
    if (entry.get<std::string>("event", "") != "request") continue;
    if (entry.get<std::string>("listener", "") != listener) continue;
    recorded_request request;
    request.listener = listener;
    request.method = entry.get<std::string>("method", "");
    request.target = entry.get<std::string>("target", "");
    request.status = entry.get<int>("status", 0);
    request.forwarded_to = entry.get<std::string>("forwarded_to", "");
    if (const auto headers = entry.get_child_optional("headers")) {
      for (const auto& pair : *headers) {
        std::vector<std::string> parts;
        for (const auto& part : pair.second) parts.push_back(part.second.data());
        if (parts.size() == 2) request.headers.emplace_back(parts[0], parts[1]);
      }
    }
    found.push_back(std::move(request));
  }
  return found;
}

}  // namespace local_update_server
