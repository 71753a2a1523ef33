#!/usr/bin/env bash
# Starts the window program on a virtual X server and saves what the screen
# shows of the main window and of the hint window into docs/images/.
# Usage: scripts/screenshots.sh [build-dir]   (default: ./build)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
program="$build/bin/quillmere"
out="$top/docs/images"
[ -x "$program" ] || { echo "no $program: build first (scripts/build.sh)" >&2; exit 1; }
mkdir -p "$out"

# A display number nobody uses.
display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
  display=$((display + 1))
done

Xvfb ":$display" -screen 0 1024x768x24 -dpi 96 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  [ -e "/tmp/.X11-unix/X$display" ] && break
  sleep 0.1
done

DISPLAY=":$display" QT_QPA_PLATFORM=xcb "$program" --save-screen-images "$out"
echo "saved $out/main-window.png and $out/hint-window.png"
