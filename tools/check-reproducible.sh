#!/usr/bin/env bash
# Builds the release of the commit checked out twice, each from a fresh clone of its own, in
# folders of different names and depths, with different time zones and umasks, one after the
# other, and requires the same SHA-256 of pruvolt.exe, the ZIP, the MSI and the build-info file.
# What it compares is the commit: changes not committed are in neither clone.
#
#   tools/check-reproducible.sh        prints both builds' hashes; exit 1 when they differ
set -euo pipefail
cd "$(dirname "$0")/.."

commit=$(git rev-parse HEAD)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The commit's own time, not one from the caller's environment.
unset SOURCE_DATE_EPOCH

build() {  # build NAME FOLDER TZ UMASK: a fresh clone in FOLDER, built there; its hashes in NAME.sums
  local name=$1 folder=$work/$2 zone=$3 mask=$4
  git clone -q --no-local --no-checkout . "$folder"
  git -C "$folder" checkout -q --detach "$commit"
  echo "build $name: TZ=$zone, umask $mask, in a folder $(printf %s "$folder" | wc -c) characters long"
  (
    cd "$folder"
    umask "$mask"
    export TZ=$zone
    cmake --preset windows > "$work/$name.log" 2>&1
    cmake --build --preset windows -j "$(nproc)" --target package >> "$work/$name.log" 2>&1
  ) || { cat "$work/$name.log"; return 1; }
  (cd "$folder/build/windows" && sha256sum app/pruvolt.exe Pruvolt-*.zip Pruvolt-*.msi Pruvolt-*-buildinfo.txt) \
    > "$work/$name.sums"
  sed 's/^/  /' "$work/$name.sums"
}

build first a UTC 022
build second "deeper/and/deeper/another clone" Pacific/Kiritimati 077

if ! diff -u "$work/first.sums" "$work/second.sums"; then
  echo "FAILED: two builds of $commit differ"
  exit 1
fi
echo "ok: two builds of $commit are the same to the byte"
