#!/usr/bin/env python3
"""The corpus of hostile manifests: for each case NAME.lt holds the bytes and
NAME.expected.json what the independent reading in tests/manifest_reference.py
takes from them on a 64-bit and on a 32-bit system (the result,
new_major_released and the six texts, each as the hex of its bytes and, when
every code page 932 converter reads it alike, as text).

The small hand-made cases are kept beside this script, where a change to
their expectations is reviewed. The large ones and the random families are
made again for each test run, from fixed seeds, into a folder of the build.

    make_corpus.py            rewrite the kept cases
    make_corpus.py --check    fail when the kept files differ from what it would write
    make_corpus.py --out DIR  write the cases made for a test run into DIR
"""
import argparse
import json
import os
import random
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))
import manifest_reference  # noqa: E402

HEADER = b"velora launcher manifest 6"
MD5_A = b"0123456789abcdef0123456789abcdef"
MD5_B = b"fedcba9876543210fedcba9876543210"
MD5_M = b"00112233445566778899aabbccddeeff"
URL_64 = b"http://127.0.0.1/download/setup64.exe"
URL_32 = b"http://127.0.0.1/download/setup32.exe"
URL_PDF = b"http://127.0.0.1/download/vl6manual.pdf"
URL_V7 = b"http://127.0.0.1/v7/"

# Code page 932 texts: a URL, a header, a word with 0x5C as its second byte
# (U+8868), half-width katakana, the full-width space 0x81 0x40.
SJ_URL = "http://例え.テスト/ダウンロード/セットアップ.exe".encode("cp932")
SJ_HEADER = "ベローラ 更新情報 第6版".encode("cp932")
SJ_TABLE = "表示/能力/ソフト".encode("cp932")
SJ_HALF = "ｾｯﾄｱｯﾌﾟ".encode("cp932")
SJ_WIDE_SPACE = "　".encode("cp932")


def line(*fields, sep=b" "):
    return sep.join(fields)


def manifest(*lines, end=b"\r\n", header=HEADER):
    body = [header] if header is not None else []
    return end.join(body + list(lines)) + end


def installer64(md5=MD5_A, url=URL_64, version=b"6.0.1.2"):
    return line(b"64bit", version, md5, url)


def installer32(md5=MD5_B, url=URL_32, version=b"6.0.1.2"):
    return line(b"32bit", version, md5, url)


def manual(md5=MD5_M, url=URL_PDF):
    return line(b"both", b"manual", md5, url)


def newer(version=b"7.0.0.0", url=URL_V7):
    return line(b"both", version, b"-", url)


def full(end=b"\r\n"):
    return manifest(installer64(), installer32(), manual(), end=end)


