#!/usr/bin/env bash
# Bad payload folders, each a copy of the good one changed in one way: configuring the project around
# it fails with the one line that names the file, what was checked, found and expected.
# payload_folder_test.sh <source dir> <toolchain file> <good folder> <scratch dir> <kit code> <agent version>
set -uo pipefail
src=$1 toolchain=$2 good=$3 scratch=$4 kit_code=$5 agent_version=$6
kit=forge3.1.0_27.msi
other_code="{00000000-0000-0000-0000-000000000001}"
rows=(
  "kit-code|msibuild $kit -q \"UPDATE Property SET Value='$other_code' WHERE Property='ProductCode'\"|$kit: ProductCode: found $other_code, expected $kit_code"
  "no-archive|rm sj310270.cab|sj310270.cab: presence: found no such file, expected the cabinet archive"
  "agent-version|msibuild au.msi -q \"UPDATE Property SET Value='2.3.27.8' WHERE Property='ProductVersion'\"|au.msi: ProductVersion: found 2.3.27.8, expected $agent_version"
  "archive-kind|printf 'MSCE' >ss310270.cab|ss310270.cab: signature: found 4d534345, expected 4d534346 (cabinet archive)"
  "media-cabinet|msibuild $kit -q \"UPDATE Media SET Cabinet='st310271.cab' WHERE DiskId=1\"|$kit: external cabinet of Media row 1: found st310271.cab, expected one of ss310270.cab, st310270.cab, sj310270.cab, sz310270.cab"
)
mkdir -p "$scratch" || exit 2
failed=0
for row in "${rows[@]}"; do
  IFS='|' read -r name change expected <<<"$row"
  folder=$scratch/$name
  rm -rf "$folder" "$folder-build" && cp -r "$good" "$folder" || exit 2
  (cd "$folder" && eval "$change") || { echo "$name: the change failed: $change"; failed=1; continue; }
  if cmake -S "$src" -B "$folder-build" --toolchain "$toolchain" -DLAUNCHER_PAYLOAD_DIR="$folder" \
      >"$folder.log" 2>&1; then
    echo "$name: configure succeeded"; failed=1
  elif ! grep -qxF "   Payload check failed: $folder/$expected" "$folder.log"; then
    echo "$name: expected the line \"Payload check failed: $folder/$expected\", the configure said:"
    grep -A3 "CMake Error" "$folder.log"; failed=1
  fi
done
exit $failed
