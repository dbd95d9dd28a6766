#!/usr/bin/env bash
# Reload of the local file list against `ls -l` on the same directories of
# 10,000 and 100,000 files, measured in one run; prints both and the ratio.
# Usage: tools/bench/filelist_bench.sh [build directory]   (default: build)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../../build}"
cmake --build "$build" --target filelist_bench -j2 >/dev/null
out="$(mktemp)"
trap 'rm -f "$out"' EXIT
QT_QPA_PLATFORM=offscreen "$build/tools/bench/filelist_bench" --benchmark_out="$out" \
  --benchmark_out_format=json >/dev/null 2>&1
/usr/bin/python3 - "$out" <<'PY'
import json, sys
runs = {}
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    name, count = b["name"].split("/")[:2]
    runs.setdefault(int(count), {})[name] = b["real_time"]
print(f"{'files':>8} {'Reload ms':>10} {'ls -l ms':>10} {'ratio':>6}")
for count in sorted(runs):
    reload, ls = runs[count]["Reload"], runs[count]["LsLong"]
    print(f"{count:>8} {reload:>10.0f} {ls:>10.0f} {reload / ls:>6.2f}")
PY
