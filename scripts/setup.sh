#!/usr/bin/env bash
# Installs what the build and the tests need, only where it is missing.
set -euo pipefail

packages=(g++ cmake ninja-build pkg-config qt6-base-dev libgmime-3.0-dev libical-dev
          libgtest-dev libgmock-dev pff-tools pst-utils xvfb fonts-wine
          clang libclang-rt-14-dev
          python3 libpython3.11-testsuite golang-github-jhillyerd-enmime-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
command -v npm >/dev/null 2>&1 || missing+=(nodejs npm)

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi

# Independent PST reader used by the store tests.
top=$(cd "$(dirname "$0")/.." && pwd)
if [ -f "$top/tests/readers/package.json" ] && [ ! -d "$top/tests/readers/node_modules" ]; then
  (cd "$top/tests/readers" && npm ci --no-audit --no-fund --loglevel=error)
fi
