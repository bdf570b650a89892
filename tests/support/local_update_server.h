#pragma once
// The local update server of one test program (tools/update_server, started
// for it by CTest on ports the system picks), reached through its files: the
// folder in VELORA_UPDATE_SERVER holds ports.json, record.jsonl, control.json
// and the served tree root/.
#include <string>
#include <utility>
#include <vector>

// One request as the server recorded it.
struct recorded_request {
  std::string listener;  // http, proxy, https_...
  std::string method;
  std::string target;    // path and query as sent
  std::vector<std::pair<std::string, std::string>> headers;  // in the order received
  int status = 0;        // the status answered (0 when the proxy relayed it)
  std::string forwarded_to;

  // The value of the first header of that name (any case), or empty.
  std::string header(const std::string& name) const;
  // Where the header of that name stands in the order received, or -1.
  int header_position(const std::string& name) const;
};

namespace local_update_server {

std::wstring state();
// The port of a listener ("http", "proxy", ...), empty when no server runs.
std::string port(const char* listener);
// "http://127.0.0.1:PORT" of the origin listener.
std::string origin();
// The origin as the launcher's components take an update server's address.
std::wstring address();

// Replaces the misbehaviour rules (the JSON text of control.json).
void set_rules(const std::string& json);
// Puts `bytes` at `path` (beginning with "/") of the served tree.
void publish(const std::string& path, const std::string& bytes);

void clear_record();
// The recorded requests of one listener, oldest first.
std::vector<recorded_request> requests(const std::string& listener);

}  // namespace local_update_server
