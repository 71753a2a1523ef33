#!/usr/bin/env bash
# Configures and builds everything in Release into ./build.
# QUILLMERE_WERROR=ON (as scripts/run-tests.sh sets it) fails the build on any warning.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DQUILLMERE_WERROR="${QUILLMERE_WERROR:-OFF}" >/dev/null
cmake --build "$top/build" -j"$(nproc)"
