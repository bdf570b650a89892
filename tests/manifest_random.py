#!/usr/bin/env python3
"""Writes COUNT generated manifests, with what the independent reading of
manifest_reference.py takes from each on a 64-bit and a 32-bit system, into
one file for manifest_parser_test to parse and compare.

    manifest_random.py OUT [--count N] [--seed S]

The manifests mix lines the launcher uses, near misses of every field and
separator, Shift_JIS text, NUL bytes, and random damage. The same seed gives
the same file.

Layout (integers are 32-bit little-endian): "VLMR", count, then per manifest
its length and bytes, and for the 64-bit then the 32-bit reading: one byte
result, one byte new_major_released, and for each text of
manifest_reference.TEXTS its length and bytes.
"""
import argparse
import hashlib
import random
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import manifest_reference  # noqa: E402

ARCHITECTURES = [b"64bit", b"32bit", b"both"] * 6 + [
    b"BOTH", b"Both", b"64BIT", b"32Bit", b"bOTH", b"x64", b"64bits", b"bot", b"both\t",
    b"\t64bit", b"64bit\0", b"manual", "全部".encode("cp932")]
FIRST_NUMBERS = [b"6"] * 8 + [b"7"] * 3 + [
    b"5", b"8", b"0", b"10", b"06", b"007", b"60", b"99999999999", b"2147483647", b"2147483648",
    b"4294967302", b"0" * 30 + b"6"]
PREFIXES = [b""] * 10 + [b"v", b"release-", b"-", b"+", b"1.", b"x", b"6.", "版".encode("cp932")]
SUFFIXES = [b""] * 10 + [b"-beta", b".5", b"\0z", b"\t", b"x7.0.0.0", b".", "版".encode("cp932")]
MANUAL_WORDS = [b"manual"] * 4 + [b"MANUAL", b"Manual", b"manuals", b"manua", b"manual\0"]
JAPANESE = [s.encode("cp932") for s in ("ダウンロード", "表示", "ｾｯﾄｱｯﾌﾟ", "能力", "予定", "ソフト")]
SEPARATORS = [b" "] * 12 + [b"  ", b"   ", b"\t", b" \t ", b"\0", "　".encode("cp932")]
LINE_ENDS = [b"\r\n"] * 4 + [b"\n", b"\r", b"\n\r", b"\r\n\r\n", b"\n\n\n", b"\r\r"]
HEX = b"0123456789abcdef"


def token(rng):
    alphabet = b"abcXYZ0123456789.-_/%?&=:\x81\x82\xa0\xe0\xfc\xff\x01"
    return bytes(rng.choice(alphabet) for _ in range(rng.randint(1, 12)))


def number(rng):
    return str(rng.choice((0, 1, 2, 9, 10, 12, 255, 65535))).encode()


def kind(rng):
    roll = rng.random()
    if roll < 0.7:
        version = b".".join([rng.choice(FIRST_NUMBERS), number(rng), number(rng), number(rng)])
        if rng.random() < 0.1:
            version = version.rsplit(b".", 1)[0]  # three numbers
        return rng.choice(PREFIXES) + version + rng.choice(SUFFIXES)
    if roll < 0.88:
        return rng.choice(MANUAL_WORDS)
    if roll < 0.94:
        return rng.choice(JAPANESE) + b"6.1.0.0"
    return token(rng)


def md5(rng):
    roll = rng.random()
    text = bytes(rng.choice(HEX) for _ in range(32))
    if roll < 0.7:
        return text
    if roll < 0.85:
        return text.upper()
    if roll < 0.9:
        return b"-"
    if roll < 0.95:
        return rng.choice(JAPANESE)
    return token(rng)


def url(rng):
    path = b"/".join(rng.choice((b"download", b"Download", b"%44ownload", b"a%20b", b"v7"))
                     for _ in range(rng.randint(1, 3)))
    name = rng.choice((b"setup64.exe", b"SETUP32.EXE", b"vl6manual.pdf", b"x"))
    text = b"http://127.0.0.1:8080/" + path + b"/" + name
    roll = rng.random()
    if roll < 0.1:
        text += b"?Ed=R7QD&x=%41"
    elif roll < 0.2:
        text += b"/" + rng.choice(JAPANESE)
    elif roll < 0.24:
        text += b"\0tail"
    elif roll < 0.28:
        text = token(rng)
    return text


