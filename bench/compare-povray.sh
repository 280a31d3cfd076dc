#!/usr/bin/env bash
# Renders the shared comparison scene with POV-Ray 3.7 (../shared/bench/terrain.pov) and
# with orvelle2 (bench/terrain-vs-povray.json) at the same size on the same number of
# threads, alternating the two, and prints the median wall times, their ratio
# (orvelle2 / POV-Ray) and orvelle2's speed-up from 1 to 2 threads (from runs of its own,
# 1 and 2 threads in turn).
#
#   bench/compare-povray.sh            # 5 runs of each, 1280 x 960, 2 threads
#   RUNS=3 WIDTH=640 HEIGHT=480 bench/compare-povray.sh
#   ORVELLE2=build-other/host/orvelle2 bench/compare-povray.sh
#   SHARED=/work/shared/bench bench/compare-povray.sh   # the shared folder elsewhere
#
# Installs povray from Debian when missing and builds orvelle2 (make build) when missing.
# The two pictures are left in $OUT (default: a temporary folder) to compare by eye.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
SHARED="${SHARED:-$(cd "$ROOT/.." && pwd)/shared/bench}"
RUNS="${RUNS:-5}"
WIDTH="${WIDTH:-1280}"
HEIGHT="${HEIGHT:-960}"
THREADS="${THREADS:-2}"
ORVELLE2="${ORVELLE2:-$ROOT/build/host/orvelle2}"
OUT="${OUT:-$(mktemp -d)}"

for file in "$SHARED/terrain.pov" "$SHARED/terrain-1025.png"; do
  if [[ ! -f "$file" ]]; then
    echo "compare-povray: $file is missing (the shared folder sits beside the repository)" >&2
    exit 1
  fi
done

if ! command -v povray >/dev/null; then
  echo "Installing povray..."
  SUDO=""
  [[ "$(id -u)" -ne 0 ]] && SUDO="sudo"
  $SUDO apt-get install -y povray >/dev/null || { $SUDO apt-get update >/dev/null && $SUDO apt-get install -y povray >/dev/null; }
fi

if [[ ! -x "$ORVELLE2" ]]; then
  echo "Building orvelle2..."
  make -C "$ROOT" build >/dev/null
  ORVELLE2="$ROOT/build/host/orvelle2"
fi

mkdir -p "$OUT"
POV_LOG="$OUT/povray.log"
# The scene names its height field relative to the repository's parent folder.
LANDSCAPE="$OUT/terrain-vs-povray.json"
sed "s|\"../../shared/bench/|\"$SHARED/|" "$ROOT/bench/terrain-vs-povray.json" >"$LANDSCAPE"

# Wall and CPU time (user + system) of one command in seconds, as "wall cpu"; its output
# goes to the log, failure stops the script.
seconds() {
  local log="$1"
  shift
  local times
  if ! times=$( { TIMEFORMAT='%R %U %S'; time "$@" >"$log" 2>&1; } 2>&1); then
    echo "compare-povray: failed: $*" >&2
    tail -n 20 "$log" >&2
    exit 1
  fi
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' <<<"$times"
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

povray_run() {
  seconds "$POV_LOG" povray +I"$SHARED/terrain.pov" +L"$SHARED" +O"$OUT/povray.png" +FN \
    +W"$WIDTH" +H"$HEIGHT" -D -A +WT"$1" -P -V
}
orvelle2_run() {
  seconds "$OUT/orvelle2.log" "$ORVELLE2" "$LANDSCAPE" -x"$WIDTH" -y"$HEIGHT" -o"$OUT/orvelle2.png" --threads "$1" --quiet
}

echo "Scene: $SHARED/terrain.pov and bench/terrain-vs-povray.json, ${WIDTH} x ${HEIGHT}, $THREADS threads, $RUNS runs each"
echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //')"
echo "POV-Ray: $(povray --version 2>&1 | grep -m1 -o 'POV-Ray [0-9][0-9.]*[0-9]' || echo unknown)"

pov_wall=() pov_cpu=() our_wall=() our_cpu=() one_wall=() many_wall=()
for ((i = 1; i <= RUNS; i++)); do
  read -r wall cpu <<<"$(povray_run "$THREADS")"
  pov_wall+=("$wall") pov_cpu+=("$cpu")
  read -r wall cpu <<<"$(orvelle2_run "$THREADS")"
  our_wall+=("$wall") our_cpu+=("$cpu")
  printf 'run %d: POV-Ray %.3f s (%.3f CPU-s), orvelle2 %.3f s (%.3f CPU-s)\n' "$i" "${pov_wall[-1]}" "${pov_cpu[-1]}" \
    "${our_wall[-1]}" "${our_cpu[-1]}"
done
# The speed-up compares orvelle2 with itself, so its two figures are taken alike: 1 and
# THREADS threads in turn, away from POV-Ray (a render right after POV-Ray's is slowed by
# the system's work on what POV-Ray leaves behind, its picture's writing among it).
for ((i = 1; i <= RUNS; i++)); do
  read -r wall cpu <<<"$(orvelle2_run 1)"
  one_wall+=("$wall")
  read -r wall cpu <<<"$(orvelle2_run "$THREADS")"
  many_wall+=("$wall")
done

pov=$(median "${pov_wall[@]}")
ours=$(median "${our_wall[@]}")
single=$(median "${one_wall[@]}")
many=$(median "${many_wall[@]}")
printf 'median wall time: POV-Ray %.3f s, orvelle2 %.3f s\n' "$pov" "$ours"
printf 'median CPU time: POV-Ray %.3f s, orvelle2 %.3f s\n' "$(median "${pov_cpu[@]}")" "$(median "${our_cpu[@]}")"
printf 'ratio orvelle2 / POV-Ray (wall): %.3f (goal: 0.35 or less)\n' "$(awk -v a="$ours" -v b="$pov" 'BEGIN { print a / b }')"
printf 'ratio orvelle2 / POV-Ray (CPU): %.3f (goal: 0.45 or less)\n' \
  "$(awk -v a="$(median "${our_cpu[@]}")" -v b="$(median "${pov_cpu[@]}")" 'BEGIN { print a / b }')"
printf 'orvelle2 on 1 thread: %.3f s, on %d threads: %.3f s (in turn); speed-up: %.2f (goal: 1.9 or more)\n' "$single" \
  "$THREADS" "$many" "$(awk -v a="$single" -v b="$many" 'BEGIN { print a / b }')"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) (other work on the machine slows both renderers)"
echo "pictures: $OUT/povray.png $OUT/orvelle2.png"
