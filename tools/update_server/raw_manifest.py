#!/usr/bin/python3
"""Writes a launcher manifest line by line exactly as given.

For tests that need a manifest the launcher must refuse or may misread (a tab
between fields, a short line, a bad digest, odd line ends). A valid release,
with its files and their digests, is published with vl6publish
(tools/vl6publish), which reads what it wrote back the way the launcher does.

    raw_manifest.py PATH [--line-end crlf|lf|cr] [--encoding cp932] [--] LINE...

    import raw_manifest
    raw_manifest.write_manifest(path, ["header", "64bit\\t6.0.0.1 ..."], line_end="lf")

Nothing is checked: each LINE is written as it stands, followed by the line
end, in the encoding (default cp932, the launcher's ANSI code page). The file
is replaced in one move, so a running server never serves half of it.
"""

import argparse
import os
import sys

ENCODING = "cp932"
LINE_ENDS = {"crlf": "\r\n", "lf": "\n", "cr": "\r"}


def manifest_bytes(lines, line_end="crlf", encoding=ENCODING):
    return "".join(line + LINE_ENDS[line_end] for line in lines).encode(encoding)


def write_manifest(path, lines, line_end="crlf", encoding=ENCODING):
    folder = os.path.dirname(path)
    if folder:
        os.makedirs(folder, exist_ok=True)
    temporary = path + ".tmp"
    with open(temporary, "wb") as out:
        out.write(manifest_bytes(lines, line_end, encoding))
    os.replace(temporary, path)
    return path


def main(argv=None):
    parser = argparse.ArgumentParser(description="Write manifest lines exactly as given.")
    parser.add_argument("path", help="the manifest file to write")
    parser.add_argument("lines", nargs="*", metavar="LINE")
    parser.add_argument("--line-end", choices=sorted(LINE_ENDS), default="crlf")
    parser.add_argument("--encoding", default=ENCODING)
    args = parser.parse_intermixed_args(argv)
    write_manifest(args.path, args.lines, args.line_end, args.encoding)
    return 0


if __name__ == "__main__":
    sys.exit(main())
