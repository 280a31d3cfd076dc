#!/usr/bin/env bash
# Renders the pictures a refactoring must not change, and compares two such sets pixel for
# pixel (byte for byte where ImageMagick's compare is missing): the examples and the
# default landscape at 320 x 240 on quality 2 and 3, and the POV-Ray comparison scene at
# 640 x 480 on THREADS threads and on one, with flat and with smooth terrain.
#
#   scripts/picture-identity.sh render <orvelle2> <folder>   # render the set into <folder>
#   scripts/picture-identity.sh compare <folder-a> <folder-b> # exit 1 when any picture differs
#
# The comparison scene reads its height field from the shared folder beside the repository
# (SHARED, default ../shared); without it that picture is skipped, and said so.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
THREADS="${THREADS:-2}"

render() {
  local bin="$1" out="$2"
  [[ -x "$bin" ]] || { echo "picture-identity: $bin is not an executable" >&2; exit 2; }
  mkdir -p "$out"
  local quality name
  for quality in 2 3; do
    for landscape in "$ROOT"/examples/*.json; do
      name="$(basename "$landscape" .json)"
      "$bin" "$landscape" -x320 -y240 -q"$quality" --threads "$THREADS" --quiet -o "$out/$name-q$quality.png"
    done
    "$bin" -x320 -y240 -q"$quality" --threads "$THREADS" --quiet -o "$out/default-q$quality.png"
  done
  local shared="${SHARED:-$(cd "$ROOT/.." && pwd)/shared}"
  if [[ -f "$shared/bench/terrain-1025.png" ]]; then
    # The scene names its height field relative to the repository's parent folder.
    sed "s|\"../../shared/bench/|\"$shared/bench/|" "$ROOT/bench/terrain-vs-povray.json" >"$out/terrain-vs-povray.json"
    "$bin" "$out/terrain-vs-povray.json" -x640 -y480 --threads "$THREADS" --quiet -o "$out/terrain-vs-povray.png"
    "$bin" "$out/terrain-vs-povray.json" -x640 -y480 --threads 1 --quiet -o "$out/terrain-vs-povray-1thread.png"
    sed 's|"HeightMap":|"smoothSurface": true, "HeightMap":|' "$out/terrain-vs-povray.json" >"$out/terrain-vs-povray-smooth.json"
    "$bin" "$out/terrain-vs-povray-smooth.json" -x640 -y480 --threads "$THREADS" --quiet -o "$out/terrain-vs-povray-smooth.png"
    rm "$out/terrain-vs-povray.json" "$out/terrain-vs-povray-smooth.json"
  else
    echo "picture-identity: $shared/bench/terrain-1025.png is missing; the comparison scene is skipped" >&2
  fi
}

compare() {
  local a="$1" b="$2" differ=0 count=0 recoded=0 picture
  for picture in "$a"/*.png; do
    count=$((count + 1))
    if ! cmp -s "$picture" "$b/$(basename "$picture")"; then
      # Another encoder writes other bytes for the same pixels: the picture is the same.
      if command -v compare >/dev/null &&
        [[ "$(command compare -metric AE "$picture" "$b/$(basename "$picture")" null: 2>&1)" == 0 ]]; then
        recoded=$((recoded + 1))
      else
        echo "differs: $(basename "$picture")"
        differ=1
      fi
    fi
  done
  [[ $count -gt 0 ]] || { echo "picture-identity: no pictures in $a" >&2; exit 2; }
  if [[ $differ -eq 0 ]]; then
    echo "all $count pictures identical"
    [[ $recoded -eq 0 ]] || echo "($recoded of them the same pixels in files encoded differently)"
  fi
  return $differ
}

case "${1:-}" in
  render) render "$2" "$3" ;;
  compare) compare "$2" "$3" ;;
  *) sed -n '2,10p' "${BASH_SOURCE[0]}" >&2; exit 2 ;;
esac
