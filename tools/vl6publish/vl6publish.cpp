// vl6publish: the release engineers' tool for the launcher's update server.
// It lays out a release and its manifest, reads a manifest as the launcher
// does, checks a release on its server through the launcher's own client, and
// asks the launcher's own publisher check of installers.
#include "tools/vl6publish/console_text.h"
#include "tools/vl6publish/exit_codes.h"
#include "tools/vl6publish/installer_signature.h"
#include "tools/vl6publish/manifest_check.h"
#include "tools/vl6publish/publish_release.h"
#include "tools/vl6publish/release_verify.h"
#include "tools/vl6publish/whole_file.h"

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace {

const wchar_t kUsage[] =
    L"vl6publish: publishes Velora 6 releases for the launcher's update server and checks them.\n"
    L"\n"
    L"vl6publish publish --out DIR --version 6.B.C.D --base-url URL --manual FILE\n"
    L"                   (--setup64 FILE --setup32 FILE | --setup-both FILE)\n"
    L"                   [--new-major VERSION URL] [--publisher NAME] [--publisher-roots LIST]\n"
    L"                   [--allow-unsigned] [--sign-cert PEM --sign-key KEY [--expires DAYS]]\n"
    L"    Copies the installers and the manual to DIR\\download\\VERSION\\ under their names in\n"
    L"    lower case and writes DIR\\launcher\\installer6.lt (code page 932, CR LF) with URLs\n"
    L"    below URL, the address DIR is served as (http:// or https://, its path in lower\n"
    L"    case). --new-major announces a newer generation (first number 7 or more) with the\n"
    L"    URL of its page, as given. Upload DIR as it is to any static web server.\n"
    L"    Refuses an installer the launcher would not start: one not signed by NAME (the\n"
    L"    organisation and common name of its code-signing certificate, which must chain to a\n"
    L"    root in this machine's Root store through one of the CAs of LIST);\n"
    L"    --allow-unsigned publishes it anyway, with a warning.\n"
    L"    With --sign-cert and --sign-key the manifest is signed: its last line becomes\n"
    L"    \"freshness SERIAL SIGNED EXPIRES\" (UTC times; launchers that do not check signatures\n"
    L"    ignore it) and DIR\\launcher\\installer6.lt.p7s holds a detached CMS signature (DER,\n"
    L"    SHA-256) over the manifest's exact bytes. PEM: the code-signing certificate first, then\n"
    L"    the CA certificates that issued it, all carried in the signature; KEY: its RSA private\n"
    L"    key, unencrypted (\"PRIVATE KEY\" or \"RSA PRIVATE KEY\"). SERIAL is that of the manifest\n"
    L"    this release replaces in DIR plus one, or 1 when DIR holds none or one without a\n"
    L"    readable freshness line (with a warning: launchers that took a higher serial refuse a\n"
    L"    lower one). The manifest expires DAYS days after signing (1 to 365, default 30).\n"
    L"    The signature is refused, before anything is written, when the launcher would refuse\n"
    L"    it: a certificate of another publisher or one whose chain does not reach a pinned CA,\n"
    L"    or a key that is not the certificate's. Without them no freshness line is written,\n"
    L"    and a signature an earlier release left in DIR is removed.\n"
    L"vl6publish check FILE\n"
    L"    Says what the launcher takes from the manifest FILE on a 64-bit and on a 32-bit\n"
    L"    Windows, and which lines it ignores or may misread, and why; a freshness line is read\n"
    L"    (serial, signing time, expiry), and one that does not read, a second one, or one that\n"
    L"    has expired is a fault.\n"
    L"vl6publish verify URL [--proxy HOST:PORT] [--publisher NAME] [--publisher-roots LIST] [--signed]\n"
    L"    Fetches the manifest at URL (a URL not ending in .lt is the server's address, and\n"
    L"    /launcher/installer6.lt?scode=R7QD is asked below it) with the launcher's HTTP\n"
    L"    client, downloads every installer and the manual it names and checks their MD5,\n"
    L"    and prints each installer's signer: one not signed by NAME is a fault. It also asks\n"
    L"    for the manifest's signature beside it (.lt.p7s, same query) and prints its signer\n"
    L"    and the freshness line's serial and expiry: a signature not by NAME, not over the bytes\n"
    L"    served, a signed manifest without a readable freshness line or past its expiry is a\n"
    L"    fault. A manifest without signature (404) is reported as unsigned, a fault only with\n"
    L"    --signed.\n"
    L"    Uses the system's proxy settings unless --proxy is given.\n"
    L"vl6publish signer [--publisher NAME] [--publisher-roots LIST] FILE...\n"
    L"    Prints each file's signer and whether the launcher would start it.\n"
    L"\n"
    L"NAME defaults to \"" VELORA_PUBLISHER L"\", the publisher this build's launcher wants;\n"
    L"an empty NAME checks no signature, as a launcher built without a publisher.\n"
    L"LIST: the SHA-256 thumbprints (hex, separated by commas) of the CA certificates the\n"
    L"signer's chain must hold one of; it defaults to the build's VELORA_PUBLISHER_ROOTS\n"
    L"(\"" VELORA_PUBLISHER_ROOTS L"\"). An empty LIST takes any root this Windows trusts.\n"
    L"\n"
    L"Output: Unicode on a console, UTF-8 when redirected.\n"
    L"Exit codes:\n"
    L"    0  published; both systems get an installer and no line has a fault; every file matched\n"
    L"       and the publisher signed every installer\n"
    L"    1  check: a fault, or a system without installer; verify: no manifest, a system\n"
    L"       without installer, a file that could not be had or does not match, an installer\n"
    L"       not signed by the publisher, or a manifest signature or freshness line a launcher\n"
    L"       that checks signatures refuses; signer: a file the launcher would refuse;\n"
    L"       publish: the manifest it wrote does not read back as a release (a fault of the tool)\n"
    L"    2  the command line was not understood\n"
    L"    3  publish refused its inputs (version, URL, input files, an installer's signature,\n"
    L"       the signing certificate or key)\n"
    L"    4  a file could not be read or written\n";

int usage_error(const std::wstring& problem) {
  write_error(L"vl6publish: " + problem + L"\n\n" + kUsage);
  return exit_usage;
}

// "--name value..." options, each given at most once.
class options {
public:
  // `arity`: how many values each known option takes.
  options(const std::vector<std::wstring>& words, const std::map<std::wstring, size_t>& arity) {
    for (size_t i = 0; i < words.size() && problem_.empty(); ++i) {
      const auto known = arity.find(words[i]);
      if (known == arity.end()) {
        if (words[i].compare(0, 2, L"--") == 0) {
          problem_ = L"unknown option " + words[i];
        } else {
          positional_.push_back(words[i]);
        }
        continue;
      }
      if (values_.count(words[i])) {
        problem_ = words[i] + L" is given twice";
      } else if (i + known->second >= words.size()) {
        problem_ = words[i] + L" wants " + std::to_wstring(known->second) + L" value(s)";
      } else {
        std::vector<std::wstring>& values = values_[words[i]];
        for (size_t v = 1; v <= known->second; ++v) values.push_back(words[i + v]);
        i += known->second;
      }
    }
  }

  const std::wstring& problem() const { return problem_; }
  const std::vector<std::wstring>& positional() const { return positional_; }
  std::wstring value(const wchar_t* name, size_t index = 0) const {
    const auto found = values_.find(name);
    return found == values_.end() ? std::wstring() : found->second[index];
  }
  bool has(const wchar_t* name) const { return values_.count(name) != 0; }

private:
  std::map<std::wstring, std::vector<std::wstring>> values_;
  std::vector<std::wstring> positional_;
  std::wstring problem_;
};

// --publisher as given (an empty one too), else the build's publisher.
std::wstring publisher_of(const options& given) {
  return given.has(L"--publisher") ? given.value(L"--publisher") : std::wstring(kBuildPublisher);
}

// --publisher-roots as given (an empty one too, with a warning), else the
// build's pins. False for a text that is no list of thumbprints.
bool roots_of(const options& given, publisher_roots& roots) {
  if (!given.has(L"--publisher-roots")) {
    roots = build_publisher_roots();
    return true;
  }
  if (!parse_publisher_roots(given.value(L"--publisher-roots"), roots)) return false;
  if (roots.empty() && !publisher_of(given).empty()) {
    write_error(L"vl6publish: warning: --publisher-roots is empty: an installer passes with the publisher's "
                L"names from any certification authority this Windows trusts\n");
  }
  return true;
}

// How long a signed manifest stands for its release unless told otherwise,
// and at most: the expiry bounds how long anyone can keep serving an old
// release as the current one.
constexpr int kDefaultExpiryDays = 30;
constexpr int kLongestExpiryDays = 365;

bool read_days(const std::wstring& text, int& days) {
  if (text.empty() || text.size() > 3 || text.find_first_not_of(L"0123456789") != std::wstring::npos) return false;
  const int value = std::stoi(text);
  if (value < 1 || value > kLongestExpiryDays) return false;
  days = value;
  return true;
}

const wchar_t kRootsProblem[] = L"--publisher-roots wants SHA-256 thumbprints (64 hex digits), separated by commas";

int publish_command(const std::vector<std::wstring>& words) {
  const options given(words, {{L"--out", 1}, {L"--version", 1}, {L"--base-url", 1}, {L"--manual", 1},
                              {L"--setup64", 1}, {L"--setup32", 1}, {L"--setup-both", 1}, {L"--new-major", 2},
                              {L"--publisher", 1}, {L"--publisher-roots", 1}, {L"--allow-unsigned", 0},
                              {L"--sign-cert", 1}, {L"--sign-key", 1}, {L"--expires", 1}});
  if (!given.problem().empty()) return usage_error(given.problem());
  if (!given.positional().empty()) return usage_error(L"publish takes no argument " + given.positional()[0]);
  for (const wchar_t* required : {L"--out", L"--version", L"--base-url", L"--manual"}) {
    if (!given.has(required)) return usage_error(std::wstring(L"publish needs ") + required);
  }
  const bool per_architecture = given.has(L"--setup64") && given.has(L"--setup32");
  const bool one_for_both = given.has(L"--setup-both");
  if (one_for_both == (given.has(L"--setup64") || given.has(L"--setup32")) || (!one_for_both && !per_architecture)) {
    return usage_error(L"publish needs --setup64 and --setup32, or --setup-both alone");
  }
  release_inputs inputs;
  inputs.out_folder = given.value(L"--out");
  inputs.version = given.value(L"--version");
  inputs.base_url = given.value(L"--base-url");
  inputs.manual = given.value(L"--manual");
  inputs.setup64 = given.value(L"--setup64");
  inputs.setup32 = given.value(L"--setup32");
  inputs.setup_both = given.value(L"--setup-both");
  inputs.new_major_version = given.value(L"--new-major", 0);
  if (given.has(L"--new-major")) inputs.new_major_url = given.value(L"--new-major", 1);
  inputs.publisher = publisher_of(given);
  if (!roots_of(given, inputs.roots)) return usage_error(kRootsProblem);
  inputs.allow_unsigned = given.has(L"--allow-unsigned");
  inputs.sign = given.has(L"--sign-cert") || given.has(L"--sign-key");
  if (inputs.sign && !(given.has(L"--sign-cert") && given.has(L"--sign-key"))) {
    return usage_error(L"--sign-cert and --sign-key go together");
  }
  if (given.has(L"--expires") && !inputs.sign) return usage_error(L"--expires is for a signed manifest");
  if (inputs.sign && inputs.publisher.empty()) {
    return usage_error(L"a signed manifest needs a publisher to check its signature against; --publisher is empty");
  }
  inputs.signing.certificate = given.value(L"--sign-cert");
  inputs.signing.key = given.value(L"--sign-key");
  inputs.signing.expires_days = kDefaultExpiryDays;
  if (given.has(L"--expires") && !read_days(given.value(L"--expires"), inputs.signing.expires_days)) {
    return usage_error(L"--expires wants a number of days from 1 to " + std::to_wstring(kLongestExpiryDays));
  }
  return publish_release(inputs);
}

int check_command(const std::vector<std::wstring>& words) {
  const options given(words, {});
  if (!given.problem().empty()) return usage_error(given.problem());
  if (given.positional().size() != 1) return usage_error(L"check wants one manifest file");
  const std::wstring& path = given.positional()[0];
  std::vector<char> body;
  if (!read_whole_file(path, body)) {
    write_error(L"vl6publish: cannot read " + path + L" (Windows error " + std::to_wstring(::GetLastError()) +
                L")\n");
    return exit_file_error;
  }
  const manifest_report report = check_manifest(body);
  write_out(path + L": " + std::to_wstring(report.line_count) + L" lines as the launcher counts them\n" +
            describe_report(report));
  return report.release_ready() ? exit_ok : exit_fault_found;
}

int verify_command(const std::vector<std::wstring>& words) {
  const options given(words, {{L"--proxy", 1}, {L"--publisher", 1}, {L"--publisher-roots", 1}, {L"--signed", 0}});
  if (!given.problem().empty()) return usage_error(given.problem());
  if (given.positional().size() != 1) return usage_error(L"verify wants one URL");
  verify_inputs inputs;
  inputs.url = given.positional()[0];
  inputs.proxy = given.value(L"--proxy");
  inputs.publisher = publisher_of(given);
  inputs.signed_required = given.has(L"--signed");
  if (inputs.signed_required && inputs.publisher.empty()) {
    return usage_error(L"--signed needs a publisher to check the signature against; --publisher is empty");
  }
  if (!roots_of(given, inputs.roots)) return usage_error(kRootsProblem);
  return verify_release(inputs);
}

int signer_command(const std::vector<std::wstring>& words) {
  const options given(words, {{L"--publisher", 1}, {L"--publisher-roots", 1}});
  if (!given.problem().empty()) return usage_error(given.problem());
  if (given.positional().empty()) return usage_error(L"signer wants one file or more");
  publisher_roots roots;
  if (!roots_of(given, roots)) return usage_error(kRootsProblem);
  return report_signers(given.positional(), publisher_of(given), roots);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return usage_error(L"no command");
  const std::wstring command = argv[1];
  const std::vector<std::wstring> words(argv + 2, argv + argc);
  if (command == L"publish") return publish_command(words);
  if (command == L"check") return check_command(words);
  if (command == L"verify") return verify_command(words);
  if (command == L"signer") return signer_command(words);
  if (command == L"help" || command == L"--help" || command == L"-h" || command == L"/?") {
    write_out(kUsage);
    return exit_ok;
  }
  return usage_error(L"unknown command " + command);
}
