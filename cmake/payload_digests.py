#!/usr/bin/env python3
"""Writes the payload's digest table, which the launcher carries as a resource and checks each part
against while writing it: one "<resource id> <CRC-32C, 8 hex digits>" line per part.

usage: payload_digests.py <output> <id>|<type>|<file>...
A file that cannot be read ends the build with a line naming it."""
import os
import sys


def _tables():
    first = []
    for i in range(256):
        crc = i
        for _ in range(8):
            crc = (crc >> 1) ^ (0x82F63B78 if crc & 1 else 0)
        first.append(crc)
    return first


TABLE = _tables()


def crc32c(path):
    crc = 0xFFFFFFFF
    table = TABLE
    with open(path, "rb") as f:
        while True:
            block = f.read(1 << 20)
            if not block:
                break
            for byte in block:
                crc = table[(crc ^ byte) & 0xFF] ^ (crc >> 8)
    return crc ^ 0xFFFFFFFF


def main(argv):
    if len(argv) < 2:
        sys.exit("usage: payload_digests.py <output> <id>|<type>|<file>...")
    lines = []
    for entry in argv[2:]:
        fields = entry.split("|", 2)
        if len(fields) != 3 or not fields[0].isdigit():
            sys.exit(f"payload digests: entry {entry!r} is not <id>|<type>|<file>")
        resource_id, _, path = fields
        try:
            digest = crc32c(path)
        except OSError as e:
            sys.exit(f"payload digests: {path}: cannot be read ({e.strerror})")
        lines.append(f"{int(resource_id)} {digest:08x}\n")
    text = "".join(lines)
    # Written whole or not at all: a half table would fail every run of the launcher built on it.
    staged = argv[1] + ".tmp"
    with open(staged, "w", newline="\n") as f:
        f.write(text)
    os.replace(staged, argv[1])


if __name__ == "__main__":
    main(sys.argv)
