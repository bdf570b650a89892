"""vl6publish, the release tool, run under Wine as a release engineer runs it:
the tree `publish` lays out and the installers it refuses, what `check` says
about broken manifests, what `verify` finds on the local update server (a manifest's
signature and freshness line too), and what `signer` says of an installer's
signature.

Environment (set by CTest): VELORA_VL6PUBLISH (the program), VELORA_WINE_RUN
and VELORA_WINE_STATE (the Wine bench, whose prefix trusts the test roots),
VELORA_UPDATE_SERVER (the running local update server's state folder:
ports.json, root/, control.json, record.jsonl), VELORA_STANDINS (the signed
stand-in installers and their unsigned/, newer/ and foreign/ builds),
VELORA_TEST_PKI and VELORA_SIGN_PE (the test signing world and its signing
script).
"""

import datetime
import hashlib
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import unittest
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, os.pardir, os.pardir, "tools", "update_server"))
import raw_manifest  # noqa: E402

TOOL = os.environ["VELORA_VL6PUBLISH"]
WINE_RUN = os.environ["VELORA_WINE_RUN"]
WINE_STATE = os.environ["VELORA_WINE_STATE"]
SERVER = os.environ["VELORA_UPDATE_SERVER"]
ROOT = os.path.join(SERVER, "root")
STANDINS = os.environ["VELORA_STANDINS"]
TEST_PKI = os.environ["VELORA_TEST_PKI"]
SIGN_PE = os.environ["VELORA_SIGN_PE"]

# Exit codes, as the usage text lists them.
OK, FAULT, USAGE, REFUSED, FILE_ERROR = 0, 1, 2, 3, 4



def standin(*parts):
    """A stand-in installer of the build: signed by the vendor unless under
    unsigned/ or foreign/ (signed by another publisher)."""
    return os.path.join(STANDINS, *parts)


def read(path):
    with open(path, "rb") as source:
        return source.read()


with open(os.path.join(TEST_PKI, "publisher.txt")) as source:
    PUBLISHER = source.read().strip()
with open(os.path.join(TEST_PKI, "other-root.sha256")) as source:
    OTHER_ROOT = source.read().strip()
OTHER = "Other Test Publisher"
VENDOR_SIGNED = "signed by O=%s, CN=%s, the publisher" % (PUBLISHER, PUBLISHER)
OTHER_SIGNED = 'signed by O=%s, CN=%s, not by the publisher "%s"' % (OTHER, OTHER, PUBLISHER)
UNSIGNED = "no valid signature (0x800B0100: no signature)"

FILES = {"Setup64.exe": read(standin("setup64.exe")), "Setup32.exe": read(standin("setup32.exe")),
         "VL6Manual.pdf": b"%PDF-1.4 Velora manual"}
VERSION = "6.0.2.1"


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run_tool(*args):
    """Exit code, stdout and stderr of one run under Wine."""
    done = subprocess.run([WINE_RUN, WINE_STATE, TOOL] + list(args), capture_output=True, timeout=120)
    return (done.returncode, done.stdout.decode("utf-8"),
            done.stderr.decode("utf-8", errors="replace"))


def pki(name):
    return os.path.join(TEST_PKI, name)


def signed_by(certificate="vendor", key=None):
    """The sign options for a test identity: its certificate file, and its
    own key or that of identity KEY."""
    return {"--sign-cert": windows_path(pki(certificate + ".pem")),
            "--sign-key": windows_path(pki((key or certificate) + ".key"))}


def openssl_sign(content, identity):
    """A detached signature as the launcher's side expects one, made by openssl."""
    done = subprocess.run(["openssl", "cms", "-sign", "-binary", "-md", "sha256", "-outform", "DER",
                           "-signer", pki(identity + ".pem"), "-inkey", pki(identity + ".key")],
                          input=content, capture_output=True, check=True)
    return done.stdout


def openssl_verify(content_path, signature_path):
    """openssl's verdict on a detached signature over the file's exact bytes,
    chained to the test vendor root: (passed, what it said)."""
    done = subprocess.run(["openssl", "cms", "-verify", "-binary", "-inform", "DER", "-in", signature_path,
                           "-content", content_path, "-CAfile", pki("vendor-root.pem"), "-purpose", "any",
                           "-out", os.devnull], capture_output=True)
    return done.returncode == 0, done.stderr.decode(errors="replace")


# The freshness line the tool writes, last, with the manifest's line end.
FRESHNESS_LAST = re.compile(rb"\r\nfreshness (\d+) (\S+Z) (\S+Z)\r\n\Z")
DAY = datetime.timedelta(days=1)


def freshness_of(manifest):
    """Serial, signing time and expiry of a manifest's last line."""
    found = FRESHNESS_LAST.search(manifest)
    if not found:
        return None
    def when(text):
        return datetime.datetime.strptime(text.decode(), "%Y-%m-%dT%H:%M:%SZ")
    return int(found.group(1)), when(found.group(2)), when(found.group(3))


