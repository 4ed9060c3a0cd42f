"""Validates each winget manifest of the administrator's guide against winget's published schema.

Usage: winget_manifests.py <guide.md> <schema folder>
The schema of a manifest is named by its own ManifestType and ManifestVersion; the guide must give
the whole set (version, defaultLocale, installer) of one package version.
"""
import json
import re
import sys

import jsonschema
import yaml

guide, schemas = sys.argv[1], sys.argv[2]
with open(guide, encoding="utf-8") as f:
    blocks = re.findall(r"^```yaml\n(.*?)^```", f.read(), re.M | re.S)
failures = []
found = {}
for block in blocks:
    manifest = yaml.safe_load(block)
    kind = f"{manifest.get('ManifestType')} {manifest.get('ManifestVersion')}"
    try:
        with open(f"{schemas}/manifest.{manifest['ManifestType']}.{manifest['ManifestVersion']}.json") as f:
            schema = json.load(f)
    except (KeyError, OSError) as e:
        failures.append(f"{kind}: no schema ({e})")
        continue
    for error in jsonschema.Draft7Validator(schema).iter_errors(manifest):
        failures.append(f"{kind}: {'/'.join(map(str, error.absolute_path))}: {error.message}")
    found[manifest["ManifestType"]] = manifest
if sorted(found) != ["defaultLocale", "installer", "version"]:
    failures.append(f"the set is not complete: {sorted(found)}")
identities = {(m.get("PackageIdentifier"), m.get("PackageVersion"), m.get("ManifestVersion")) for m in found.values()}
if len(identities) != 1:
    failures.append(f"the manifests name different packages or schema versions: {sorted(map(str, identities))}")
if found.get("version", {}).get("DefaultLocale") != found.get("defaultLocale", {}).get("PackageLocale"):
    failures.append("the version manifest's DefaultLocale is not the default-locale manifest's PackageLocale")
for failure in failures:
    print(failure)
print(f"{len(blocks)} manifests, {len(failures)} failures")
sys.exit(1 if failures else 0)
