"""Signed manifests for the local update server (--sign-with PKI_DIR).

A launcher built to read only signed manifests asks for the manifest and then
for its detached signature beside it (PATH.p7s). With a signer, the server
serves every .lt of its tree with a freshness line ("freshness SERIAL SIGNED
EXPIRES", added as the last line when the file has none) and answers PATH.p7s,
when no such file lies in the tree, with a CMS signature over exactly those
bytes, made with `openssl cms` and the test vendor's identity:

    openssl cms -sign -binary -md sha256 -outform DER
                -signer vendor.pem -inkey vendor.key -certfile vendor-ca.pem

The added line is derived from the file alone (its modification time: the
serial is that time in seconds, signed then, expiring a year later), so the
.lt and its .p7s agree however often either is asked for, and a manifest
written later carries a higher serial. A file that has its own freshness line
is served as it is (a test's replay of an older release, say), and a .p7s file
in the tree is served as it is.
"""

import datetime
import hashlib
import os
import subprocess
import threading

MANIFEST_SUFFIX = ".lt"
SIGNATURE_SUFFIX = ".p7s"
FRESHNESS_WORD = b"freshness"
VALIDITY = datetime.timedelta(days=365)


def utc_text(moment):
    return moment.strftime("%Y-%m-%dT%H:%M:%SZ")


def has_freshness_line(content):
    # As the launcher reads lines: blank ones are none, the first is the header.
    lines = [line for line in content.replace(b"\r", b"\n").split(b"\n") if line]
    for line in lines[1:]:
        fields = [field for field in line.split(b" ") if field]
        if fields and fields[0].lower() == FRESHNESS_WORD:
            return True
    return False


def freshness_line(modified):
    signed = datetime.datetime.fromtimestamp(int(modified), datetime.timezone.utc)
    return "freshness %d %s %s" % (int(modified), utc_text(signed), utc_text(signed + VALIDITY))


def with_freshness(content, modified):
    """CONTENT with a freshness line for a file modified at MODIFIED (seconds),
    in the file's own line ending, unless it has one."""
    if has_freshness_line(content):
        return content
    ending = b"\r\n" if b"\r\n" in content else b"\n"
    if content and not content.endswith((b"\r", b"\n")):
        content += ending
    return content + freshness_line(modified).encode("ascii") + ending


class ManifestSigner:
    def __init__(self, pki):
        self.identity = [os.path.join(pki, name) for name in ("vendor.pem", "vendor.key", "vendor-ca.pem")]
        missing = [path for path in self.identity if not os.path.isfile(path)]
        if missing:
            raise SystemExit("update_server: --sign-with %s lacks %s" % (pki, ", ".join(missing)))
        self.lock = threading.Lock()
        self.signatures = {}

    def served_manifest(self, path, content, modified):
        """The bytes served for the file at PATH."""
        return with_freshness(content, modified) if path.endswith(MANIFEST_SUFFIX) else content

    def signature_for(self, path, file_for):
        """The signature served at PATH, a manifest's path + ".p7s", when there
        is no such file; None when PATH names no manifest of the tree."""
        if not path.endswith(MANIFEST_SUFFIX + SIGNATURE_SUFFIX):
            return None
        manifest = file_for(path[:-len(SIGNATURE_SUFFIX)])
        if not manifest:
            return None
        with open(manifest, "rb") as source:
            content = with_freshness(source.read(), os.stat(manifest).st_mtime)
        return self.sign(content)

    def sign(self, content):
        key = hashlib.sha256(content).hexdigest()
        with self.lock:
            if key in self.signatures:
                return self.signatures[key]
        signer, private_key, issuer = self.identity
        signature = subprocess.run(
            ["openssl", "cms", "-sign", "-binary", "-md", "sha256", "-outform", "DER",
             "-signer", signer, "-inkey", private_key, "-certfile", issuer],
            input=content, stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=True).stdout
        with self.lock:
            self.signatures[key] = signature
        return signature