def ports():
    with open(os.path.join(SERVER, "ports.json")) as source:
        return json.load(source)


def base_url(folder):
    return "http://127.0.0.1:%d/%s" % (ports()["http"], folder)


def md5(data):
    return hashlib.md5(data).hexdigest()


def set_control(data):
    path = os.path.join(SERVER, "control.json")
    with open(path + ".tmp", "w") as out:
        json.dump(data, out)
    os.replace(path + ".tmp", path)


def recorded(listener):
    with open(os.path.join(SERVER, "record.jsonl"), encoding="utf-8") as source:
        entries = [json.loads(line) for line in source if line.strip()]
    return [e for e in entries if e.get("event") == "request" and e["listener"] == listener]


class ReleaseCase(unittest.TestCase):
    """A fresh folder of input files and a fresh release folder in the served tree."""
    folder = "vl6publish-test"

    def setUp(self):
        self.inputs = tempfile.mkdtemp(prefix="vl6publish-inputs.")
        for name, data in FILES.items():
            with open(os.path.join(self.inputs, name), "wb") as out:
                out.write(data)
        self.out = os.path.join(ROOT, self.folder)
        shutil.rmtree(self.out, ignore_errors=True)

    def tearDown(self):
        shutil.rmtree(self.inputs, ignore_errors=True)
        shutil.rmtree(self.out, ignore_errors=True)

    def input(self, name):
        return windows_path(os.path.join(self.inputs, name))

    def publish_args(self, **changes):
        args = {"--out": windows_path(self.out), "--version": VERSION,
                "--base-url": base_url(self.folder), "--setup64": self.input("Setup64.exe"),
                "--setup32": self.input("Setup32.exe"), "--manual": self.input("VL6Manual.pdf")}
        args.update(changes)
        words = ["publish"]
        for name, value in args.items():
            if value is not None:
                words += [name] + (list(value) if isinstance(value, tuple) else [value])
        return words

    def publish(self, **changes):
        return run_tool(*self.publish_args(**changes))

    def manifest_path(self):
        return os.path.join(self.out, "launcher", "installer6.lt")

    def signature_path(self):
        return self.manifest_path() + ".p7s"

    def served(self):
        """Every served file and its bytes."""
        return {name: read(os.path.join(self.out, name)) for name in self.served_files()}

    def served_files(self):
        found = []
        for folder, _, names in os.walk(self.out):
            found += [os.path.relpath(os.path.join(folder, name), self.out).replace(os.sep, "/")
                      for name in names]
        return sorted(found)


