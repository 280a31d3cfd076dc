#!/usr/bin/env bash
# Runs libFuzzer targets built in a fuzz build (make fuzz), each for a given time, on a
# working corpus in the build folder that starts from the committed seeds in fuzz/corpus/.
# Usage: scripts/fuzz.sh <fuzz build folder> <seconds per target> <target>...
# Fails as soon as a target finds a crash, a leak, a timeout or undefined behaviour; the
# input that did it is left in <build>/fuzz-artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
seconds=$2
shift 2
mkdir -p "$build/fuzz-artifacts"
for target in "$@"; do
  binary="$build/fuzz/fuzz_$target"
  corpus="$build/fuzz-corpus/$target"
  mkdir -p "$corpus"
  echo "fuzz: $target for $seconds s"
  # Inputs must stay fast and small: larger ones exercise the same code for longer.
  "$binary" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2560 -max_len=65536 \
    -print_final_stats=1 -artifact_prefix="$build/fuzz-artifacts/$target-" \
    "$corpus" "fuzz/corpus/$target" 2>"$build/fuzz-$target.log" || {
    tail -n 60 "$build/fuzz-$target.log" >&2
    echo "fuzz: $target found a fault; the input is in $build/fuzz-artifacts/" >&2
    exit 1
  }
  grep -E "^stat::(number_of_executed_units|peak_rss_mb)|cov: " "$build/fuzz-$target.log" | tail -n 3
done
