#!/usr/bin/env bash
# Builds the fuzzers with clang and runs one (the message parser unless
# named) for a bounded time on a copy of a seed folder (for the message
# parser also of the real mail Debian ships). Exit 77 (skipped) when clang
# or libFuzzer is missing.
set -euo pipefail
source_dir=$1 build_dir=$2 seed_dir=$3 seconds=${4:-20} fuzzer=${5:-eml_parser_fuzzer}
here=$(cd "$(dirname "$0")" && pwd)

clangxx=$(command -v clang++ || command -v clang++-14 || true)
if [[ -z $clangxx ]]; then echo "clang++ not found: fuzzer skipped"; exit 77; fi
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' >"$probe/p.cpp"
if ! "$clangxx" -fsanitize=fuzzer,address "$probe/p.cpp" -o "$probe/p" 2>/dev/null; then
  echo "clang cannot link libFuzzer (libclang-rt missing?): fuzzer skipped"; exit 77
fi

generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
# The sanitized build is the slow part on a loaded machine; reuse it when ccache is there.
command -v ccache >/dev/null && generator+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$here" -B "$build_dir" "${generator[@]}" -DCMAKE_CXX_COMPILER="$clangxx" \
      -DCMAKE_BUILD_TYPE= -DQUILLMERE_SOURCE_DIR="$source_dir" >/dev/null
if ! built=$(cmake --build "$build_dir" -j2 2>&1); then
  echo "$built"
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$probe" "$work"' EXIT
cp "$seed_dir"/* "$work"/
# Real and malformed mail that Debian ships with two MIME parsers, when installed.
if [[ $fuzzer == eml_parser_fuzzer ]]; then
  for real in /usr/lib/python3.11/test/test_email/data/msg_*.txt \
              /usr/share/gocode/src/github.com/jhillyerd/enmime/testdata/{mail,low-quality}/*.raw; do
    [[ -f $real ]] && cp "$real" "$work/$(basename "$(dirname "$real")")-$(basename "$real")"
  done
fi
# No leak checking: GMime keeps process-wide caches on purpose.
ASAN_OPTIONS=detect_leaks=0 "$build_dir/$fuzzer" -max_total_time="$seconds" -timeout=10 \
  -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 "$work"
