#!/usr/bin/python3
"""Signed manifests for the signed manifest test, made at test time with
`openssl cms` from the build's test PKI (tools/test_pki/make_test_pki).

    make_signed_manifests.py PKI_DIR OUT_DIR

Writes NAME.lt and NAME.lt.p7s (a detached DER CMS signature, as the release
tool makes it) for each case below. Every manifest names one installer for
both kinds of Windows, so one case reads the same on either. A manifest with
one byte changed is served with good.lt.p7s by the test itself.
"""

import os
import subprocess
import sys

HEADER = "velora launcher manifest 6"
MD5 = "0123456789abcdef0123456789abcdef"
URL = "http://127.0.0.1/download/setup.exe"
MANUAL = "both manual 00112233445566778899aabbccddeeff http://127.0.0.1/download/vl6manual.pdf"
FAR_EXPIRY = "2099-01-01T00:00:00Z"


def manifest(installer="6.0.2.1", freshness="freshness 20 2026-01-01T00:00:00Z " + FAR_EXPIRY):
    lines = [HEADER, "both %s %s %s" % (installer, MD5, URL), MANUAL]
    if freshness:
        lines.append(freshness)
    return ("\r\n".join(lines) + "\r\n").encode("ascii")


# name: (manifest bytes, signing identity, the CA certificate the signature carries)
CASES = {
    "good": (manifest(), "vendor", "vendor-ca"),
    "other": (manifest(), "other", "other-root"),
    "orphan": (manifest(), "orphan", None),
    "expired": (manifest(freshness="freshness 20 2020-01-01T00:00:00Z 2020-06-01T00:00:00Z"), "vendor", "vendor-ca"),
    "replayed": (manifest(freshness="freshness 10 2025-01-01T00:00:00Z " + FAR_EXPIRY), "vendor", "vendor-ca"),
    "old_installer": (manifest(installer="6.0.0.1"), "vendor", "vendor-ca"),
    "unfresh": (manifest(freshness=None), "vendor", "vendor-ca"),
}


def sign(pki, content, identity, issuer):
    command = ["openssl", "cms", "-sign", "-binary", "-md", "sha256", "-outform", "DER",
               "-signer", os.path.join(pki, identity + ".pem"), "-inkey", os.path.join(pki, identity + ".key")]
    if issuer:
        command += ["-certfile", os.path.join(pki, issuer + ".pem")]
    return subprocess.run(command, input=content, stdout=subprocess.PIPE, check=True).stdout


def main(pki, out):
    os.makedirs(out, exist_ok=True)
    for name, (content, identity, issuer) in CASES.items():
        with open(os.path.join(out, name + ".lt"), "wb") as lt:
            lt.write(content)
        with open(os.path.join(out, name + ".lt.p7s"), "wb") as signature:
            signature.write(sign(pki, content, identity, issuer))
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2]))
