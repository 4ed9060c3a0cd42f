"""Checks the exit codes of the administrator's guide against the exit-code header.

Usage: exit_code_forms.py <source folder>
Each form of the codes in the guide (its own table, the Intune table, the winget installer manifest)
names every code of src/driver/exit_codes.h, as a signed 32-bit number, in the class of the guide's
own table (winget in the outcome alone: it has no restart classes of its own), so a new code fails
here until the guide says what a deployment tool should make of it. The README's table, which gives
meanings only, lists every code of the header too.
"""
import re
import sys

import yaml


def read(relative):
    with open(f"{sys.argv[1]}/{relative}", encoding="utf-8") as f:
        return f.read()


def table(text, first_header):
    """The cells of the rows below the header row that starts with "| <first_header> |"."""
    rows, inside = [], False
    for line in text.splitlines():
        if not inside:
            inside = line.startswith(f"| {first_header} |")
        elif not line.startswith("|"):
            break
        elif not line.startswith("|---"):
            rows.append([cell.strip() for cell in line.strip().strip("|").split("|")])
    return rows


# The classes in the words of Intune's code types; the guide's last column starts with one of them.
ACTION_CLASS = {"Success": "Success", "Soft reboot": "Soft reboot", "Hard reboot": "Hard reboot", "Retry": "Retry",
                "Failure": "Failed"}
# winget's responses and the class it gives them.
RESPONSE_CLASS = {"rebootRequiredToFinish": "Soft reboot", "installInProgress": "Retry", "rebootInitiated": "Failed",
                  "invalidParameter": "Failed", "alreadyInstalled": "Failed", "downgrade": "Failed",
                  "missingDependency": "Failed", "diskFull": "Failed", "fileInUse": "Failed", "contactSupport": "Failed"}


def outcome(toolClass):
    """Installed, retry or failed: what every tool agrees on."""
    return {"Success": "installed", "Soft reboot": "installed", "Hard reboot": "installed", "Retry": "retry"}.get(
        toolClass, toolClass)


failures = []
header = {int(code) for code in re.findall(r"constexpr int \w+ = (-?\d+);", read("src/driver/exit_codes.h"))}
if len(header) < 9:
    failures.append(f"only {len(header)} codes found in exit_codes.h")
guide = read("docs/deploying.md")

reference = {}
for cells in table(guide, "Code"):
    named = [toolClass for word, toolClass in ACTION_CLASS.items() if cells[2].startswith(word)]
    reference[int(cells[0])] = named[0] if named else None
    if not named:
        failures.append(f"the guide's table: {cells[0]} has no class: {cells[2]}")

intune = {int(cells[0]): cells[1] for cells in table(guide, "Return code")}

winget = {0: "Success"}  # winget's own success
installers = [m for m in map(yaml.safe_load, re.findall(r"^```yaml\n(.*?)^```", guide, re.M | re.S))
              if m.get("ManifestType") == "installer"]
if len(installers) != 1:
    failures.append(f"{len(installers)} winget installer manifests, not one")
for manifest in installers:
    winget.update({code: "Success" for code in manifest.get("InstallerSuccessCodes", [])})
    for entry in manifest.get("ExpectedReturnCodes", []):
        response = entry["ReturnResponse"]
        winget[entry["InstallerReturnCode"]] = RESPONSE_CLASS.get(response, f"not a winget response: {response}")

readme = {int(code) for cells in table(read("README.md"), "code") for code in cells[0].split(",")
          if re.search(r"\d", code)}  # first cells such as "1618, 1603, ..."
failures += [f"{code} is missing from the README's table" for code in sorted(header - readme)]

for name, form, restartClasses in (("the guide's table", reference, True), ("the Intune table", intune, True),
                                   ("the winget manifest", winget, False)):
    failures += [f"{name}: {code} is missing" for code in sorted(header - form.keys())]
    for code, toolClass in form.items():
        # Intune and winget read signed 32-bit numbers: 4294967295 for -1 would not load.
        if not -2**31 <= code < 2**31:
            failures.append(f"{name}: {code} is not a signed 32-bit number")
        # The launcher's own codes are the negative ones: none that the code lacks.
        if code < 0 and code not in header:
            failures.append(f"{name}: {code} is not in exit_codes.h")
        if code not in reference:
            failures.append(f"{name}: {code} is not in the guide's table")
        elif restartClasses and toolClass != reference[code] or outcome(toolClass) != outcome(reference[code]):
            failures.append(f"{name}: {code} is {toolClass}, the guide's table says {reference[code]}")
for failure in failures:
    print(failure)
print(f"{len(header)} codes in the header, {len(failures)} failures")
sys.exit(1 if failures else 0)