class PublishTest(ReleaseCase):
    def test_lays_out_a_tree_that_a_static_server_serves(self):
        code, out, err = self.publish(**{"--new-major": ("7.0.0.0", "http://example.test/V7/")})
        self.assertEqual(code, OK, out + err)
        self.assertEqual(self.served_files(), [
            "download/6.0.2.1/setup32.exe", "download/6.0.2.1/setup64.exe",
            "download/6.0.2.1/vl6manual.pdf", "launcher/installer6.lt"])
        base = base_url(self.folder)
        with open(os.path.join(self.out, "launcher", "installer6.lt"), "rb") as source:
            manifest = source.read()
        self.assertEqual(manifest, (
            "velora launcher manifest 6.0.2.1\r\n"
            "64bit 6.0.2.1 %s %s/download/6.0.2.1/setup64.exe\r\n"
            "32bit 6.0.2.1 %s %s/download/6.0.2.1/setup32.exe\r\n"
            "both manual %s %s/download/6.0.2.1/vl6manual.pdf\r\n"
            "both 7.0.0.0 - http://example.test/V7/\r\n"
            % (md5(FILES["Setup64.exe"]), base, md5(FILES["Setup32.exe"]), base,
               md5(FILES["VL6Manual.pdf"]), base)).encode("cp932"))
        # What the URLs name is what was given.
        for name, data in FILES.items():
            with urllib.request.urlopen("%s/download/6.0.2.1/%s" % (base, name.lower())) as answer:
                self.assertEqual(answer.read(), data)
        self.assertIn("Result: both systems get an installer; 0 faults, 0 warnings.", out)
        self.assertEqual(out.count(VENDOR_SIGNED), 2, out)

    def test_one_installer_for_both(self):
        code, out, err = self.publish(**{"--setup64": None, "--setup32": None,
                                         "--setup-both": self.input("Setup64.exe")})
        self.assertEqual(code, OK, out + err)
        with open(os.path.join(self.out, "launcher", "installer6.lt"), "rb") as source:
            self.assertIn(b"\r\nboth 6.0.2.1 %s " % md5(FILES["Setup64.exe"]).encode(), source.read())
        self.assertIn("installer 6.0.2.1 for 64-bit and 32-bit systems", out)

    def test_refuses_what_the_launcher_could_not_use(self):
        with open(os.path.join(self.inputs, "\u30bb\u30c3\u30c8\u30a2\u30c3\u30d7.exe"), "wb") as out:
            out.write(b"x")
        cases = [
            ("older generation", {"--version": "5.9.9.9"}, REFUSED,
             'version "5.9.9.9": the launcher takes an installer only for a version a.b.c.d whose first number is 6'),
            ("newer generation as installer", {"--version": "7.0.0.0"}, REFUSED, "whose first number is 6"),
            ("three numbers", {"--version": "6.0.2"}, REFUSED, "whose first number is 6"),
            ("more than the version", {"--version": "v6.0.2.1"}, REFUSED, "write it as four numbers"),
            ("no host", {"--base-url": "http:///velora"}, REFUSED, "names no host"),
            ("capitals in the path", {"--base-url": "https://cdn.example/Velora"}, REFUSED,
             'has capitals in its path: the launcher requests "/velora"'),
            ("not http", {"--base-url": "ftp://cdn.example/velora"}, REFUSED, "http and https only"),
            ("an escape", {"--base-url": "http://cdn.example/a%2fb"}, REFUSED,
             'the launcher would request "/a/b/download/6.0.2.1/"'),
            ("a query", {"--base-url": "http://cdn.example/velora?x=1"}, REFUSED, "holds a query"),
            ("text in front", {"--base-url": "x-http://cdn.example/"}, REFUSED, "does not begin with its scheme"),
            ("missing installer", {"--setup32": self.input("setup32-missing.exe")}, REFUSED,
             "setup32-missing.exe\": no such file"),
            ("missing manual", {"--manual": self.input("none.pdf")}, REFUSED, "none.pdf\": no such file"),
            ("a folder for a file", {"--manual": windows_path(self.inputs)}, REFUSED, "no such file"),
            ("name outside ASCII", {"--setup64": self.input("\u30bb\u30c3\u30c8\u30a2\u30c3\u30d7.exe")},
             REFUSED, "name it with ASCII letters"),
            ("the same name twice", {"--setup32": self.input("Setup64.exe")}, REFUSED,
             'two release files are both named "setup64.exe"'),
            ("old newer generation", {"--new-major": ("6.5.0.0", "http://example.test/")}, REFUSED,
             "first number is 7 or more"),
            # The launcher's own gate, last among the refusals.
            ("an unsigned installer", {"--setup64": windows_path(standin("unsigned", "setup64.exe"))}, REFUSED,
             'setup64.exe": %s; the launcher refuses to start it. Sign it, or publish it anyway with '
             '--allow-unsigned' % UNSIGNED),
            ("another publisher's installer", {"--setup32": windows_path(standin("foreign", "setup32.exe"))},
             REFUSED, OTHER_SIGNED),
            ("a publisher who signed none", {"--publisher": "Camberly Co., Ltd."}, REFUSED,
             'signed by O=%s, CN=%s, not by the publisher "Camberly Co., Ltd."' % (PUBLISHER, PUBLISHER)),
            ("both kinds of installer", {"--setup-both": self.input("Setup64.exe")}, USAGE,
             "--setup64 and --setup32, or --setup-both alone"),
            ("no version", {"--version": None}, USAGE, "publish needs --version"),
        ]
        for what, changes, expected_code, expected_text in cases:
            with self.subTest(what):
                code, out, err = self.publish(**changes)
                self.assertEqual(code, expected_code, out + err)
                self.assertIn(expected_text, err)
                self.assertFalse(os.path.exists(self.out), "nothing is written")

    def test_an_installer_the_launcher_refuses_only_when_allowed(self):
        # Published as it is, each with what the run says of it.
        unsigned = standin("unsigned", "setup64.exe")
        cases = [
            ("--allow-unsigned", {"--allow-unsigned": ()},
             "vl6publish: warning: installer \"%s\": %s; the launcher refuses to start it; published as "
             "--allow-unsigned asks" % (windows_path(unsigned), UNSIGNED), UNSIGNED),
            ("no publisher: nothing checked", {"--publisher": ""}, "",
             "signature not checked: no publisher given"),
        ]
        for what, changes, expected_err, expected_out in cases:
            with self.subTest(what):
                shutil.rmtree(self.out, ignore_errors=True)
                code, out, err = self.publish(**{"--setup64": windows_path(unsigned)}, **changes)
                self.assertEqual(code, OK, out + err)
                if expected_err:
                    self.assertIn(expected_err, err)
                else:
                    self.assertNotIn("warning", err)
                self.assertIn(expected_out, out)
                with open(os.path.join(self.out, "download", VERSION, "setup64.exe"), "rb") as served:
                    self.assertEqual(served.read(), read(unsigned))

    def test_a_published_file_never_changes_its_bytes(self):
        self.assertEqual(self.publish()[0], OK)
        code, out, err = self.publish()
        self.assertEqual(code, OK, out + err)
        shutil.copyfile(standin("newer", "setup32.exe"), os.path.join(self.inputs, "Setup32.exe"))
        code, out, err = self.publish()
        self.assertEqual(code, REFUSED, out + err)
        self.assertIn("was published before with other bytes", err)
        with open(os.path.join(self.out, "download", VERSION, "setup32.exe"), "rb") as served:
            self.assertEqual(served.read(), FILES["Setup32.exe"])
        self.assertEqual(self.publish(**{"--version": "6.0.2.2"})[0], OK)

    def test_output_is_utf8_when_redirected(self):
        folder = "\u30ea\u30ea\u30fc\u30b9"
        code, out, err = self.publish(**{"--out": windows_path(os.path.join(self.out, folder))})
        self.assertEqual(code, OK, out + err)
        self.assertIn("\\%s\\download\\6.0.2.1\\setup64.exe" % folder, out)


