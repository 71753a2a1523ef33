#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, runs every test
# (arguments go to ctest, e.g. -L fast), then checks the Debian package.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
QUILLMERE_WERROR=ON "$top/scripts/build.sh"
cd "$top/build"
export QT_QPA_PLATFORM=offscreen
# Every test carries one of the labels fast, readers, slow (README, "Tests by label").
if ! ctest -N -LE '^(fast|readers|slow)$' | grep -q '^Total Tests: 0$'; then
  echo "Tests without a label:" >&2
  ctest -N -LE '^(fast|readers|slow)$' >&2
  exit 1
fi
ctest --output-on-failure -j"$(nproc)" "$@"
"$top/scripts/check-package.sh" "$top/build"
