#!/bin/sh
# The forest benchmark: renders examples/forest.json (2000 trees scattered over a
# 1025 x 1025 terrain) at 1280 x 960 on 2 threads, and prints the wall time and the largest
# resident memory. Usage: bench/forest.sh [build folder] (default: build).
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
/usr/bin/time -v "$build/host/orvelle2" "$root/examples/forest.json" -o "$out/forest.png" -x 1280 -y 960 \
  --threads 2 --quiet 2> "$out/time.txt"
grep -E "Elapsed \(wall clock\)|Maximum resident set size|User time|System time" "$out/time.txt"
