#!/usr/bin/python3
"""Publishes files into the update server's tree and writes the launcher manifest.

    publish.py --root DIR --base-url http://127.0.0.1:PORT
               [--installer ARCH VERSION FILE]... [--manual ARCH FILE]...
               [--new-generation ARCH VERSION URL]... [--manifest PATH]
               [--header TEXT] [--line-end crlf|lf|cr] [--upper-md5]

Each FILE is copied to DIR/download/<its name in lower case> unless it already
lies inside DIR, its MD5 is computed from its bytes, and the manifest
(default DIR/launcher/installer6.lt) gets one line per entry:

    <header line, ignored by the launcher>
    <arch> <version a.b.c.d, first number 6> <md5> <url>      installer
    <arch> manual <md5> <url>                                  manual
    <arch> <version, first number 7 or more> - <url>           newer generation

ARCH is 32bit, 64bit or both. Fields are separated by one space; the text is
written in the ANSI code page of a Japanese Windows (cp932). The launcher
lower-cases the paths it requests, so served names are kept in lower case.
"""

import argparse
import hashlib
import os
import re
import shutil
import sys

MANIFEST_PATH = "launcher/installer6.lt"
DEFAULT_HEADER = "velora launcher manifest 6"
ENCODING = "cp932"
LINE_ENDS = {"crlf": "\r\n", "lf": "\n", "cr": "\r"}
ARCHITECTURES = ("32bit", "64bit", "both")
VERSION = re.compile(r"([0-9]+)\.([0-9]+)\.([0-9]+)\.([0-9]+)")
# Field 2 of a newer-generation line is read past by the launcher but must be there.
NO_DIGEST = "-"


class PublishError(Exception):
    pass


def md5_text(path):
    digest = hashlib.md5()
    with open(path, "rb") as source:
        for block in iter(lambda: source.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def generation(version):
    """The version's first number as the launcher reads it (first a.b.c.d found)."""
    found = VERSION.search(version)
    return int(found.group(1)) if found else None


def check_field(text, what):
    if not text or any(c in text for c in " \r\n"):
        raise PublishError("%s %r must be non-empty and hold no space, CR or LF" % (what, text))
    try:
        text.encode(ENCODING)
    except UnicodeEncodeError:
        raise PublishError("%s %r cannot be written in %s" % (what, text, ENCODING))


def check_architecture(arch):
    if arch.lower() not in ARCHITECTURES:
        raise PublishError("architecture %r is none of %s" % (arch, ", ".join(ARCHITECTURES)))


def place(root, source):
    """Makes SOURCE part of the served tree; returns its URL path."""
    root = os.path.realpath(root)
    source = os.path.realpath(source)
    if not os.path.isfile(source):
        raise PublishError("%s is not a file" % source)
    if source.startswith(root + os.sep):
        relative = os.path.relpath(source, root).replace(os.sep, "/")
        if relative != relative.lower():
            raise PublishError("%s has capital letters; the launcher would ask for %s"
                               % (relative, relative.lower()))
        return "/" + relative
    name = os.path.basename(source).lower()
    target = os.path.join(root, "download", name)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    shutil.copyfile(source, target)
    return "/download/" + name


def manifest_lines(root, base_url, installers=(), manuals=(), new_generations=(),
                   header=DEFAULT_HEADER, upper_md5=False):
    """The manifest's lines (without line ends), placing the files as a side effect."""
    base_url = base_url.rstrip("/")
    check_field(header.replace(" ", "_"), "header")
    lines = [header]

    def digest_of(path):
        text = md5_text(path)
        return text.upper() if upper_md5 else text

    for arch, version, path in installers:
        check_architecture(arch)
        if generation(version) != 6:
            raise PublishError("installer version %r does not start with 6" % version)
        check_field(version, "version")
        url = base_url + place(root, path)
        check_field(url, "URL")
        lines.append(" ".join((arch, version, digest_of(path), url)))
    for arch, path in manuals:
        check_architecture(arch)
        url = base_url + place(root, path)
        check_field(url, "URL")
        lines.append(" ".join((arch, "manual", digest_of(path), url)))
    for arch, version, url in new_generations:
        check_architecture(arch)
        found = generation(version)
        if found is None or found < 7:
            raise PublishError("newer-generation version %r does not start with 7 or more"
                               % version)
        check_field(version, "version")
        check_field(url, "URL")
        lines.append(" ".join((arch, version, NO_DIGEST, url)))
    return lines


def write_manifest(root, lines, manifest=MANIFEST_PATH, line_end="crlf"):
    target = os.path.join(root, manifest)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    data = "".join(line + LINE_ENDS[line_end] for line in lines).encode(ENCODING)
    temporary = target + ".tmp"
    with open(temporary, "wb") as out:
        out.write(data)
    # The server may be answering a request for the manifest right now.
    os.replace(temporary, target)
    return target


def read_manifest(data, arch_of_system="64bit"):
    """Reads manifest bytes the way the launcher does; returns what it would take.

    Lines split at any run of CR/LF, the first line is skipped, fields split at
    runs of spaces only. The last accepted line of each kind wins."""
    text = data.decode(ENCODING)
    lines = [line for line in re.split(r"[\r\n]+", text) if line]
    accepted = (arch_of_system, "both")
    found = {"installer": None, "manual": None, "new_generation": None}
    for line in lines[1:]:
        fields = [field for field in line.split(" ") if field][:4]
        if not fields or fields[0].lower() not in accepted:
            continue
        kind = fields[1] if len(fields) > 1 else ""
        number = generation(kind)
        if number == 6 and len(fields) == 4:
            found["installer"] = {"md5": fields[2], "url": fields[3]}
        elif number is not None and number >= 7:
            found["new_generation"] = {"version": kind,
                                       "url": fields[3] if len(fields) == 4 else ""}
        elif kind.lower() == "manual" and len(fields) == 4:
            found["manual"] = {"md5": fields[2], "url": fields[3]}
    return found


def main(argv=None):
    parser = argparse.ArgumentParser(description="Write the launcher manifest into a served tree.")
    parser.add_argument("--root", required=True, help="the update server's --root folder")
    parser.add_argument("--base-url", required=True,
                        help="what the URLs start with, e.g. http://127.0.0.1:8080")
    parser.add_argument("--installer", nargs=3, action="append", default=[],
                        metavar=("ARCH", "VERSION", "FILE"))
    parser.add_argument("--manual", nargs=2, action="append", default=[],
                        metavar=("ARCH", "FILE"))
    parser.add_argument("--new-generation", nargs=3, action="append", default=[],
                        metavar=("ARCH", "VERSION", "URL"))
    parser.add_argument("--manifest", default=MANIFEST_PATH,
                        help="manifest path inside the root (default %(default)s)")
    parser.add_argument("--header", default=DEFAULT_HEADER, help="the first, ignored line")
    parser.add_argument("--line-end", choices=sorted(LINE_ENDS), default="crlf")
    parser.add_argument("--upper-md5", action="store_true",
                        help="write the digests in upper case")
    args = parser.parse_args(argv)
    try:
        lines = manifest_lines(args.root, args.base_url, args.installer, args.manual,
                               args.new_generation, args.header, args.upper_md5)
        target = write_manifest(args.root, lines, args.manifest, args.line_end)
    except PublishError as failure:
        sys.stderr.write("publish.py: %s\n" % failure)
        return 1
    print(target)
    for line in lines:
        print("  " + line)
    return 0


if __name__ == "__main__":
    sys.exit(main())
