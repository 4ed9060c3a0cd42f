#!/usr/bin/env python3
"""Checks a payload folder against the product facts before a launcher is built around it:
every file present and of its kind, the packages' product codes and versions, and the kit package's
external cabinets among the carried archives. Packages are read with msitools' msiinfo.

check_payload.py <folder> --kit <file> <ProductCode> <ProductVersion>
                 --agent <file> <ProductCode> <ProductVersion> --archives <file>...
Prints one line, "Payload check failed: <file>: <what>: found <found>, expected <expected>", at the
first problem and exits 1; exits 0 without output when the folder holds what the facts describe."""
import os
import re
import subprocess
import sys

PACKAGE_SIGNATURE = bytes.fromhex("d0cf11e0a1b11ae1")  # compound file
ARCHIVE_SIGNATURE = b"MSCF"


class Problem(Exception):
    def __init__(self, path, what, found, expected):
        super().__init__("%s: %s: found %s, expected %s" % (path, what, found, expected))


def check_kind(path, signature, kind):
    if not os.path.isfile(path):
        raise Problem(path, "presence", "no such file" if not os.path.exists(path) else "no regular file",
                      "the " + kind)
    with open(path, "rb") as f:
        head = f.read(len(signature))
    if head != signature:
        raise Problem(path, "signature", head.hex() or "an empty file", signature.hex() + " (" + kind + ")")


def table(path, name):
    """Rows of a package's table as lists of column texts (msiinfo's export: three header lines)."""
    try:
        run = subprocess.run(["msiinfo", "export", path, name], capture_output=True)
    except OSError as e:
        raise Problem(path, "reading the %s table with msiinfo" % name, str(e), "msitools' msiinfo on PATH")
    if run.returncode != 0:
        # GLib's "** (msiinfo:<pid>): WARNING **: <time>: " goes; its first message says why.
        reasons = [re.sub(r"^\*\* \(.*?\): \w+ \*\*: [\d:.]+: ", "", line)
                   for line in run.stderr.decode("utf-8", "replace").splitlines() if line.strip()]
        raise Problem(path, "reading the %s table with msiinfo" % name,
                      (reasons or ["exit status %d" % run.returncode])[0], "a readable package")
    lines = run.stdout.decode("utf-8", "replace").replace("\r\n", "\n").split("\n")[3:]
    return [line.split("\t") for line in lines if line]


def check_property(path, properties, name, expected):
    found = properties.get(name)
    if found != expected:
        raise Problem(path, name, "none" if found is None else found, expected)


def check_package(path, code, version):
    properties = {row[0]: row[1] for row in table(path, "Property") if len(row) >= 2}
    check_property(path, properties, "ProductCode", code)
    check_property(path, properties, "ProductVersion", version)


def main(argv):
    folder, groups, key = argv[1], {}, None
    for arg in argv[2:]:
        if arg.startswith("--"):
            key = arg[2:]
            groups[key] = []
        elif key:
            groups[key].append(arg)
    kit, agent, archives = groups.get("kit", []), groups.get("agent", []), groups.get("archives", [])
    if len(kit) != 3 or len(agent) != 3 or not archives:
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    try:
        if not os.path.isdir(folder):
            raise Problem(folder, "payload folder", "no such folder", "a folder with the packages and archives")
        at = lambda name: os.path.join(folder, name)
        check_kind(at(kit[0]), PACKAGE_SIGNATURE, "development-kit package")
        for name in archives:
            check_kind(at(name), ARCHIVE_SIGNATURE, "cabinet archive")
        check_kind(at(agent[0]), PACKAGE_SIGNATURE, "update-agent package")
        check_package(at(kit[0]), kit[1], kit[2])
        check_package(at(agent[0]), agent[1], agent[2])
        carried = {name.lower() for name in archives}
        # Media columns: DiskId, LastSequence, DiskPrompt, Cabinet, ...; "#name" is a stream inside the package.
        for row in table(at(kit[0]), "Media"):
            cabinet = row[3] if len(row) > 3 else ""
            if cabinet and not cabinet.startswith("#") and cabinet.lower() not in carried:
                raise Problem(at(kit[0]), "external cabinet of Media row %s" % row[0], cabinet,
                              "one of " + ", ".join(archives))
    except Problem as problem:
        print("Payload check failed: %s" % problem)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