class SignedPublishTest(ReleaseCase):
    folder = "vl6publish-signed"

    def test_signs_the_manifest_over_its_exact_bytes(self):
        # Identities the launcher takes, each signing a first release: the
        # signature verifies with openssl over the manifest as it lies.
        traditional_key = os.path.join(self.inputs, "vendor-rsa.key")
        subprocess.run(["openssl", "rsa", "-in", pki("vendor.key"), "-traditional", "-out", traditional_key],
                       check=True, capture_output=True)
        cases = [
            ("the vendor's certificate, a PKCS #8 key", signed_by("vendor")),
            ("a certificate from an issuing CA that its file carries", signed_by("issued")),
            ('an "RSA PRIVATE KEY"', dict(signed_by("vendor"), **{"--sign-key": windows_path(traditional_key)})),
        ]
        for what, options in cases:
            with self.subTest(what):
                shutil.rmtree(self.out, ignore_errors=True)
                before = datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0, tzinfo=None)
                code, out, err = self.publish(**options)
                self.assertEqual(code, OK, out + err)
                self.assertNotIn("warning", err)
                passed, said = openssl_verify(self.manifest_path(), self.signature_path())
                self.assertTrue(passed, said)
                serial, signed, expires = freshness_of(read(self.manifest_path()))
                self.assertEqual(serial, 1)
                self.assertLessEqual(before, signed)
                self.assertEqual(expires - signed, 30 * DAY)
                self.assertIn("installer6.lt.p7s\n    %s\n    serial 1, signed " % VENDOR_SIGNED, out)
                self.assertIn("(in 30 days); the first release in this folder", out)
                self.assertIn("freshness line, ignored by launchers that do not check signatures: serial 1", out)

    def test_republishing_into_the_same_folder(self):
        # Unsigned, then signed twice, then unsigned again: the serial counts
        # on from the manifest each release replaces, and the signed manifest
        # is the unsigned one with its freshness line, which neither check
        # nor the launcher's reader takes anything from.
        code, out, err = self.publish()
        self.assertEqual(code, OK, out + err)
        unsigned = read(self.manifest_path())

        code, out, err = self.publish(**signed_by())
        self.assertEqual(code, OK, out + err)
        self.assertIn("installer6.lt, the manifest this release replaces, has no readable freshness line, so "
                      "the serial starts again at 1", err)
        first = read(self.manifest_path())
        self.assertEqual(first[:len(unsigned)], unsigned)
        self.assertEqual(freshness_of(first)[0], 1)
        checks = {}
        for name, manifest in (("unsigned", unsigned), ("signed", first)):
            path = os.path.join(self.inputs, name + ".lt")
            with open(path, "wb") as copy:
                copy.write(manifest)
            code, out, err = run_tool("check", windows_path(path))
            self.assertEqual(code, OK, out + err)
            checks[name] = out
        taken = [text.split("\nLines:\n")[0].split(" lines as the launcher counts them\n")[1]
                 for text in (checks["unsigned"], checks["signed"])]
        self.assertEqual(taken[0], taken[1])
        self.assertIn("line 5: freshness line, ignored by launchers that do not check signatures", checks["signed"])

        code, out, err = self.publish(**signed_by(), **{"--expires": "7"})
        self.assertEqual(code, OK, out + err)
        self.assertNotIn("warning", err)
        self.assertIn("(in 7 days); the release it replaces carried 1", out)
        serial, signed, expires = freshness_of(read(self.manifest_path()))
        self.assertEqual((serial, expires - signed), (2, 7 * DAY))
        self.assertTrue(openssl_verify(self.manifest_path(), self.signature_path())[0])

        # Unsigned again: the old signature fits no other manifest and goes.
        code, out, err = self.publish()
        self.assertEqual(code, OK, out + err)
        self.assertIn("removed %s, the signature of the release this one replaces" %
                      windows_path(self.signature_path()), out)
        self.assertFalse(os.path.exists(self.signature_path()))
        self.assertEqual(read(self.manifest_path()), unsigned)

    def test_refuses_a_signature_the_launcher_would_refuse(self):
        # A signed release lies in the folder: a refused one leaves it as it was.
        code, out, err = self.publish(**{"--version": "6.0.2.0"}, **signed_by())
        self.assertEqual(code, OK, out + err)
        before = self.served()
        cases = [
            ("a key of another certificate", signed_by("vendor", key="other"), REFUSED,
             "--sign-key %s is not the key of the certificate in --sign-cert %s"
             % (windows_path(pki("other.key")), windows_path(pki("vendor.pem")))),
            ("another publisher's certificate", signed_by("other"), REFUSED,
             "%s; the launcher would refuse the manifest's signature" % OTHER_SIGNED),
            ("a chain that cannot be completed", signed_by("orphan"), REFUSED,
             "a certificate the launcher does not trust for code signing (0x800B010A: no chain to a trusted root)"),
            ("a key file without a key", {"--sign-cert": windows_path(pki("vendor.pem")),
                                          "--sign-key": windows_path(pki("vendor.pem"))}, REFUSED,
             "wants one unencrypted RSA private key in PEM"),
            ("a certificate file that is missing", signed_by("none"), FILE_ERROR, "cannot read"),
            ("--sign-cert alone", {"--sign-cert": signed_by()["--sign-cert"]}, USAGE,
             "--sign-cert and --sign-key go together"),
            ("no days", dict(signed_by(), **{"--expires": "0"}), USAGE,
             "--expires wants a number of days from 1 to 365"),
        ]
        for what, options, expected_code, expected_text in cases:
            with self.subTest(what):
                code, out, err = self.publish(**options)
                self.assertEqual(code, expected_code, out + err)
                self.assertIn(expected_text, err)
                self.assertEqual(self.served(), before)