def data_line(rng):
    fields = [rng.choice(ARCHITECTURES), kind(rng), md5(rng), url(rng)]
    count = rng.choices((1, 2, 3, 4, 5, 7), weights=(3, 5, 8, 70, 8, 6))[0]
    while len(fields) < count:
        fields.append(token(rng))
    fields = fields[:count]
    out = b""
    if rng.random() < 0.05:
        out += rng.choice(SEPARATORS)
    for index, field in enumerate(fields):
        if index:
            out += rng.choice(SEPARATORS)
        out += field
    if rng.random() < 0.05:
        out += b" " * rng.randint(1, 4)
    return out


def header(rng):
    roll = rng.random()
    if roll < 0.75:
        return b"velora launcher manifest 6"
    if roll < 0.85:
        return data_line(rng)  # a usable line read as the header
    if roll < 0.9:
        return b"   "
    if roll < 0.95:
        return "更新情報".encode("cp932")
    return b""


def damage(rng, data):
    data = bytearray(data)
    for _ in range(rng.randint(1, 4)):
        at = rng.randrange(len(data) + 1)
        what = rng.randrange(4)
        if what == 0 and at < len(data):
            data[at] = rng.randrange(256)
        elif what == 1:
            data[at:at] = bytes([rng.choice((0, 9, 10, 13, 32, 0x81, 0xff))])
        elif what == 2 and at < len(data):
            del data[at:at + rng.randint(1, 8)]
        else:
            data[at:at] = rng.randbytes(rng.randint(1, 6))
    return bytes(data)


def manifest(rng):
    roll = rng.random()
    if roll < 0.01:
        return b""
    if roll < 0.03:
        return rng.randbytes(rng.randint(1, 200))
    pieces = []
    if rng.random() < 0.05:
        pieces.append(rng.choice(LINE_ENDS))
    pieces.append(header(rng))
    for _ in range(rng.randint(0, 7)):
        pieces.append(rng.choice(LINE_ENDS))
        pieces.append(data_line(rng))
    if rng.random() < 0.8:
        pieces.append(rng.choice(LINE_ENDS))
    data = b"".join(pieces)
    if rng.random() < 0.15:
        data = damage(rng, data)
    return data


def record(data):
    out = [struct.pack("<I", len(data)), data]
    for system_is_64bit in (True, False):
        usable, values, _ = manifest_reference.read(data, system_is_64bit)
        out.append(bytes([usable, values["new_major_released"]]))
        for name in manifest_reference.TEXTS:
            out += [struct.pack("<I", len(values[name])), values[name]]
    return b"".join(out)


def source_key(args):
    """What the file depends on: both scripts and the arguments."""
    digest = hashlib.sha256(("%d %d" % (args.count, args.seed)).encode())
    for script in (__file__, manifest_reference.__file__):
        with open(script, "rb") as source:
            digest.update(source.read())
    return digest.hexdigest()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("out")
    parser.add_argument("--count", type=int, default=100000)
    parser.add_argument("--seed", type=int, default=6012)
    args = parser.parse_args()
    key = source_key(args)
    key_path = args.out + ".key"
    if os.path.exists(args.out) and os.path.exists(key_path):
        with open(key_path) as existing:
            if existing.read().strip() == key:
                print("%s is up to date" % args.out)
                return
    rng = random.Random(args.seed)
    with open(args.out + ".partial", "wb") as out:
        out.write(b"VLMR" + struct.pack("<I", args.count))
        for _ in range(args.count):
            out.write(record(manifest(rng)))
    os.replace(args.out + ".partial", args.out)
    with open(key_path, "w") as out:
        out.write(key + "\n")
    print("%d manifests in %s" % (args.count, args.out))


if __name__ == "__main__":
    main()