def cases():
    out = []

    def add(name, about, data, random_family=False):
        out.append((name, about, bytes(data), random_family))

    # Shape of the text.
    add("empty", "no bytes at all", b"")
    add("header-only", "a header line and nothing else", HEADER + b"\r\n")
    add("header-no-end", "a header without a line end", HEADER)
    add("blank-lines-only", "CR LF pairs only", b"\r\n" * 12)
    add("cr-only", "carriage returns only", b"\r" * 40)
    add("lf-only", "line feeds only", b"\n" * 40)
    add("spaces-line-is-header", "a line of spaces is a line: it is the header",
        b"   \r\n" + installer64() + b"\r\n")
    add("installer-first", "a valid installer line first is the header", installer64() + b"\r\n")
    add("installer-first-twice", "the first of two installer lines is the header",
        installer64(MD5_B) + b"\n" + installer64(MD5_A, URL_64 + b"?second") + b"\n")
    add("blank-before-header", "blank lines before the header do not count",
        b"\r\n\r\n\n\r" + full())
    add("no-final-line-end", "the last line has no line end", full()[:-2])
    for name, end in (("crlf", b"\r\n"), ("lf", b"\n"), ("cr", b"\r"), ("lfcr", b"\n\r"),
                      ("crcrlf", b"\r\r\n"), ("runs", b"\r\n\r\n\n\n\r\r")):
        add("ends-" + name, "every line ends in %r" % end, full(end))
    add("ends-mixed", "each line ends differently",
        HEADER + b"\r" + installer64() + b"\n" + installer32() + b"\r\n" + manual() + b"\n\r")
    add("cr-inside-url", "a lone CR splits a line: the URL's tail becomes a line of its own",
        manifest(line(b"64bit", b"6.0.1.2", MD5_A, b"http://127.0.0.1/down\rload/setup64.exe")))
    add("lf-inside-kind", "a line feed inside the version", manifest(line(b"64bit", b"6.0\n.1.2", MD5_A, URL_64)))
    add("bom-utf8-header", "a UTF-8 byte order mark in front of the header", b"\xef\xbb\xbf" + full())
    add("bom-utf8-line", "a byte order mark in front of an installer line",
        manifest(b"\xef\xbb\xbf" + installer64(), installer32()))
    add("bom-utf8-no-header", "a byte order mark in front of a first installer line",
        b"\xef\xbb\xbf" + installer64() + b"\r\n" + installer32() + b"\r\n")
    add("utf16le", "the whole manifest in UTF-16LE with its mark",
        b"\xff\xfe" + full().decode("ascii").encode("utf-16-le"))
    add("utf16be", "the whole manifest in UTF-16BE with its mark",
        b"\xfe\xff" + full().decode("ascii").encode("utf-16-be"))

    # Separators.
    add("several-spaces", "runs of spaces between fields act as one",
        manifest(line(b"64bit", b"6.0.1.2", MD5_A, URL_64, sep=b"     "),
                 line(b"  32bit", b"6.0.1.2", MD5_B, URL_32 + b"   ", sep=b"  ")))
    add("tab-between-fields", "a tab joins two fields: the architecture no longer fits",
        manifest(line(b"64bit", b"6.0.1.2", MD5_A, URL_64, sep=b"\t"), installer32()))
    add("tab-after-architecture", "architecture and a tab, then a space",
        manifest(b"64bit\t 6.0.1.2 " + MD5_A + b" " + URL_64, b"32bit \t6.0.1.2 " + MD5_B + b" " + URL_32))
    add("tab-in-url", "a tab stays inside the URL field", manifest(installer64(url=URL_64 + b"\tx"), installer32(url=URL_32 + b"\t")))
    add("tab-in-md5", "a tab stays inside the MD5 field", manifest(installer64(md5=b"\t" + MD5_A)))
    add("leading-tab", "a tab in front of the architecture", manifest(b"\t" + installer64(), installer32()))
    add("wide-space-separator", "the full-width space is no separator",
        manifest(line(b"64bit", b"6.0.1.2", MD5_A, URL_64, sep=SJ_WIDE_SPACE), installer32()))
    add("other-whitespace", "vertical tab and form feed are no separators",
        manifest(line(b"64bit", b"6.0.1.2", MD5_A, URL_64, sep=b"\x0b"),
                 line(b"32bit", b"6.0.1.2", MD5_B, URL_32, sep=b"\x0c")))
    add("fifty-thousand-spaces", "50000 spaces between two fields",
        manifest(b"64bit" + b" " * 50000 + b"6.0.1.2 " + MD5_A + b" " + URL_64,
                 b" " * 50000 + installer32()))
    add("five-fields", "fields behind the fourth are ignored",
        manifest(line(b"64bit", b"6.0.1.2", MD5_A, URL_64, b"extra"),
                 line(b"32bit", b"6.0.1.2", MD5_B, URL_32, b"x", b"y", b"z")))
    add("twenty-fields", "many fields behind the fourth",
        manifest(line(installer64(), *[b"f%d" % i for i in range(16)]),
                 line(manual(), b"6.0.1.2", MD5_A, URL_64)))
    add("fields-200000", "two hundred thousand one-letter fields behind the fourth",
        manifest(installer64() + b" x" * 200000, installer32()))

    # Architecture.
    for name, word in (("BOTH", b"BOTH"), ("Both", b"Both"), ("both", b"both"), ("bOtH", b"bOtH"),
                       ("64BIT", b"64BIT"), ("64Bit", b"64Bit"), ("32BIT", b"32BIT"),
                       ("x64", b"x64"), ("64bits", b"64bits"), ("64bi", b"64bi"),
                       ("amd64", b"amd64"), ("64", b"64"), ("all", b"all"),
                       ("bo-th", b"bo-th"), ("64bit-nul", b"64bit\0")):
        add("arch-" + name, "architecture %r" % word,
            manifest(line(word, b"6.0.1.2", MD5_A, URL_64)))
    add("arch-32-only", "only a 32-bit installer", manifest(installer32()))
    add("arch-64-only", "only a 64-bit installer", manifest(installer64()))
    add("both-then-64", "a both line, then a 64bit line: the later wins on 64-bit",
        manifest(line(b"both", b"6.0.1.2", MD5_B, URL_32), installer64()))
    add("64-then-both", "a 64bit line, then a both line: both wins everywhere",
        manifest(installer64(), line(b"both", b"6.0.1.3", MD5_M, URL_PDF)))
    add("32-then-both-then-32", "three lines for a 32-bit system",
        manifest(installer32(), line(b"both", b"6.1.0.0", MD5_A, URL_64), installer32(MD5_M, URL_PDF)))

    # Kind and version.
    kinds = (
        ("plain", b"6.0.1.2"), ("beta", b"release-6.1.0.12-beta"), ("three-numbers", b"6.1.0"),
        ("five-numbers", b"6.1.0.0.5"), ("five-9", b"5.9.9.9"), ("seven", b"7.0.0.0"),
        ("eight", b"8.1.2.3"), ("zero", b"0.0.0.0"), ("leading-zero", b"06.1.0.0"),
        ("leading-zeros-7", b"0007.1.0.0"), ("many-zeros-6", b"0" * 40 + b"6.1.0.0"),
        ("int-max", b"2147483647.0.0.0"), ("int-max-plus-one", b"2147483648.0.0.0"),
        ("wraps-to-6", b"4294967302.0.0.0"), ("huge", b"99999999999.0.0.1"),
        ("huge-second", b"6.99999999999999999999.0.0"), ("minus", b"-6.1.0.0"),
        ("plus", b"+7.0.0.0"), ("v-prefix", b"v6.1.0.0"), ("one-six", b"1.6.1.0.0"),
        ("six-then-seven", b"6.0.0.0-7.0.0.0"), ("seven-then-six", b"7.0.0.0-6.0.0.0"),
        ("inside-text", b"abc7.1.1.1xyz"), ("double-dot", b"6..1.0.0"), ("trailing-dot", b"6.1.0."),
        ("letters", b"6.a.0.0"), ("dots-only", b"..."), ("sixty", b"60.0.0.0"),
        ("full-width", "６.１.０.０".encode("cp932")), ("sjis-prefix", "版6.2.0.1".encode("cp932")),
        ("comma", b"6,1,0,0"), ("spaces-join", b"6.1.0.0x7.0.0.0"), ("nul-inside", b"6.1\0.0.0"),
        ("nul-after", b"6.1.0.0\0junk"), ("seven-nul", b"7.2.0.0\0seven"),
        ("manual", b"manual"), ("MANUAL", b"MANUAL"), ("Manual", b"Manual"), ("manuals", b"manuals"),
        ("manual-version", b"manual6.1.0.0"), ("full-width-manual", "ｍａｎｕａｌ".encode("cp932")),
    )
    for name, kind in kinds:
        add("kind-" + name, "kind field %r" % kind[:40],
            manifest(line(b"both", kind, MD5_A, URL_64)))
    add("digits-1mb-newer", "a version whose first number has a million digits",
        manifest(line(b"both", b"9" * 1000000 + b".0.0.1", b"-", URL_V7)))
    add("digits-no-version", "a hundred thousand digits and no version",
        manifest(line(b"both", b"1" * 100000, MD5_A, URL_64), installer32()))
    add("dotted", "a hundred thousand bytes of almost-versions before a real one",
        manifest(line(b"both", b"1.2.3x" * 17000 + b"6.0.0.1", MD5_A, URL_64)))

    # Line counts and lengths.
    add("three-fields-installer", "an installer line without its URL stores nothing",
        manifest(line(b"64bit", b"6.0.1.2", MD5_A), line(b"32bit", b"6.0.1.2", MD5_B)))
    add("three-fields-after-full", "a short installer line leaves the earlier one's values",
        manifest(installer64(), installer32(), line(b"both", b"6.9.9.9", MD5_M)))
    add("two-fields-newer", "a newer-generation line with only two fields",
        manifest(line(b"both", b"7.0.0.0")))
    add("newer-url-kept", "a later two-field newer line keeps the earlier URL",
        manifest(newer(), line(b"both", b"8.0.0.0")))
    add("newer-then-installer", "an installer line and a newer generation",
        manifest(newer(), installer64(), installer32()))
    add("newer-64-only", "a newer generation for 64-bit systems only",
        manifest(line(b"64bit", b"7.0.0.0", b"-", URL_V7), installer32()))
    add("one-field-lines", "lines of a single field", manifest(b"64bit", b"both", b"32bit", b"manual"))
    add("manual-alone", "a manual line alone is not usable", manifest(manual()))
    add("manual-three-fields", "a manual line without URL", manifest(line(b"both", b"manual", MD5_M), installer64()))
    add("manual-twice", "the later manual line wins",
        manifest(manual(), manual(MD5_A, URL_PDF + b"?2"), installer32()))
    add("url-1mb", "a URL of a million bytes",
        manifest(line(b"both", b"6.0.1.2", MD5_A, b"http://127.0.0.1/" + b"a" * 1000000)))
    add("header-long", "a header of a hundred thousand bytes",
        manifest(installer64(), installer32(), header=b"h" * 100000))
    add("md5-long", "an MD5 field of a hundred thousand bytes",
        manifest(line(b"both", b"6.0.1.2", b"f" * 100000, URL_64)))
    add("lines-20000", "twenty thousand installer lines: the last one of each kind wins",
        manifest(*[b"%s 6.0.0.%d m u%d" % (b"64bit" if i % 2 else b"32bit", i % 7, i)
                   for i in range(20000)], end=b"\n"))
    add("blank-50000", "fifty thousand blank lines around one installer line",
        HEADER + b"\n" * 50000 + installer64() + b"\r\n" * 25000 + installer32() + b"\n")
    add("noise-20000", "twenty thousand lines that are none of the kinds, then one of each",
        manifest(*[b"both n%d x y" % i for i in range(20000)] + [installer64(), installer32()],
                 end=b"\n"))

    # MD5 texts and URLs as written.
    add("upper-md5", "an upper-case MD5 is kept as written",
        manifest(installer64(md5=MD5_A.upper()), installer32(md5=MD5_B.upper())))
    add("short-md5", "the MD5 field is taken whatever it holds",
        manifest(installer64(md5=b"abc"), installer32(md5=b"-")))
    add("url-capitals-escapes", "URL capitals and escapes are kept as written",
        manifest(installer64(url=b"HTTP://Server.Example:8080/Download/%53etup64.EXE?Ed=R7QD&x=%2F%41"),
                 installer32(url=b"http://127.0.0.1/a%20b/%E3%81%82/setup32.exe#frag")))
    add("url-https", "an https URL", manifest(installer64(url=b"https://127.0.0.1:443/download/setup64.exe")))
    add("url-not-a-url", "a URL field that is no URL", manifest(installer64(url=b"not-a-url"), installer32(url=b"%%%")))
    add("url-nul-inside", "a NUL inside the URL ends the stored text",
        manifest(installer64(url=URL_64 + b"\0hidden"), installer32(url=b"\0" + URL_32)))
    add("md5-nul", "a NUL inside the MD5", manifest(installer64(md5=MD5_A[:8] + b"\0" + MD5_A[9:])))

    # Shift_JIS.
    add("sjis-url", "a URL in Japanese", manifest(installer64(url=SJ_URL), installer32(url=SJ_URL + b"?q=" + SJ_TABLE)))
    add("sjis-header", "a Japanese header", manifest(installer64(), installer32(), header=SJ_HEADER))
    add("sjis-md5", "a Japanese MD5 field", manifest(installer64(md5=SJ_TABLE), manual(md5=SJ_HALF)))
    add("sjis-0x5c", "a character whose second byte is a backslash",
        manifest(installer64(url=b"http://127.0.0.1/" + SJ_TABLE), installer32(url=SJ_TABLE)))
    add("sjis-half-width", "half-width katakana in URL and manual",
        manifest(installer64(url=SJ_HALF), manual(url=b"http://127.0.0.1/" + SJ_HALF + b".pdf")))
    add("sjis-newer", "a newer-generation line in Japanese",
        manifest(line(b"both", "第7.0.0.0版".encode("cp932"), b"-", SJ_URL)))
    add("sjis-lone-lead", "a lead byte at the end of a field",
        manifest(installer64(url=URL_64 + b"\x82"), installer32(md5=MD5_B + b"\x81")))
    add("sjis-lead-before-space", "a lead byte right before the separator",
        manifest(b"64bit 6.0.1.2\x82 " + MD5_A + b" " + URL_64, installer32()))
    add("sjis-user-defined", "user-defined and vendor characters",
        manifest(installer64(url=b"\xf0\x40\xf9\xfc"), installer32(url=b"\xed\x40\xfa\x40\x87\x40")))
    add("cp932-single-oddities", "bytes 0x80, 0xa0, 0xfd to 0xff",
        manifest(installer64(url=b"\x80\xa0\xfd\xfe\xff"), installer32(md5=b"\xa0")))

    # NUL bytes.
    add("nul-only", "NUL bytes only", b"\0" * 1000)
    add("nul-line-ends", "NUL bytes where line ends should be",
        HEADER + b"\0" + installer64() + b"\0" + installer32() + b"\0")
    add("nul-as-separator", "NUL bytes where spaces should be",
        manifest(line(b"64bit", b"6.0.1.2", MD5_A, URL_64, sep=b"\0"), installer32()))
    add("nul-prefix", "a NUL in front of everything", b"\0" + full())
    add("nul-header", "NUL bytes inside the header", full().replace(b"manifest", b"man\0fest", 1))
    add("nul-after-each-line", "a NUL at the end of every line",
        manifest(installer64() + b"\0", installer32() + b"\0", manual() + b"\0"))

    # Every byte value.
    add("every-byte", "each byte value 0 to 255 as a line of its own",
        HEADER + b"\n" + b"\n".join(bytes([b]) for b in range(256)) + b"\n" + installer64() + b"\n")
    add("every-byte-separator", "installer lines separated by every other byte value",
        HEADER + b"\n" + b"".join(line(b"both", b"6.0.1.%d" % b, MD5_A, URL_64 + b"?%d" % b,
                                       sep=bytes([b])) + b"\n" for b in range(256) if b not in (10, 13)))

    # Random bytes, and valid manifests damaged at random.
    rng = random.Random(20240601)
    for i in range(40):
        size = rng.choice((1, 2, 7, 64, 1000, 4096, 10000))
        add("random-bytes-%02d" % i, "%d random bytes" % size, rng.randbytes(size), True)
    for i in range(30):
        size = rng.choice((200, 2000, 8000))
        alphabet = b"64bit 32bot 6.0.1. manual\r\n\t\0ABCabc0123456789.%/:"
        add("random-alphabet-%02d" % i, "%d bytes drawn from the format's own characters" % size,
            bytes(rng.choice(alphabet) for _ in range(size)), True)
    base = manifest(installer64(), installer32(), manual(), newer(b"7.1.0.0"), end=b"\r\n")
    for i in range(60):
        data = bytearray(base)
        for _ in range(rng.randint(1, 8)):
            what = rng.randrange(4)
            at = rng.randrange(len(data) + 1)
            if what == 0 and at < len(data):
                data[at] = rng.randrange(256)
            elif what == 1:
                data[at:at] = bytes([rng.choice((0, 9, 10, 13, 32, 0x81, 0x82, 0xff))])
            elif what == 2 and at < len(data):
                del data[at:at + rng.randint(1, 12)]
            else:
                data[at:at] = rng.randbytes(rng.randint(1, 16))
        add("damaged-%02d" % i, "a full manifest with a few random edits", data, True)
    return out


