#!/usr/bin/env bash
# What a soft sun costs: renders a landscape at quality 2 and 3, once as it is (its lights'
# Softness as written) and once with every light hard (Softness 0), alternating them, and
# prints the median wall and CPU times and the soft / hard and quality 3 / quality 2 ratios.
#
#   bench/soft-shadows.sh                              # examples/valley.json, 320 x 240, 1 thread, 3 runs
#   LANDSCAPE=examples/forest.json RUNS=5 THREADS=2 bench/soft-shadows.sh
#   ORVELLE2=build-other/host/orvelle2 bench/soft-shadows.sh
#
# The pictures are left in $OUT (default: a temporary folder) to compare by eye.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
LANDSCAPE="${LANDSCAPE:-$ROOT/examples/valley.json}"
RUNS="${RUNS:-3}"
WIDTH="${WIDTH:-320}"
HEIGHT="${HEIGHT:-240}"
THREADS="${THREADS:-1}"
ORVELLE2="${ORVELLE2:-$ROOT/build/host/orvelle2}"
OUT="${OUT:-$(mktemp -d)}"

[[ -x "$ORVELLE2" ]] || { echo "soft-shadows: $ORVELLE2 is not built (make build)" >&2; exit 1; }
[[ -f "$LANDSCAPE" ]] || { echo "soft-shadows: $LANDSCAPE is missing" >&2; exit 1; }
grep -q '"Softness"' "$LANDSCAPE" || { echo "soft-shadows: no light of $LANDSCAPE has a Softness" >&2; exit 1; }

# The hard copy sits beside the landscape, so that the files it names are found.
mkdir -p "$OUT"
HARD="$(mktemp "$(dirname "$LANDSCAPE")/.soft-shadows-hard-XXXXXX.json")"
trap 'rm -f "$HARD"' EXIT
sed -E 's/"Softness"[[:space:]]*:[[:space:]]*[-+0-9.eE]+/"Softness": 0/g' "$LANDSCAPE" >"$HARD"

# Wall and CPU time (user + system) of one render in seconds, as "wall cpu".
seconds() {
  local times
  if ! times=$( { TIMEFORMAT='%R %U %S'; time "$ORVELLE2" "$@" --quiet >/dev/null 2>"$OUT/orvelle2.log"; } 2>&1); then
    echo "soft-shadows: failed: $ORVELLE2 $*" >&2
    tail -n 20 "$OUT/orvelle2.log" >&2
    exit 1
  fi
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' <<<"$times"
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "Landscape: $LANDSCAPE, ${WIDTH} x ${HEIGHT}, $THREADS threads, $RUNS runs each"
declare -A wall cpu
for ((i = 1; i <= RUNS; i++)); do
  for quality in 2 3; do
    for kind in soft hard; do
      file="$LANDSCAPE"
      [[ $kind == hard ]] && file="$HARD"
      read -r w c <<<"$(seconds "$file" -x"$WIDTH" -y"$HEIGHT" -q"$quality" --threads "$THREADS" \
        -o "$OUT/$kind-q$quality.png")"
      wall[$kind$quality]+="$w " cpu[$kind$quality]+="$c "
    done
  done
done
for quality in 2 3; do
  for kind in soft hard; do
    # shellcheck disable=SC2086
    printf 'q%d %s: median wall %.3f s, CPU %.3f s\n' "$quality" "$kind" "$(median ${wall[$kind$quality]})" \
      "$(median ${cpu[$kind$quality]})"
  done
done
ratio() {
  # shellcheck disable=SC2086
  awk -v a="$(median ${cpu[$1]})" -v b="$(median ${cpu[$2]})" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'
}
echo "CPU soft / hard: q2 $(ratio soft2 hard2), q3 $(ratio soft3 hard3); q3 / q2: soft $(ratio soft3 soft2), hard $(ratio hard3 hard2)"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "pictures: $OUT"