MD5_64 = md5(b"64")
MD5_32 = md5(b"32")
MD5_MANUAL = md5(b"manual")
HEADER = "velora launcher manifest 6.0.2.1"
LINE_64 = "64bit 6.0.2.1 %s http://cdn.example/download/6.0.2.1/setup64.exe" % MD5_64
LINE_32 = "32bit 6.0.2.1 %s http://cdn.example/download/6.0.2.1/setup32.exe" % MD5_32
LINE_MANUAL = "both manual %s http://cdn.example/download/6.0.2.1/vl6manual.pdf" % MD5_MANUAL
FRESHNESS = "freshness 7 2026-01-01T00:00:00Z 2099-01-01T00:00:00Z"


class CheckTest(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="vl6publish-check.")
        self.manifest = os.path.join(self.work, "installer6.lt")

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def check(self, lines, line_end="crlf"):
        raw_manifest.write_manifest(self.manifest, lines, line_end)
        return run_tool("check", windows_path(self.manifest))

    def test_names_each_fault(self):
        # Lines, the exit code, and what check must say. Line numbers are an
        # editor's: the blank line in "unknown architecture" counts.
        cases = [
            ("tab between fields", [HEADER, LINE_64.replace(" ", "\t", 1), LINE_32, LINE_MANUAL], FAULT,
             ['line 2: fault: ignored, a tab between fields: the launcher separates fields by spaces only, '
              'so "64bit\\t6.0.2.1" is one field',
              "Result: 64-bit Windows gets no usable installer"]),
            ("too few fields", [HEADER, LINE_64.rsplit(" ", 1)[0], LINE_32, LINE_MANUAL], FAULT,
             ["line 2: fault: ignored, only 3 fields: an installer line needs architecture, version, "
              "MD5 text and URL"]),
            ("unknown architecture", [HEADER, "", LINE_64.replace("64bit", "x64"), LINE_32, LINE_MANUAL], FAULT,
             ['line 3: fault: ignored, architecture "x64" is none of 32bit, 64bit, both']),
            ("older version", [HEADER, LINE_64.replace("6.0.2.1", "5.9.9.9"), LINE_32, LINE_MANUAL], FAULT,
             ['line 2: fault: ignored, version "5.9.9.9": the launcher takes an installer only for a '
              'first number of 6']),
            ("three-number version", [HEADER, LINE_64.replace("6.0.2.1", "6.0.2"), LINE_32, LINE_MANUAL], FAULT,
             ['line 2: fault: ignored, "6.0.2" is no version a.b.c.d']),
            ("installer line where the header belongs", [LINE_64, LINE_32, LINE_MANUAL], FAULT,
             ["line 1: fault: an installer line stands where the header belongs",
              "64-bit Windows takes:\n  installer:        none"]),
            ("MD5 text too short", [HEADER, LINE_64.replace(MD5_64, MD5_64[:31]), LINE_32, LINE_MANUAL], FAULT,
             ['line 2: fault: MD5 text "%s" is not 32 hexadecimal digits' % MD5_64[:31]]),
            ("MD5 text not hexadecimal", [HEADER, LINE_64, LINE_32,
                                          LINE_MANUAL.replace(MD5_MANUAL, "g" * 32)], FAULT,
             ['line 4: fault: MD5 text "%s" is not 32 hexadecimal digits' % ("g" * 32)]),
            ("URL without host", [HEADER, LINE_64.replace("http://cdn.example", ""), LINE_32, LINE_MANUAL], FAULT,
             ['line 2: fault: URL "/download/6.0.2.1/setup64.exe" names no host']),
            ("capitals in the path", [HEADER, LINE_64.replace("setup64", "Setup64"), LINE_32, LINE_MANUAL], OK,
             ['line 2: warning: capitals in the path or query: the launcher requests '
              '"/download/6.0.2.1/setup64.exe", so the server must serve it under that lower-case name']),
            ("a later line overrides", [HEADER, "both 6.0.2.0 %s http://cdn.example/old.exe" % md5(b"old"),
                                        LINE_64, LINE_32, LINE_MANUAL], OK,
             ["line 3: warning: overrides the installer of line 2 on 64-bit systems",
              "line 4: warning: overrides the installer of line 2 on 32-bit systems",
              "64-bit Windows takes:\n  installer:        line 3, MD5 %s" % MD5_64]),
            ("a manual alone", [HEADER, LINE_MANUAL], FAULT,
             ["Result: neither system gets a usable installer"]),
            ("a line of spaces", [HEADER, "   ", LINE_64, LINE_32, LINE_MANUAL], OK,
             ["line 2: spaces only: the launcher finds no field in it and reads on"]),
            # A signed manifest's freshness line: read, and no system's line.
            ("a freshness line", [HEADER, LINE_64, LINE_32, LINE_MANUAL, FRESHNESS], OK,
             ["line 5: freshness line, ignored by launchers that do not check signatures: serial 7, "
              "signed 2026-01-01T00:00:00Z, expires 2099-01-01T00:00:00Z (in ",
              "Result: both systems get an installer; 0 faults, 0 warnings."]),
            ("a freshness line that does not read", [HEADER, LINE_64, LINE_32, LINE_MANUAL,
                                                     "freshness 7 2026-01-01 2099-01-01"], FAULT,
             ['line 5: fault: a freshness line that does not read (it wants "freshness SERIAL SIGNED EXPIRES"']),
            ("an expired freshness line", [HEADER, LINE_64, LINE_32, LINE_MANUAL,
                                           "FRESHNESS 7 2020-01-01T00:00:00Z 2020-01-31T00:00:00Z"], FAULT,
             ["line 5: freshness line, ignored by launchers that do not check signatures: serial 7, "
              "signed 2020-01-01T00:00:00Z, expired 2020-01-31T00:00:00Z (",
              "line 5: fault: expired: launchers that check signatures refuse the manifest"]),
            ("two freshness lines", [HEADER, FRESHNESS, LINE_64, LINE_32, LINE_MANUAL, FRESHNESS], FAULT,
             ["line 2: freshness line, ignored", "line 6: fault: a second freshness line"]),
            ("an empty file", [], FAULT, ["file: fault: the manifest holds no line at all"]),
        ]
        for what, lines, expected_code, expected_texts in cases:
            with self.subTest(what):
                code, out, err = self.check(lines)
                self.assertEqual(code, expected_code, out + err)
                for text in expected_texts:
                    self.assertIn(text, out)

    def test_reads_what_the_launcher_reads(self):
        # Other line ends, blank lines and upper-case digests are all the
        # launcher's to take.
        lines = [HEADER, "", LINE_64.replace(MD5_64, MD5_64.upper()), LINE_32, LINE_MANUAL]
        for line_end in ("crlf", "lf", "cr"):
            with self.subTest(line_end):
                code, out, err = self.check(lines, line_end)
                self.assertEqual(code, OK, out + err)
                self.assertIn("32-bit Windows takes:\n  installer:        line 4, MD5 %s" % MD5_32, out)
                self.assertIn("Result: both systems get an installer; 0 faults, 0 warnings.", out)

    def test_a_missing_file(self):
        code, _, err = run_tool("check", windows_path(os.path.join(self.work, "none.lt")))
        self.assertEqual(code, FILE_ERROR)
        self.assertIn("cannot read", err)


