#!/usr/bin/python3
"""Makes the test certificates of the local update server with the openssl CLI.

    make_certs.py DIR

Writes into DIR, once (a later run with a complete DIR does nothing):

    ca.pem, ca.key                   a private test CA that nobody trusts
    untrusted.pem, untrusted.key     for 127.0.0.1 and localhost, signed by the CA
    wrong_host.pem, wrong_host.key   for wrong.example only, signed by the CA
    expired.pem, expired.key         for 127.0.0.1 and localhost, valid only in 2020

The OpenSSL of Debian 12 has no way to give "openssl x509" a start date, so
the leaves are signed with "openssl ca", which takes -startdate/-enddate.
"""

import datetime
import fcntl
import os
import subprocess
import sys
import tempfile

CA_SUBJECT = "/O=Velora Test Bench/CN=Velora Test Root CA"

# name -> (subject, subjectAltName, notBefore, notAfter); None means "around now".
LEAVES = {
    "untrusted": ("/O=Velora Test Bench/CN=127.0.0.1",
                  "IP:127.0.0.1,DNS:localhost", None, None),
    "wrong_host": ("/O=Velora Test Bench/CN=wrong.example",
                   "DNS:wrong.example", None, None),
    "expired": ("/O=Velora Test Bench/CN=127.0.0.1",
                "IP:127.0.0.1,DNS:localhost", "20200101000000Z", "20210101000000Z"),
}

COMPLETE_MARK = ".complete"

CA_CONFIG = """\
[ca]
default_ca = bench_ca

[bench_ca]
dir = {work}
database = $dir/index.txt
new_certs_dir = $dir
serial = $dir/serial
certificate = {ca_pem}
private_key = {ca_key}
default_md = sha256
policy = anything
unique_subject = no
copy_extensions = none
email_in_dn = no

[anything]
organizationName = optional
commonName = supplied
"""

LEAF_EXTENSIONS = """\
[leaf]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = {san}
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
"""


def _openssl(*args, cwd=None):
    result = subprocess.run(["openssl", *args], cwd=cwd, capture_output=True, text=True)
    if result.returncode != 0:
        raise RuntimeError("openssl %s failed:\n%s%s" % (args[0], result.stdout, result.stderr))


def _stamp(moment):
    # YYYYMMDDHHMMSSZ: "openssl ca" takes the four-digit year too.
    return moment.strftime("%Y%m%d%H%M%SZ")


def paths(folder):
    """The certificate and key file of each served identity, plus the CA."""
    names = ["ca", *LEAVES]
    return {name: (os.path.join(folder, name + ".pem"), os.path.join(folder, name + ".key"))
            for name in names}


def make_certs(folder):
    """Makes the CA and the three server certificates unless DIR already holds them."""
    folder = os.path.abspath(folder)
    os.makedirs(folder, exist_ok=True)
    # Several servers of one test run may share DIR and start at the same time.
    with open(os.path.join(folder, ".lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not os.path.exists(os.path.join(folder, COMPLETE_MARK)):
            _make(folder)
    return paths(folder)


def _make(folder):
    files = paths(folder)
    ca_pem, ca_key = files["ca"]
    now = datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0)
    # A day of slack on both sides keeps clock differences from mattering.
    valid_from = _stamp(now - datetime.timedelta(days=1))
    valid_to = _stamp(now + datetime.timedelta(days=3650))

    _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256",
             "-keyout", ca_key, "-out", ca_pem, "-days", "3651", "-subj", CA_SUBJECT,
             "-addext", "basicConstraints=critical,CA:TRUE",
             "-addext", "keyUsage=critical,keyCertSign,cRLSign")

    with tempfile.TemporaryDirectory() as work:
        with open(os.path.join(work, "index.txt"), "w"):
            pass
        with open(os.path.join(work, "serial"), "w") as serial:
            serial.write("1000\n")
        config = os.path.join(work, "ca.cnf")
        with open(config, "w") as out:
            out.write(CA_CONFIG.format(work=work, ca_pem=ca_pem, ca_key=ca_key))
        for name, (subject, san, start, end) in LEAVES.items():
            pem, key = files[name]
            csr = os.path.join(work, name + ".csr")
            extensions = os.path.join(work, name + ".ext")
            with open(extensions, "w") as out:
                out.write(LEAF_EXTENSIONS.format(san=san))
            _openssl("req", "-new", "-newkey", "rsa:2048", "-nodes", "-sha256",
                     "-keyout", key, "-out", csr, "-subj", subject)
            _openssl("ca", "-batch", "-notext", "-config", config, "-in", csr, "-out", pem,
                     "-startdate", start or valid_from, "-enddate", end or valid_to,
                     "-extfile", extensions, "-extensions", "leaf")
    with open(os.path.join(folder, COMPLETE_MARK), "w") as mark:
        mark.write("made %s\n" % now.isoformat())


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: make_certs.py DIR\n")
        return 2
    for name, (pem, key) in make_certs(argv[1]).items():
        print("%-10s %s %s" % (name, pem, key))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
