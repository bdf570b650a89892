#include "tools/vl6publish/publish_release.h"

#include "support/ascii.h"
#include "support/folder_tree.h"
#include "support/held_file.h"
#include "support/md5.h"
#include "support/path_utils.h"
#include "support/staged_file.h"
#include "tools/vl6publish/console_text.h"
#include "tools/vl6publish/exit_codes.h"
#include "tools/vl6publish/installer_signature.h"
#include "tools/vl6publish/manifest_check.h"
#include "tools/vl6publish/release_rules.h"
#include "update/manifest_format.h"
#include "update/manifest_version.h"
#include "update/update_server.h"

#include <windows.h>

#include <string>
#include <vector>

namespace {

const wchar_t kDownloadFolder[] = L"download";
const char kDownloadPath[] = "/download/";
const char kHeaderText[] = "velora launcher manifest ";
const char kNoDigest[] = "-";
const char kLineEnd[] = "\r\n";
const char kFieldSeparator[] = " ";
const char kSchemeEnd[] = "://";
constexpr int kVersionNumbers = 4;

struct release_file {
  release_file(const char* architecture, const std::wstring& source)
      : architecture(architecture), source(source) {}

  const char* architecture;  // null: the manual
  std::wstring source;
  std::wstring name;         // as served: lower case
  std::wstring target;
  std::string md5;
  ULONGLONG size = 0;
  held_file hold;             // an installer, from its signature check until it is copied
  std::wstring signature;     // who signed it, as the report says it
};

int refuse(const std::wstring& reason) {
  write_error(L"vl6publish: " + reason + L"\n");
  return exit_refused;
}

int file_error(const std::wstring& what, const std::wstring& path) {
  write_error(L"vl6publish: " + what + L" " + path + L" (Windows error " + std::to_wstring(::GetLastError()) +
              L")\n");
  return exit_file_error;
}

std::wstring wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// Four runs of digits between dots and nothing else: the version also names
// the release's folder.
bool is_plain_version(const std::string& text) {
  int numbers = 0;
  size_t i = 0;
  while (i < text.size()) {
    const size_t start = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    if (i == start) return false;
    ++numbers;
    if (i == text.size()) break;
    if (text[i] != '.' || numbers == kVersionNumbers) return false;
    ++i;
    if (i == text.size()) return false;
  }
  return numbers == kVersionNumbers;
}

bool is_url_character(wchar_t c) { return c > L' ' && c < 0x7F; }

bool is_served_name_character(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') || c == L'.' || c == L'-' || c == L'_';
}

// The folder with backslashes and one final backslash; a share's "\\\\" stays.
std::wstring folder_text(std::wstring folder) {
  for (wchar_t& c : folder) {
    if (c == L'/') c = L'\\';
  }
  if (folder.empty() || folder.back() != L'\\') folder += L'\\';
  return folder;
}

bool is_file(const std::wstring& path, ULONGLONG* size = nullptr) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  if (size) *size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

bool md5_of(const std::wstring& path, std::string& text) {
  unsigned char digest[md5_digest_size];
  return md5_file(path, digest) && md5_hex(digest, text);
}

// Empty when the base URL is one the launcher can use; otherwise why not.
std::wstring base_url_problem(const std::string& base, const std::string& version) {
  const std::wstring shown = L"base URL \"" + wide(base) + L"\"";
  const url_facts facts = examine_url(base);
  if (!facts.names_host) return shown + L" names no host";
  const size_t scheme_end = base.find(kSchemeEnd);
  if (scheme_end == std::string::npos || base.substr(0, scheme_end).find_first_not_of(
                                             "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") !=
                                             std::string::npos) {
    return shown + L" does not begin with its scheme (http:// or https://)";
  }
  if (!facts.fetchable) return shown + L": the launcher fetches over http and https only";
  if (base.find_first_of("?#@") != std::string::npos) {
    return shown + L" holds a query, a fragment or a user name; the launcher's requests carry none";
  }
  if (has_capitals(facts.written_target)) {
    return shown + L" has capitals in its path: the launcher requests \"" + wide(facts.request_target) +
           L"\" in lower case, which the server would have to serve; write the path in lower case";
  }
  // Whatever else URL parsing changes (escapes, "." and ".." pieces) would
  // make the launcher ask for another path than the one laid out.
  const std::string sample = base + kDownloadPath + version + "/";
  const url_facts sample_facts = examine_url(sample);
  if (sample_facts.request_target != sample_facts.written_target) {
    return shown + L": the launcher would request \"" + wide(sample_facts.request_target) + L"\" for \"" +
           wide(sample_facts.written_target) + L"\"; write the path as the launcher requests it";
  }
  return std::wstring();
}

// A path below the server's address, as a path below DIR.
std::wstring served_path(const char* path) {
  std::wstring below;
  for (const char* c = path + 1; *c; ++c) below += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
  return below;
}

}  // namespace