# Longer texts are named by their place in the manifest only.
SHOWN = 120


def expectation(about, data):
    def values(system_is_64bit):
        usable, taken, spans = manifest_reference.read(data, system_is_64bit)
        result = {"result": usable, "new_major_released": taken["new_major_released"]}
        for name in manifest_reference.TEXTS:
            start, end = spans[name] or (0, 0)
            entry = {"offset": start, "length": end - start}
            if end - start <= SHOWN:
                entry["hex"] = taken[name].hex()
                text = manifest_reference.unicode_text(taken[name])
                if text is not None:
                    entry["text"] = text
            result[name] = entry
        return result
    return {"about": about, "64bit": values(True), "32bit": values(False)}


def json_text(expected):
    """One value per line, so that a change shows as a readable diff."""
    parts = ['{\n "about": %s' % json.dumps(expected["about"])]
    for system in ("64bit", "32bit"):
        entries = ['  "%s": %s' % (name, json.dumps(value)) for name, value in expected[system].items()]
        parts.append(' "%s": {\n%s\n }' % (system, ",\n".join(entries)))
    return ",\n".join(parts) + "\n}\n"


def self_check(data):
    """The search the reference uses finds what the version pattern as
    written finds, on every field short enough to search the plain way."""
    for field in {match.group() for match in manifest_reference.FIELD.finditer(data)}:
        if len(field) <= 4096:
            a = manifest_reference.VERSION.search(field)
            b = manifest_reference.VERSION_AS_WRITTEN.search(field)
            assert (a and a.groups()) == (b and b.groups()), field


