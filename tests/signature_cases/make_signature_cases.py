#!/usr/bin/env python3
"""Writes the files the publisher check is tested against, into OUT_DIR.

Each is the unsigned stand-in installer, signed (tools/test_pki/sign_pe) and
then changed as its name says:
  vendor.exe            signed by the build's publisher (the one that passes)
  unsigned.exe          as linked
  code_changed.exe      one byte of its code changed after signing
  appended.exe          bytes appended after signing
  signature_changed.exe one byte of the RSA signature changed
  other.exe             another publisher, whose own root the prefix trusts
  lookalike.exe         the publisher's names on a self-signed certificate
  expired.exe           a leaf whose validity ended before the signature
  nousage.exe           a leaf for server authentication only
  altered.exe           a leaf whose bytes were changed after its issuer signed it
  orphan.exe            the publisher's names from an issuing CA whose own
                        certificate exists nowhere: the chain stops at the leaf
  expired_forged_time.exe
                        expired.exe with a forged time stamp (a PKCS#9
                        counter-signature with garbage for a signature) of a
                        day while the leaf was valid
  expired_old_file.exe  expired.exe with its file time set to that day
  unpinned.exe          the publisher's names from a root the machine trusts
                        that the build does not pin
  userroot.exe          the publisher's names from a root trusted in the
                        current user's Root store only
  issued.exe            signed by the publisher through the vendor's issuing
                        CA, which the signature carries
  CA.sha256             the SHA-256 thumbprint of each test CA (vendor-root,
                        other-root, user-root, vendor-ca), for pins
  empty.exe             no bytes at all
  folder.exe\\          a folder of that name

usage: make_signature_cases.py PKI_DIR SIGN_PE UNSIGNED_EXE OUT_DIR
"""
import calendar
import os
import shutil
import struct
import subprocess
import sys

import forged_countersignature

# A day inside the expired leaf's validity (2020-01-01 to 2021-01-01).
VALID_DAY_UTC = "200601000000Z"
VALID_DAY = calendar.timegm((2020, 6, 1, 0, 0, 0))


def sign(sign_pe, pki, identity, source, target):
    subprocess.run([sign_pe, pki, identity, source, target], check=True)


def pe_sections(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    table = pe + 24 + optional_size
    for i in range(count):
        entry = table + 40 * i
        name = data[entry:entry + 8].rstrip(b"\0")
        raw_size, raw_pointer = struct.unpack_from("<II", data, entry + 16)
        yield name, raw_pointer, raw_size


def certificate_table(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    optional = pe + 24
    # The data directories start 96 bytes into a PE32 optional header, 112
    # into a PE32+ one (the tests' 64-bit build).
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (112 if magic == 0x20B else 96)
    offset, size = struct.unpack_from("<II", data, directories + 4 * 8)
    return offset, size


def change_byte(path, at):
    data = bytearray(open(path, "rb").read())
    data[at] ^= 0x5A
    open(path, "wb").write(data)


def main():
    pki, sign_pe, unsigned, out = sys.argv[1:5]
    if os.path.isdir(out):
        shutil.rmtree(out)
    os.makedirs(out)
    at = lambda name: os.path.join(out, name)

    shutil.copyfile(unsigned, at("unsigned.exe"))
    for identity in ("vendor", "other", "lookalike", "expired", "nousage", "altered", "orphan", "unpinned",
                     "userroot", "issued"):
        sign(sign_pe, pki, identity, unsigned, at(identity + ".exe"))

    expired = open(at("expired.exe"), "rb").read()
    with open(at("expired_forged_time.exe"), "wb") as f:
        f.write(forged_countersignature.add_forged_time(expired, VALID_DAY_UTC))
    shutil.copyfile(at("expired.exe"), at("expired_old_file.exe"))
    os.utime(at("expired_old_file.exe"), (VALID_DAY, VALID_DAY))

    data = open(at("vendor.exe"), "rb").read()
    text = next((pointer, size) for name, pointer, size in pe_sections(data) if name == b".text")
    shutil.copyfile(at("vendor.exe"), at("code_changed.exe"))
    change_byte(at("code_changed.exe"), text[0] + text[1] // 2)

    with open(at("appended.exe"), "wb") as f:
        f.write(data + b"appended after signing\r\n")

    # The RSA signature is the last 256-byte OCTET STRING of the signature.
    offset, size = certificate_table(data)
    blob = data[offset:offset + size]
    signature = blob.rfind(b"\x04\x82\x01\x00")
    if signature < 0:
        sys.exit("make_signature_cases: no RSA signature found in vendor.exe")
    shutil.copyfile(at("vendor.exe"), at("signature_changed.exe"))
    change_byte(at("signature_changed.exe"), offset + signature + 4 + 100)

    for ca in ("vendor-root", "other-root", "user-root", "vendor-ca"):
        shutil.copyfile(os.path.join(pki, ca + ".sha256"), at(ca + ".sha256"))

    open(at("empty.exe"), "wb").close()
    os.makedirs(at("folder.exe"))


if __name__ == "__main__":
    main()