class ServedReleaseCase(ReleaseCase):
    """A release published into the served tree (with the options of
    `publish_options`) before each test, and `verify` run against it."""
    publish_options = {}

    def setUp(self):
        super().setUp()
        code, out, err = self.publish(**self.publish_options)
        self.assertEqual(code, OK, out + err)
        open(os.path.join(SERVER, "record.jsonl"), "w").close()

    def tearDown(self):
        set_control({})
        super().tearDown()

    def verify(self, *extra, url=None):
        """Runs verify; a run that Wine killed while it ended is repeated.

        Wine 8 sometimes kills a process that used WinINet with SIGSEGV
        while the process ends, after its last output (a race in its thread
        teardown, seen only under load). Such a run is repeated once, with
        the server's record emptied again."""
        args = ["verify", url or base_url(self.folder)] + list(extra)
        done = run_tool(*args)
        if done[0] == -signal.SIGSEGV:
            open(os.path.join(SERVER, "record.jsonl"), "w").close()
            done = run_tool(*args)
        return done


class VerifyTest(ServedReleaseCase):
    folder = "vl6publish-verify"

    def test_an_untouched_release_passes(self):
        code, out, err = self.verify()
        self.assertEqual(code, OK, out + err)
        self.assertEqual(out.count("MD5 matches"), 3, out)
        self.assertIn('installers must be signed by "%s"' % PUBLISHER, out)
        self.assertEqual(out.count("MD5 matches\n    %s\n" % VENDOR_SIGNED), 2, out)
        self.assertIn("Result: 3 of 3 files match.", out)
        # Requests as the launcher's downloader sends them.
        targets = [entry["target"] for entry in recorded("http")]
        self.assertEqual(targets, ["/%s/launcher/installer6.lt?scode=r7qd" % self.folder,
                                   "/%s/launcher/installer6.lt.p7s?scode=r7qd" % self.folder] +
                         ["/%s/download/6.0.2.1/%s" % (self.folder, name)
                          for name in ("setup64.exe", "setup32.exe", "vl6manual.pdf")])
        for entry in recorded("http"):
            headers = [(name.lower(), value) for name, value in entry["headers"]]
            self.assertIn(("user-agent", "Velora/6.0"), headers)
            self.assertLess(headers.index(("cache-control", "no-cache")), headers.index(("pragma", "no-cache")))

    def test_finds_a_file_changed_after_publishing(self):
        served = os.path.join(self.out, "download", VERSION, "setup32.exe")
        with open(served, "r+b") as changed:
            changed.seek(3)
            changed.write(b"X")
        code, out, err = self.verify()
        self.assertEqual(code, FAULT, out + err)
        changed_md5 = md5(FILES["Setup32.exe"][:3] + b"X" + FILES["Setup32.exe"][4:])
        self.assertIn("setup32.exe\n    status 200, %d bytes, MD5 differs: manifest %s, file %s"
                      % (len(FILES["Setup32.exe"]), md5(FILES["Setup32.exe"]), changed_md5), out)
        self.assertEqual(out.count("MD5 matches"), 2, out)
        self.assertIn("NOT a good release", out)

    def test_finds_an_installer_whose_signature_changed_after_publishing(self):
        # The served installer changed only in its signature: the manifest's
        # MD5 text is made to match it, as a hostile server's would.
        served = os.path.join(self.out, "download", VERSION, "setup64.exe")
        manifest = os.path.join(self.out, "launcher", "installer6.lt")
        signed = served + ".signed"
        published, published_manifest = read(served), read(manifest)
        cases = [
            ("re-signed by another publisher", [SIGN_PE, TEST_PKI, "other", signed, served], OTHER_SIGNED),
            ("signature removed", ["osslsigncode", "remove-signature", "-in", signed, "-out", served], UNSIGNED),
        ]
        for what, command, expected in cases:
            with self.subTest(what):
                os.replace(served, signed)
                try:
                    subprocess.run(command, check=True, capture_output=True)
                    with open(manifest, "wb") as changed:
                        changed.write(b"\n".join(
                            line.replace(md5(published).encode(), md5(read(served)).encode())
                            if b"setup64.exe" in line else line
                            for line in published_manifest.split(b"\n")))
                    code, out, err = self.verify()
                    self.assertEqual(code, FAULT, out + err)
                    self.assertIn("setup64.exe\n    status 200, %d bytes, MD5 matches\n    REFUSED: %s\n"
                                  % (len(read(served)), expected), out)
                    self.assertIn("Result: 3 of 3 files match; 1 installer(s) the launcher refuses to start; "
                                  "NOT a good release.", out)
                finally:
                    os.replace(signed, served)
                    with open(manifest, "wb") as restored:
                        restored.write(published_manifest)

    def test_an_unsigned_manifest_is_a_fault_only_when_asked(self):
        unsigned = "installer6.lt.p7s?scode=R7QD: status 404, "
        for options, expected_code, expected_result in (
                ((), OK, "Result: 3 of 3 files match."),
                (("--signed",), FAULT, "Result: 3 of 3 files match; the manifest is unsigned; NOT a good release.")):
            with self.subTest(options):
                code, out, err = self.verify(*options)
                self.assertEqual(code, expected_code, out + err)
                self.assertIn(unsigned, out)
                self.assertIn("the manifest is unsigned; launchers that check signatures refuse it", out)
                self.assertIn(expected_result, out)

    def test_finds_a_missing_file(self):
        os.remove(os.path.join(self.out, "download", VERSION, "vl6manual.pdf"))
        code, out, err = self.verify()
        self.assertEqual(code, FAULT, out + err)
        self.assertIn("vl6manual.pdf\n    status 404", out)

    def test_no_manifest(self):
        code, out, err = self.verify(url=base_url("vl6publish-nothing-here"))
        self.assertEqual(code, FAULT, out + err)
        self.assertIn("installer6.lt?scode=R7QD: status 404", out)

    def test_through_the_given_proxy(self):
        set_control({"proxy": {"require_auth": False}})
        code, out, err = self.verify("--proxy", "127.0.0.1:%d" % ports()["proxy"])
        self.assertEqual(code, OK, out + err)
        self.assertEqual(len(recorded("proxy")), 5)

    def test_a_bad_proxy_option(self):
        code, _, err = self.verify("--proxy", "127.0.0.1")
        self.assertEqual(code, USAGE)
        self.assertIn("--proxy wants HOST:PORT", err)


