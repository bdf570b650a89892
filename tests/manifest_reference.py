"""The ".lt" manifest read the way its format is described to the update
server's publishers, written apart from the launcher's parser so that the two
readings can be compared byte for byte.

The format:

- The body is plain bytes in the ANSI code page. An empty body names nothing.
- Lines end at CR or LF; a run of them ends one line, so empty lines do not
  exist (they are neither read nor counted).
- The first line is a header, whatever it holds.
- Every further line holds fields separated by runs of spaces (a tab is part
  of its field); only the first four count: architecture, kind, MD5, URL.
- Architecture "64bit" or "both" serves a 64-bit system, "32bit" or "both"
  any other, in any letter case; other lines are skipped.
- The kind holds a version a.b.c.d somewhere in it (the leftmost such text
  counts). First number 6: an installer line. 7 or more: a newer generation.
  Otherwise the kind "manual" in any case makes a manual line. Numbers too
  large for a 32-bit int count as the largest one.
- An installer line takes MD5 and URL once it has a URL; a manual line
  likewise; a newer-generation line takes its version (the a.b.c.d alone,
  without the text around it in the kind) as soon as it is read and its URL
  when it has one (its third field is not used). The last line of each kind
  wins.
- The manifest is usable when an installer line with a URL or any
  newer-generation line was read.
- A stored text ends at its first NUL byte (the conversion to wide text takes
  the field as a C string).
"""
import re

INT_MAX = 2**31 - 1

# Only a maximal run of digits can open the leftmost a.b.c.d: a match that
# starts inside a run also matches from the run's first digit, which lies
# further left. Saying so keeps the search linear on long runs of digits
# without changing which text is found.
VERSION = re.compile(rb"(?<![0-9])([0-9]+)\.([0-9]+)\.([0-9]+)\.([0-9]+)")
VERSION_AS_WRITTEN = re.compile(rb"([0-9]+)\.([0-9]+)\.([0-9]+)\.([0-9]+)")

# A line is a run of bytes other than CR and LF; a field, other than those
# and the space.
LINE = re.compile(rb"[^\r\n]+")
FIELD = re.compile(rb"[^ \r\n]+")

TEXTS = ("new_major_version", "new_major_url", "latest_md5", "latest_url",
         "latest_manual_md5", "latest_manual_url")


def generation(kind):
    """The first number of the kind's version, or None without a version."""
    match = VERSION.search(kind)
    if not match:
        return None
    digits = match.group(1).lstrip(b"0")
    if len(digits) > len(str(INT_MAX)):
        return INT_MAX
    return min(int(digits or b"0"), INT_MAX)


def stored(field):
    return field.split(b"\0", 1)[0]


def fits(architecture, system_is_64bit):
    wanted = b"64bit" if system_is_64bit else b"32bit"
    return architecture.lower() in (wanted, b"both")


def read(body, system_is_64bit):
    """(usable, values, spans): values maps "new_major_released" to a bool and
    each name of TEXTS to the bytes stored for it (b"" when nothing was);
    spans maps each name of TEXTS to the (start, end) of those bytes in the
    body, or None when nothing was stored."""
    values = dict.fromkeys(TEXTS, b"")
    values["new_major_released"] = False
    spans = dict.fromkeys(TEXTS)
    usable = False
    if not body:
        return usable, values, spans

    def store(name, field):
        start = field.start()
        end = start + len(stored(field.group()))
        store_span(name, start, end)

    def store_span(name, start, end):
        values[name] = body[start:end]
        spans[name] = (start, end)

    lines = [line for line in LINE.finditer(body)]
    for line in lines[1:]:
        fields = list(FIELD.finditer(body, line.start(), line.end()))[:4]
        words = [field.group() for field in fields]
        if not words or not fits(words[0], system_is_64bit):
            continue
        if len(words) < 2:
            continue
        number = generation(words[1])
        if number == 6:
            kind = "installer"
        elif number is not None and number >= 7:
            kind = "newer"
            values["new_major_released"] = True
            version = VERSION.search(words[1])
            store_span("new_major_version", fields[1].start() + version.start(),
                       fields[1].start() + version.end())
            usable = True
        elif words[1].lower() == b"manual":
            kind = "manual"
        else:
            continue
        if len(words) < 4:
            continue
        if kind == "installer":
            store("latest_md5", fields[2])
            store("latest_url", fields[3])
            usable = True
        elif kind == "newer":
            store("new_major_url", fields[3])
        else:
            store("latest_manual_md5", fields[2])
            store("latest_manual_url", fields[3])
    return usable, values, spans


# Characters whose code page 932 form every converter agrees on: ASCII, the
# kana, the common kanji and the full-width and half-width forms. A text made
# of others (vendor extensions, user-defined characters, stray lead bytes) is
# compared by its bytes only.
_AGREED = re.compile(r"[\x01-\x7f\u3000-\u30ff\u4e00-\u9fff\uff01-\uff5e\uff61-\uff9f]*\Z")


def unicode_text(data):
    """The text that `data` (bytes without NUL) reads as in code page 932, or
    None when it is not one that every converter reads alike."""
    try:
        text = data.decode("cp932")
    except UnicodeDecodeError:
        return None
    return text if _AGREED.match(text) else None