# Real manifests are a few hundred bytes; a case beyond this is kept out of
# the repository and made for each test run.
KEPT_SIZE_LIMIT = 4096


def is_kept(data, random_family):
    return not random_family and len(data) <= KEPT_SIZE_LIMIT


def files(kept):
    """The files of the kept cases, or of those made for a test run."""
    written = {}
    for name, about, data, random_family in cases():
        if is_kept(data, random_family) != kept:
            continue
        self_check(data)
        written[name + ".lt"] = data
        written[name + ".expected.json"] = json_text(expectation(about, data)).encode("ascii")
    return written


def corpus_files(folder):
    return {name for name in os.listdir(folder) if name.endswith((".lt", ".expected.json"))}


def write(folder, wanted):
    """Writes what differs and removes what is no longer wanted; returns the
    names that differed and those that were stale."""
    stale = sorted(corpus_files(folder) - set(wanted))
    differing = []
    for name, data in sorted(wanted.items()):
        path = os.path.join(folder, name)
        current = None
        if os.path.exists(path):
            with open(path, "rb") as existing:
                current = existing.read()
        if current != data:
            differing.append(name)
            with open(path, "wb") as out:
                out.write(data)
    for name in stale:
        os.remove(os.path.join(folder, name))
    return differing, stale


def check(folder, wanted):
    differing = []
    for name, data in sorted(wanted.items()):
        path = os.path.join(folder, name)
        if not os.path.exists(path):
            differing.append(name)
            continue
        with open(path, "rb") as existing:
            if existing.read() != data:
                differing.append(name)
    stale = sorted(corpus_files(folder) - set(wanted))
    for name in differing + stale:
        print("corpus out of date: %s" % name)
    print("%d corpus files checked" % len(wanted))
    return 1 if differing or stale else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true",
                        help="compare the kept cases with what would be written")
    parser.add_argument("--out", metavar="DIR", help="write the cases made for a test run into DIR")
    args = parser.parse_args()
    if args.out:
        os.makedirs(args.out, exist_ok=True)
        wanted = files(kept=False)
        differing, stale = write(args.out, wanted)
    elif args.check:
        return check(HERE, files(kept=True))
    else:
        wanted = files(kept=True)
        differing, stale = write(HERE, wanted)
    print("%d manifests, %d files rewritten, %d removed" % (len(wanted) // 2, len(differing), len(stale)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