class SignedVerifyTest(ServedReleaseCase):
    folder = "vl6publish-verify-signed"
    publish_options = signed_by()

    def setUp(self):
        super().setUp()
        self.published = read(self.manifest_path())

    def test_a_signed_release_passes(self):
        code, out, err = self.verify("--signed")
        self.assertEqual(code, OK, out + err)
        _, signed, expires = freshness_of(self.published)
        self.assertIn("installer6.lt.p7s?scode=R7QD: status 200, %d bytes\n    %s\n    serial 1, signed %s, "
                      "expires %s (in 30 days)\n" % (os.path.getsize(self.signature_path()), VENDOR_SIGNED,
                                                      signed.strftime("%Y-%m-%dT%H:%M:%SZ"),
                                                      expires.strftime("%Y-%m-%dT%H:%M:%SZ")), out)
        self.assertIn("Result: 3 of 3 files match.", out)

    def test_finds_a_manifest_the_launcher_would_refuse(self):
        # The served manifest or its signature changed after publishing; the
        # MD5 texts still match the files throughout.
        published = self.published
        last_line = published.rindex(b"freshness ")
        expired = published[:last_line] + b"freshness 1 2020-01-01T00:00:00Z 2020-01-31T00:00:00Z\r\n"
        unfresh = published[:last_line]
        cases = [
            ("one byte of the manifest changed", published.replace(b"velora launcher", b"Velora launcher", 1),
             None, "REFUSED: signed by O=%s, CN=%s, but the signature does not hold (0x80091007)"
             % (PUBLISHER, PUBLISHER), "the manifest's signature is refused"),
            ("signed by another publisher", published, openssl_sign(published, "other"),
             "REFUSED: %s; launchers that check signatures refuse the manifest" % OTHER_SIGNED,
             "the manifest's signature is refused"),
            ("expired", expired, openssl_sign(expired, "vendor"),
             "%s\n    EXPIRED: serial 1, signed 2020-01-01T00:00:00Z, expired 2020-01-31T00:00:00Z (" % VENDOR_SIGNED,
             "the manifest has expired"),
            ("signed without a freshness line", unfresh, openssl_sign(unfresh, "vendor"),
             "REFUSED: no readable freshness line; launchers that check signatures refuse the manifest",
             "the signed manifest has no readable freshness line"),
        ]
        signature = read(self.signature_path())
        for what, manifest, new_signature, expected_text, expected_result in cases:
            with self.subTest(what):
                with open(self.manifest_path(), "wb") as out:
                    out.write(manifest)
                with open(self.signature_path(), "wb") as out:
                    out.write(new_signature or signature)
                code, out, err = self.verify()
                self.assertEqual(code, FAULT, out + err)
                self.assertIn(expected_text, out)
                self.assertIn("Result: 3 of 3 files match; %s; NOT a good release." % expected_result, out)


