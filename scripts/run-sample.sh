#!/usr/bin/env bash
# Installs what is missing, builds, and converts the bundled sample store into ./out/.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
"$top/scripts/build.sh"
cd "$top"
if [ -x build/bin/quillmere-convert ]; then
  exec build/bin/quillmere-convert "$@"
fi
echo "Built:"; find build/bin -maxdepth 1 -type f -executable -name 'quillmere*' | sort
