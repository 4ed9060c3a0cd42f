#!/usr/bin/env python3
"""Checks a built launcher image without running it, so that it also holds where the image cannot run:
- it imports only DLLs on Windows' KnownDLLs list (any other one could be planted beside a downloaded
  launcher and loaded in its place);
- its resource directory holds the manifest, the version, the string tables and the given payload,
  byte for byte the given file where one is named;
- its sections start at page-aligned file offsets and it carries no debug sections: Wine maps such an
  image, while it reads any other one whole into memory before the first instruction runs, payload
  included.

check_launcher_image.py <exe> [--resource TYPE/ID[=FILE]]...   (TYPE: a name or a number, e.g. 24/1)
Prints one line per problem and exits 1 when there is any."""
import struct
import sys

KNOWN_DLLS = {
    "advapi32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll", "ole32.dll",
    "oleaut32.dll", "shell32.dll", "shlwapi.dll", "user32.dll", "ws2_32.dll", "rpcrt4.dll",
    "combase.dll", "sechost.dll", "imm32.dll", "setupapi.dll", "psapi.dll", "wldap32.dll",
}
RT_STRING, RT_VERSION, RT_MANIFEST = 6, 16, 24
# Blocks of the string table the launcher loads: 115-120, 2048-2049, 3072-3089.
STRING_BLOCKS = {115 // 16 + 1, 2048 // 16 + 1, 3072 // 16 + 1, 3088 // 16 + 1}


class Image:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE image")
        sections = struct.unpack_from("<H", data, pe + 6)[0]
        optional_size = struct.unpack_from("<H", data, pe + 20)[0]
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        directories = optional + (96 if magic == 0x10B else 112)
        self.directory = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(16)]
        table = optional + optional_size
        self.sections = [struct.unpack_from("<8sIIII", data, table + 40 * i) for i in range(sections)]

    def offset(self, rva):
        for _name, vsize, vaddr, rawsize, rawptr in self.sections:
            if vaddr <= rva < vaddr + max(vsize, rawsize):
                return rva - vaddr + rawptr
        raise ValueError("address 0x%x lies in no section" % rva)

    def cstring(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii", "replace")

    def imports(self):
        rva, size = self.directory[1]
        names, at = [], self.offset(rva) if size else None
        while at is not None:
            entry = struct.unpack_from("<IIIII", self.data, at)
            if entry == (0, 0, 0, 0, 0):
                break
            names.append(self.cstring(entry[3]))
            at += 20
        return names

    def resources(self):
        """{(type, id): data of its first language}; names as text, numbers as int."""
        rva, size = self.directory[2]
        if not size:
            return {}
        base = self.offset(rva)

        def entries(at):
            named, numbered = struct.unpack_from("<HH", self.data, at + 12)
            for i in range(named + numbered):
                key, target = struct.unpack_from("<II", self.data, at + 16 + 8 * i)
                if key & 0x80000000:
                    name_at = base + (key & 0x7FFFFFFF)
                    length = struct.unpack_from("<H", self.data, name_at)[0]
                    key = self.data[name_at + 2:name_at + 2 + 2 * length].decode("utf-16-le")
                yield key, target

        found = {}
        for rtype, target in entries(base):
            for rid, languages in entries(base + (target & 0x7FFFFFFF)):
                for _language, leaf in entries(base + (languages & 0x7FFFFFFF)):
                    data_rva, data_size = struct.unpack_from("<II", self.data, base + leaf)
                    found[(rtype, rid)] = self.data[self.offset(data_rva):self.offset(data_rva) + data_size]
                    break
        return found


def parse_resource(text):
    text, _, file = text.partition("=")
    rtype, rid = text.split("/")
    return (int(rtype) if rtype.isdigit() else rtype, int(rid), file)


def main(argv):
    path, wanted = argv[1], [(RT_MANIFEST, 1, ""), (RT_VERSION, 1, "")] + [(RT_STRING, b, "") for b in STRING_BLOCKS]
    args = argv[2:]
    while args:
        if args[0] == "--resource":
            wanted.append(parse_resource(args[1]))
            args = args[2:]
        else:
            print("unknown argument: " + args[0])
            return 2
    with open(path, "rb") as f:
        image = Image(f.read())
    problems = []
    for name, _vsize, _vaddr, rawsize, rawptr in image.sections:
        name = name.rstrip(b"\0").decode("ascii", "replace")
        if rawsize and rawptr % 4096:
            problems.append("section %s starts at file offset 0x%x, not on a 4096-byte page" % (name, rawptr))
        if name.startswith(".debug") or name.startswith("/"):
            problems.append("carries the debug section %s: link with -s" % name)
    for dll in image.imports():
        if dll.lower() not in KNOWN_DLLS:
            problems.append("imports %s, which is not a KnownDLL: bind it at run time from the system folder" % dll)
    present = image.resources()
    for rtype, rid, file in wanted:
        if (rtype, rid) not in present:
            problems.append("resource %s/%s is missing" % (rtype, rid))
        elif file:
            with open(file, "rb") as f:
                carried, expected = present[(rtype, rid)], f.read()
            if carried != expected:
                problems.append("resource %s/%s (%d bytes) differs from %s (%d bytes)"
                                % (rtype, rid, len(carried), file, len(expected)))
    for problem in problems:
        print("%s: %s" % (path, problem))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