class SignerTest(unittest.TestCase):
    def test_says_what_the_launcher_would_start(self):
        vendor, foreign = standin("setup64.exe"), standin("foreign", "setup64.exe")
        missing = standin("missing.exe")
        cases = [
            ("the vendor's", [vendor], [], OK, ["setup64.exe: accepted, " + VENDOR_SIGNED]),
            ("another publisher's", [foreign], [], FAULT, ["setup64.exe: REFUSED, " + OTHER_SIGNED]),
            ("unsigned", [standin("unsigned", "setup64.exe")], [], FAULT, ["setup64.exe: REFUSED, " + UNSIGNED]),
            ("for a launcher of that other publisher, pinning its root", [foreign],
             ["--publisher", OTHER, "--publisher-roots", OTHER_ROOT], OK,
             ["setup64.exe: accepted, signed by O=%s, CN=%s, the publisher" % (OTHER, OTHER)]),
            # The build pins the test vendor's root, whoever the publisher named.
            ("that other publisher's names alone", [foreign], ["--publisher", OTHER], FAULT,
             ["setup64.exe: REFUSED, signed by O=%s, CN=%s, a certificate the launcher does not trust for "
              "code signing (0x800B0109" % (OTHER, OTHER)]),
            ("that other publisher, any root this Windows trusts", [foreign],
             ["--publisher", OTHER, "--publisher-roots", ""], OK, ["setup64.exe: accepted"]),
            ("pins that are no thumbprints", [vendor], ["--publisher-roots", "abc"], USAGE, []),
            ("one to start, one missing", [vendor, missing], [], FILE_ERROR,
             ["setup64.exe: accepted", "missing.exe: REFUSED, cannot be read (Windows error 2)"]),
        ]
        for what, files, options, expected_code, expected_texts in cases:
            with self.subTest(what):
                code, out, err = run_tool("signer", *options, *[windows_path(f) for f in files])
                self.assertEqual(code, expected_code, out + err)
                for text in expected_texts:
                    self.assertIn(text, out)


if __name__ == "__main__":
    unittest.main()
