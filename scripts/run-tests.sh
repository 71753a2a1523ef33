#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, runs every test
# (arguments go to ctest, e.g. -L fast), then checks the Debian package.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
QUILLMERE_WERROR=ON "$top/scripts/build.sh"
(cd "$top/build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" "$@")
"$top/scripts/check-package.sh" "$top/build"
