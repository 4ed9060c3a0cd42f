#!/usr/bin/env python3
"""Makes a wixl package reproducible: wixl stamps the summary information with the build time and a
random package code. This rewrites both in place: every date becomes the given Unix time, and the
package code is derived from the package's own bytes (so equal packages share a code and any change
gives a new one).

usage: fix_msi_summary.py <package.msi> <unix-time>
"""
import hashlib
import os
import struct
import sys
import uuid

END_OF_CHAIN = 0xFFFFFFFE
SUMMARY_STREAM = "\x05SummaryInformation"
PID_REVNUMBER = 9  # the package code
VT_LPSTR, VT_FILETIME = 30, 64


class CompoundFile:
    """Just enough of the compound file format to find one stream's bytes in the file."""

    def __init__(self, data):
        if data[:8] != bytes.fromhex("d0cf11e0a1b11ae1"):
            raise ValueError("not a compound file")
        self.data = data
        self.sector_size = 1 << struct.unpack_from("<H", data, 0x1E)[0]
        self.mini_size = 1 << struct.unpack_from("<H", data, 0x20)[0]
        (self.first_dir, _, self.cutoff, self.first_minifat, _, first_difat, difat_count) = struct.unpack_from(
            "<7I", data, 0x30)
        fat_sectors = [s for s in struct.unpack_from("<109I", data, 0x4C) if s < 0xFFFFFFFA]
        per_sector = self.sector_size // 4
        sector = first_difat
        for _ in range(difat_count):
            entries = struct.unpack_from(f"<{per_sector}I", data, self.offset(sector))
            fat_sectors += [s for s in entries[:-1] if s < 0xFFFFFFFA]
            sector = entries[-1]
        self.fat = []
        for s in fat_sectors:
            self.fat += struct.unpack_from(f"<{per_sector}I", data, self.offset(s))
        self.minifat = []
        for s in self.chain(self.first_minifat):
            self.minifat += struct.unpack_from(f"<{per_sector}I", data, self.offset(s))

    def offset(self, sector):
        return (sector + 1) * self.sector_size

    def chain(self, start, table=None):
        table = self.fat if table is None else table
        sectors, seen = [], set()
        while start != END_OF_CHAIN and start < len(table):
            if start in seen:
                raise ValueError("sector chain loops")
            seen.add(start)
            sectors.append(start)
            start = table[start]
        return sectors

    def entries(self):
        for sector in self.chain(self.first_dir):
            base = self.offset(sector)
            for i in range(self.sector_size // 128):
                e = base + 128 * i
                name_len = struct.unpack_from("<H", self.data, e + 64)[0]
                name = self.data[e:e + max(name_len - 2, 0)].decode("utf-16-le", "replace")
                start, size = struct.unpack_from("<IQ", self.data, e + 116)
                yield name, start, size & 0xFFFFFFFF

    def stream_offsets(self, name):
        """File offset of every byte of the named stream, in order."""
        entries = list(self.entries())
        root_start = entries[0][1]
        for entry_name, start, size in entries:
            if entry_name != name:
                continue
            if size < self.cutoff:
                mini_stream = [self.offset(s) + k for s in self.chain(root_start) for k in range(self.sector_size)]
                spots = [mini_stream[m * self.mini_size + k]
                         for m in self.chain(start, self.minifat) for k in range(self.mini_size)]
            else:
                spots = [self.offset(s) + k for s in self.chain(start) for k in range(self.sector_size)]
            if len(spots) < size:
                raise ValueError(f"stream {name!r} is shorter than its directory entry says")
            return spots[:size]
        raise ValueError(f"no stream {name!r}")


def summary_properties(stream):
    """(property id, type, value offset in the stream) of the first property section."""
    section = struct.unpack_from("<I", stream, 44)[0]
    count = struct.unpack_from("<I", stream, section + 4)[0]
    for i in range(count):
        pid, rel = struct.unpack_from("<II", stream, section + 8 + 8 * i)
        at = section + rel
        yield pid, struct.unpack_from("<I", stream, at)[0], at + 4


def main(path, unix_time):
    data = bytearray(open(path, "rb").read())
    spots = CompoundFile(bytes(data)).stream_offsets(SUMMARY_STREAM)
    stream = bytearray(data[i] for i in spots)
    filetime = (unix_time + 11644473600) * 10_000_000
    code_at = None
    for pid, vt, at in summary_properties(stream):
        if vt == VT_FILETIME:
            struct.pack_into("<Q", stream, at, filetime)
        elif pid == PID_REVNUMBER and vt == VT_LPSTR:
            length = struct.unpack_from("<I", stream, at)[0]
            if length != 39:
                raise ValueError("the package code is not a braced GUID")
            code_at = at + 4
            stream[code_at:code_at + 38] = b"{" + b"0" * 36 + b"}"
    if code_at is None:
        raise ValueError("the package has no package code")

    def put(buf):
        for i, spot in enumerate(spots):
            data[spot] = buf[i]

    put(stream)
    code = "{%s}" % str(uuid.UUID(bytes=hashlib.sha256(data).digest()[:16], version=4)).upper()
    stream[code_at:code_at + 38] = code.encode("ascii")
    put(stream)
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    try:
        main(sys.argv[1], int(sys.argv[2]))
    except (OSError, ValueError, struct.error) as e:
        sys.exit(f"fix_msi_summary.py: {sys.argv[1]}: {e}")
