#!/usr/bin/env python3
"""Writes the detached signatures the byte-signature check is tested against,
into OUT_DIR, each over content.txt unless its name says otherwise:
  vendor.p7s         the build's publisher, SHA-256, with signed attributes
                     and its chain's certificates (the one that passes)
  issued.p7s         the publisher through the vendor's issuing CA
  other.p7s          another publisher, whose own root the prefix trusts
  orphan.p7s         the publisher's names from an issuing CA whose own
                     certificate exists nowhere
  issued_ca_changed.p7s
                     issued.p7s with one byte of its issuing CA changed
  attributes_changed.p7s
                     vendor.p7s with its signing time changed
  signature_changed.p7s
                     vendor.p7s with one byte of the RSA signature changed
  no_attributes.p7s  the publisher, without signed attributes
  sha1.p7s           the publisher, with a SHA-1 digest
  two_signers.p7s    the publisher and another
  no_certificates.p7s
                     the publisher, without its certificate
  garbage.p7s        bytes that are no message at all
  changed.txt        content.txt with one byte changed

usage: make_detached_cases.py PKI_DIR OUT_DIR
"""
import os
import subprocess
import sys

CONTENT = (b"header\r\n64bit 6.0.2.1 0123456789abcdef0123456789abcdef http://127.0.0.1/setup64.exe\r\n"
           b"freshness 7 2026-12-11T09:00:00Z 2027-01-10T09:00:00Z\r\n")


def sign(pki, out, name, identities, *options, content="content.txt"):
    command = ["openssl", "cms", "-sign", "-binary", "-outform", "DER", "-md", "sha256",
               "-in", os.path.join(out, content), "-out", os.path.join(out, name)]
    for identity in identities:
        command += ["-signer", os.path.join(pki, identity + ".pem"), "-inkey", os.path.join(pki, identity + ".key")]
    command += list(options)
    subprocess.run(command, check=True, capture_output=True)


def der_elements(path):
    """(offset, header length, tag text) of each element, as openssl lists them."""
    listing = subprocess.run(["openssl", "asn1parse", "-inform", "DER", "-in", path],
                             check=True, capture_output=True, text=True).stdout
    for line in listing.splitlines():
        offset, rest = line.split(":", 1)
        header = int(rest.split("hl=")[1].split()[0])
        yield int(offset), header, rest


def changed_copy(source, target, at):
    data = bytearray(open(source, "rb").read())
    data[at] ^= 0x01
    open(target, "wb").write(data)


def main():
    pki, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    open(os.path.join(out, "content.txt"), "wb").write(CONTENT)
    changed_copy(os.path.join(out, "content.txt"), os.path.join(out, "changed.txt"), 3)
    ca = ["-certfile", os.path.join(pki, "vendor-ca.pem")]
    sign(pki, out, "vendor.p7s", ["vendor"], *ca)
    sign(pki, out, "issued.p7s", ["issued"], *ca)
    sign(pki, out, "other.p7s", ["other"])
    sign(pki, out, "orphan.p7s", ["orphan"])
    sign(pki, out, "no_attributes.p7s", ["vendor"], "-noattr", *ca)
    subprocess.run(["openssl", "cms", "-sign", "-binary", "-outform", "DER", "-md", "sha1",
                    "-in", os.path.join(out, "content.txt"), "-out", os.path.join(out, "sha1.p7s"),
                    "-signer", os.path.join(pki, "vendor.pem"), "-inkey", os.path.join(pki, "vendor.key")] + ca,
                   check=True, capture_output=True)
    sign(pki, out, "two_signers.p7s", ["vendor", "other"], *ca)
    sign(pki, out, "no_certificates.p7s", ["vendor"], "-nocerts")

    vendor = os.path.join(out, "vendor.p7s")
    elements = list(der_elements(vendor))
    # A digit of the seconds of the signing time, the first UTC time after its
    # attribute's identifier.
    named = next(index for index, (_, _, text) in enumerate(elements) if "signingTime" in text)
    time_offset, time_header, _ = next(e for e in elements[named + 1:] if "UTCTIME" in e[2])
    signing_time = time_offset + time_header + 11
    changed_copy(vendor, os.path.join(out, "attributes_changed.p7s"), signing_time)
    # The RSA signature is the message's last element, an OCTET STRING.
    changed_copy(vendor, os.path.join(out, "signature_changed.p7s"), os.path.getsize(vendor) - 10)

    issued = os.path.join(out, "issued.p7s")
    # The issuing CA is the message's first certificate: its validity's first
    # time is well inside its signed part.
    first_time, first_header, _ = next(e for e in der_elements(issued) if "UTCTIME" in e[2])
    changed_copy(issued, os.path.join(out, "issued_ca_changed.p7s"), first_time + first_header + 11)

    open(os.path.join(out, "garbage.p7s"), "wb").write(b"\x30\x82\x01\x00" + b"\x5a" * 64)


if __name__ == "__main__":
    main()