int publish_release(const release_inputs& inputs) {
  std::string version;
  if (!to_manifest_text(inputs.version, version) || !is_installer_version(version)) {
    return refuse(L"version \"" + inputs.version +
                  L"\": the launcher takes an installer only for a version a.b.c.d whose first number is 6");
  }
  if (!is_plain_version(version)) {
    return refuse(L"version \"" + inputs.version +
                  L"\": write it as four numbers a.b.c.d and nothing else; it also names the release's folder");
  }

  std::string new_major_version;
  std::string new_major_url;
  if (!inputs.new_major_version.empty()) {
    if (!to_manifest_text(inputs.new_major_version, new_major_version) ||
        !is_newer_generation_version(new_major_version) || !is_plain_version(new_major_version)) {
      return refuse(L"newer generation \"" + inputs.new_major_version +
                    L"\": the launcher announces one only for a version a.b.c.d whose first number is 7 or more");
    }
    bool plain = !inputs.new_major_url.empty();
    for (wchar_t c : inputs.new_major_url) plain = plain && c > L' ';
    if (!plain || !to_manifest_text(inputs.new_major_url, new_major_url)) {
      return refuse(L"newer generation URL \"" + inputs.new_major_url +
                    L"\": it must be one field without spaces, in characters of code page 932");
    }
  }

  std::string base;
  for (wchar_t c : inputs.base_url) {
    if (!is_url_character(c)) {
      return refuse(L"base URL \"" + inputs.base_url + L"\": only printable ASCII characters, without spaces");
    }
    base += static_cast<char>(c);
  }
  while (!base.empty() && base.back() == '/') base.pop_back();
  const std::wstring problem = base_url_problem(base, version);
  if (!problem.empty()) return refuse(problem);

  std::vector<release_file> files;
  if (!inputs.setup_both.empty()) {
    files.emplace_back(kManifestArchitectureBoth, inputs.setup_both);
  } else {
    files.emplace_back(kManifestArchitecture64, inputs.setup64);
    files.emplace_back(kManifestArchitecture32, inputs.setup32);
  }
  files.emplace_back(nullptr, inputs.manual);

  const std::wstring out = folder_text(inputs.out_folder);
  const std::wstring release_folder = out + kDownloadFolder + L"\\" + inputs.version + L"\\";
  for (release_file& file : files) {
    const wchar_t* what = file.architecture ? L"installer" : L"manual";
    if (!is_file(file.source)) return refuse(std::wstring(what) + L" \"" + file.source + L"\": no such file");
    file.name = ascii_lower(file_name_of(file.source));
    for (wchar_t c : file.name) {
      if (!is_served_name_character(c)) {
        return refuse(std::wstring(what) + L" \"" + file.source +
                      L"\": name it with ASCII letters, digits, \".\", \"-\" and \"_\" only; it is served under "
                      L"its name in lower case");
      }
    }
    for (const release_file& other : files) {
      if (&other != &file && !other.name.empty() && other.name == file.name) {
        return refuse(L"two release files are both named \"" + file.name + L"\"");
      }
    }
    file.target = release_folder + file.name;
    // A URL once published may sit in a cache on the way: the same URL must
    // never come to serve other bytes.
    std::string published;
    if (is_file(file.target) && md5_of(file.target, published)) {
      std::string fresh;
      if (!md5_of(file.source, fresh)) return file_error(L"cannot read", file.source);
      if (fresh != published) {
        return refuse(file.target + L" was published before with other bytes, and caches may still hold "
                                    L"them; publish the new files under a new version");
      }
    }
  }

  // Last among the refusals: the launcher's own gate on each installer.
  std::wstring warnings;
  for (release_file& file : files) {
    if (!file.architecture) continue;
    file.hold = held_file(file.source);
    const signature_verdict verdict = check_publisher_signature(file.hold, inputs.publisher, inputs.roots);
    file.signature = describe_verdict(verdict, inputs.publisher);
    if (verdict.trusted) continue;
    if (verdict.step == signature_verdict::file) {
      write_error(L"vl6publish: cannot read " + file.source + L" (Windows error " +
                  std::to_wstring(verdict.result) + L")\n");
      return exit_file_error;
    }
    const std::wstring problem = L"installer \"" + file.source + L"\": " + file.signature +
                                 L"; the launcher refuses to start it";
    if (!inputs.allow_unsigned) {
      return refuse(problem + L". Sign it, or publish it anyway with --allow-unsigned");
    }
    warnings += L"vl6publish: warning: " + problem + L"; published as --allow-unsigned asks\n";
  }

  // The places of the manifest and its signature on the server:
  // "/launcher/installer6.lt" and "/launcher/installer6.lt.p7s".
  const std::wstring manifest_path = out + served_path(kManifestPath);
  const std::wstring signature_path = out + served_path(kManifestSignaturePath);

  // Also the launcher's own gate, on the signing identity: known good before
  // anything is written.
  release_signing signing;
  if (inputs.sign) {
    if (const signing_problem problem = signing.prepare(inputs.signing, inputs.publisher, inputs.roots,
                                                        manifest_path)) {
      write_error(L"vl6publish: " + problem.text + L"\n");
      return problem.exit_code;
    }
  }

  if (!make_folder_tree(release_folder)) return file_error(L"cannot make the folder", release_folder);
  for (release_file& file : files) {
    // A copy or a manifest reaches its name in one move, so a running server
    // serves the old file or the new one, never half of one.
    const std::wstring temporary = staged_path(file.target);
    if (!::CopyFileW(file.source.c_str(), temporary.c_str(), FALSE)) return file_error(L"cannot write", temporary);
    if (!move_into_place(temporary, file.target).moved) return file_error(L"cannot replace", file.target);
    // The digest of what the server will send.
    if (!md5_of(file.target, file.md5) || !is_file(file.target, &file.size)) {
      return file_error(L"cannot read", file.target);
    }
  }

  const std::string folder_url = base + kDownloadPath + version + "/";
  std::string manifest = kHeaderText + version + kLineEnd;
  for (const release_file& file : files) {
    std::string name;
    to_manifest_text(file.name, name);
    const char* kind = file.architecture ? version.c_str() : kManifestManualKind;
    const char* architecture = file.architecture ? file.architecture : kManifestArchitectureBoth;
    manifest += std::string(architecture) + kFieldSeparator + kind + kFieldSeparator + file.md5 + kFieldSeparator +
                folder_url + name + kLineEnd;
  }
  if (!new_major_version.empty()) {
    manifest += std::string(kManifestArchitectureBoth) + kFieldSeparator + new_major_version + kFieldSeparator +
                kNoDigest + kFieldSeparator + new_major_url + kLineEnd;
  }

  std::vector<char> signature;
  if (inputs.sign) {
    if (const signing_problem problem = signing.sign(manifest, signature)) {
      write_error(L"vl6publish: " + problem.text + L"\n");
      return problem.exit_code;
    }
  }

  const std::wstring manifest_folder = manifest_path.substr(0, manifest_path.rfind(L'\\') + 1);
  if (!make_folder_tree(manifest_folder)) return file_error(L"cannot make the folder", manifest_folder);
  const std::wstring temporary = staged_path(manifest_path);
  if (!write_whole_file(temporary, manifest.data(), manifest.size())) return file_error(L"cannot write", temporary);
  bool removed_signature = false;
  if (inputs.sign) {
    // The two reach their names one right after the other. In between, a
    // launcher that checks signatures finds the pair not matching and
    // refuses the manifest, as it refuses any manifest it cannot trust.
    const std::wstring staged_signature = staged_path(signature_path);
    if (!write_whole_file(staged_signature, signature.data(), signature.size())) {
      const DWORD error = ::GetLastError();
      ::DeleteFileW(temporary.c_str());
      ::SetLastError(error);
      return file_error(L"cannot write", staged_signature);
    }
    if (!move_into_place(staged_signature, signature_path).moved) return file_error(L"cannot replace", signature_path);
  }
  if (!move_into_place(temporary, manifest_path).moved) return file_error(L"cannot replace", manifest_path);
  if (!inputs.sign && is_file(signature_path)) {
    // An earlier release's signature fits no other manifest.
    if (!::DeleteFileW(signature_path.c_str())) return file_error(L"cannot remove", signature_path);
    removed_signature = true;
  }

  std::wstring text = L"Published " + inputs.version + L" into " + out + L"\n";
  for (const release_file& file : files) {
    text += L"  " + file.target + L"  " + std::to_wstring(file.size) + L" bytes  MD5 " + wide(file.md5) + L"\n";
    if (file.architecture) text += L"    " + file.signature + L"\n";
  }
  text += L"  " + manifest_path + L"\n";
  if (inputs.sign) {
    text += L"  " + signature_path + L"\n    " + signing.signer() + L"\n    " + signing.freshness_report() + L"\n";
  } else if (removed_signature) {
    text += L"  removed " + signature_path + L", the signature of the release this one replaces: this manifest is "
            L"unsigned\n";
  }
  // Read back the way the launcher reads it: anything but a clean result
  // is a fault of this tool.
  const manifest_report report = check_manifest(std::vector<char>(manifest.begin(), manifest.end()));
  text += L"The manifest as the launcher reads it:\n" + describe_report(report);
  write_out(text);
  write_error(warnings + signing.warnings());
  if (!report.release_ready()) {
    write_error(L"vl6publish: the manifest just written does not read as a release; see above\n");
    return exit_fault_found;
  }
  return exit_ok;
}
