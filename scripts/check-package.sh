#!/usr/bin/env bash
# Usage: scripts/check-package.sh BUILD_DIR
# Makes the Debian package of a configured and built tree (into BUILD_DIR/package/),
# unpacks it into a scratch root, and converts the bundled sample store with
# the unpacked quillmere-convert run from an empty folder; the new store must
# pass the unpacked quillmere-pstcheck --strict.
set -euo pipefail
build=$(cd "${1:?usage: check-package.sh BUILD_DIR}" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

rm -rf "$build/package"
(cd "$build" && cpack -G DEB -B "$build/package" >/dev/null)
debs=("$build"/package/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "check-package: expected one .deb in $build/package" >&2; exit 1; }
deb=${debs[0]}
dpkg-deb -x "$deb" "$scratch/root"
bin="$scratch/root/usr/bin"

mkdir "$scratch/empty"
cd "$scratch/empty"
"$bin/quillmere-convert" --quiet >"$scratch/convert.log" 2>&1 ||
  { cat "$scratch/convert.log" >&2; echo "check-package: the unpacked converter failed" >&2; exit 1; }
stores=(out/*.pst)
[ ${#stores[@]} -eq 1 ] && [ -f "${stores[0]}" ] || { echo "check-package: no store in ./out/" >&2; exit 1; }
"$bin/quillmere-pstcheck" --strict "${stores[0]}" >"$scratch/check.log" ||
  { cat "$scratch/check.log" >&2; echo "check-package: the store fails quillmere-pstcheck --strict" >&2; exit 1; }
echo "check-package: $(basename "$deb"): $(grep -o '[0-9]* of [0-9]* messages converted' "$scratch/convert.log"), the store passes quillmere-pstcheck --strict"
