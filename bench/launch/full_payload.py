#!/usr/bin/env python3
"""Writes the files of the four archives at the shipped sizes and packs them with gcab into real
cabinets of exactly the shipped sizes, for the installation benchmark.

full_payload.py <gcab> <stage folder> <output folder> <loom.exe> <runtime package> <archive tag> <full version>

The archive tag and the full version are the product's (cmake/ProductFacts.cmake): "ss<tag>.cab" and so on.

The stage folder gets one folder per cabinet, each file named by its cabinet entry name; the "st" cabinet
holds the files the stand-in package installs (its File Ids), so a package built from
payload/kit/forge.wxs over this stage installs 124 MB from the largest cabinet. The cabinets are
stored uncompressed (gcab without -z): the filler does not compress, and the installer then reads
what the launcher wrote.
"""
import os
import random
import subprocess
import sys

# Cabinet name before the tag, shipped size, entries (name, share of the content; None: a fixed small
# file). RUNTIME stands for the runtime package's own file name.
RUNTIME = "<runtime package>"
CABINETS = [
    ("ss", 19906511, [("ss_data.dat", 1.0)]),
    ("st", 124485486, [("st_tools.dat", 0.3), ("loom.exe", None), (RUNTIME, None), ("st_src.dat", 0.5),
                       ("st_forge.dat", 0.2), ("st_readme.txt", None)]),
    ("sj", 37303520, [("sj_data.dat", 1.0)]),
    ("sz", 1446, [("sz_data.txt", 1.0)]),
]


def write_filler(path, size, seed):
    data = random.Random(seed).randbytes(size)
    with open(path, "wb") as out:
        out.write(data)


def pack(gcab, cabinet, files):
    if os.path.exists(cabinet):
        os.remove(cabinet)
    subprocess.run([gcab, "-c", "-n", cabinet] + files, check=True)
    return os.path.getsize(cabinet)


def main(argv):
    if len(argv) != 8:
        sys.exit(__doc__)
    gcab, stage, out, loom, runtime, tag, full_version = argv[1:]
    readme_text = f"Mako Development Kit {full_version} (benchmark payload of the shipped sizes).\n".encode()
    runtime_name = os.path.basename(runtime)
    given = {"loom.exe": loom, runtime_name: runtime}
    os.makedirs(out, exist_ok=True)
    for number, (prefix, target, cabinet_entries) in enumerate(CABINETS):
        cabinet = f"{prefix}{tag}.cab"
        entries = [(runtime_name if name == RUNTIME else name, share) for name, share in cabinet_entries]
        folder = os.path.join(stage, cabinet[:-4])
        os.makedirs(folder, exist_ok=True)
        paths = [given.get(name, os.path.join(folder, name)) for name, _ in entries]
        if any(name == "st_readme.txt" for name, _ in entries):
            with open(os.path.join(folder, "st_readme.txt"), "wb") as readme:
                readme.write(readme_text)
        fixed = sum(os.path.getsize(p) for (_, share), p in zip(entries, paths) if share is None)
        # First guess of the cabinet's own bytes (headers, one 8-byte block header per 32 KiB).
        content = target - fixed - 64 - 8 * (target // 32768 + 1) - sum(24 + len(n) for n, _ in entries)
        shared = [(name, share) for name, share in entries if share is not None]
        sizes = {name: int(content * share) for name, share in shared}
        last = shared[-1][0]
        sizes[last] += content - sum(sizes.values())
        for index, (name, _) in enumerate(shared):
            write_filler(os.path.join(folder, name), sizes[name], number * 16 + index)
        # The last entry takes what gcab's own bytes leave; a changed block count can take a second round.
        for attempt in range(8):
            made = pack(gcab, os.path.join(out, cabinet), paths)
            if made == target:
                break
            sizes[last] += target - made
            os.truncate(os.path.join(folder, last), sizes[last])
        else:
            sys.exit(f"{cabinet}: {made} bytes after 8 attempts, expected {target}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
