#pragma once
// The world a workflow runs in, for tests: the local update server's tree and
// rules, the temporary-folder cache under a %TEMP% of the test's own, the
// "vlr6setup" folder beside the test program, and the stand-in installer in
// an older and a newer build, both signed by the build's publisher (the newer
// one is the older with a release line behind its image, so the two have
// different MD5 texts and both run), and two builds that must never start:
// the newer one signed by another publisher, and the older one unsigned.
#include "tests/support/setup_records.h"
#include "tests/support/test_files.h"

#include <string>
#include <vector>

class workflow_bench {
public:
  // `launcher_folder` is where the launcher under test runs from (with a
  // trailing backslash): the test program's own folder when empty.
  explicit workflow_bench(const std::wstring& temp_name = L"temp",
                          const std::wstring& launcher_folder = L"");
  workflow_bench(const workflow_bench&) = delete;
  workflow_bench& operator=(const workflow_bench&) = delete;
  ~workflow_bench();

  enum installer_build { older, newer, foreign, orphan, unsigned_older };

  // "setup64.exe" on a 64-bit Windows, else "setup32.exe"; "64bit" / "32bit".
  static std::wstring installer_name();
  static std::string architecture();

  // Where the workflows look and download.
  std::wstring cache_folder() const { return temp_ + L"vlr6setup\\"; }
  std::wstring cached_installer() const { return cache_folder() + installer_name(); }
  std::wstring beside_folder() const { return launcher_folder_ + L"vlr6setup\\"; }
  std::wstring beside_installer() const { return beside_folder() + installer_name(); }
  std::wstring beside_manual() const { return beside_folder() + L"vl6manual.pdf"; }

  // Puts a build of the installer into the cache / beside the program.
  void put_cached(installer_build build);
  void put_beside(installer_build build);
  void put_manual(const std::string& bytes);

  std::string bytes_of(installer_build build) const;
  std::string md5_of(installer_build build) const;
  static std::string md5_of_bytes(const std::string& bytes);

  // The server's tree: the newer installer at /download/<name>, the given
  // manifest text at /launcher/installer6.lt (none when empty).
  static void serve_manifest(const std::string& text);
  static void serve_file(const std::string& path, const std::string& bytes);
  // A manifest whose installer lines name the stand-in installers as built,
  // so that a launcher with those at hand runs them without a download.
  static void serve_manifest_for_standins();
  // The server's address, as the workflows are given it.
  static std::wstring update_server();
  // The URL of a path on the server's origin, e.g. "/download/setup64.exe".
  static std::string url(const std::string& path);
  // A manifest whose installer line names the newer build for this system
  // (or `build`), served at /download/<name>.
  std::string manifest_for_newer(const std::string& extra_lines = "");
  std::string manifest_for(installer_build build, const std::string& extra_lines = "");

  // Rules for the server, as the JSON object of its control file's "rules".
  static void rules(const std::string& json);
  // Requests the origin received for `path` (without query) since set-up.
  static int requests_for(const std::string& path);

  // Starts the stand-in installer records anew; what it recorded so far.
  std::vector<start_record> starts() const;
  const std::wstring& temp() const { return temp_; }

private:
  temp_folder work_{L"workflow"};
  std::wstring launcher_folder_;
  std::wstring temp_;
  std::wstring saved_temp_;
  std::wstring record_;
};
