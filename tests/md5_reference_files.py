#!/usr/bin/env python3
"""Writes the files md5_test digests into FOLDER and records md5sum's digests
of them in FOLDER/md5sums.txt ("<hex>  <name>" per line), so that the test
compares md5_file with a digest made outside the launcher.

    md5_reference_files.py FOLDER
"""
import os
import subprocess
import sys

# Around the 4096-byte read block, and one file of many blocks.
SIZES = (0, 4095, 4096, 4097, 1000000)


def content(size):
    """Bytes of a linear congruential sequence: no period near 64 or 4096, so
    a block processed twice or out of order changes the digest."""
    out = bytearray(size)
    x = 12345
    for i in range(size):
        x = (x * 1103515245 + 12345) & 0x7FFFFFFF
        out[i] = x >> 16 & 0xFF
    return bytes(out)


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    names = []
    for size in SIZES:
        name = "md5-%d.bin" % size
        with open(os.path.join(folder, name), "wb") as f:
            f.write(content(size))
        names.append(name)
    sums = subprocess.run(["md5sum", "--"] + names, cwd=folder, check=True,
                          capture_output=True, text=True).stdout
    with open(os.path.join(folder, "md5sums.txt"), "w") as f:
        f.write(sums)


if __name__ == "__main__":
    main()
