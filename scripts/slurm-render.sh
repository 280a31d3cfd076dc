#!/usr/bin/env bash
# Renders one picture as N bands of rows on a Slurm cluster, then merges them into the
# picture (the same picture, byte for byte, as one orvelle2 process would write):
#
#   scripts/slurm-render.sh LANDSCAPE -x W -y H -q Q --bands N -o PICTURE
#                           [--partition P] [--cpus-per-task C] [--wait] [--only-missing]
#                           [--orvelle2 PATH]
#
# Band files, logs and the job scripts go to PICTURE.bands/ beside the picture; the picture,
# the landscape and orvelle2 must be on a file system every node sees. The bands run as one
# job array; the merge is a job that starts only when every band succeeded
# (--dependency=afterok). --only-missing submits only the bands whose file is missing (after
# a failure), then the merge. --wait waits for the merge and says what went wrong, if anything.
set -euo pipefail

usage() {
  sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

landscape="" width="" height="" quality="" bands="" picture="" partition="" cpus="" wait=0 only_missing=0
orvelle2=${ORVELLE2:-}
while [ $# -gt 0 ]; do
  case "$1" in
    -x) width=$2; shift 2 ;;
    -y) height=$2; shift 2 ;;
    -q) quality=$2; shift 2 ;;
    -o) picture=$2; shift 2 ;;
    --bands) bands=$2; shift 2 ;;
    --partition) partition=$2; shift 2 ;;
    --cpus-per-task) cpus=$2; shift 2 ;;
    --orvelle2) orvelle2=$2; shift 2 ;;
    --wait) wait=1; shift ;;
    --only-missing) only_missing=1; shift ;;
    -h|--help) usage ;;
    -*) echo "slurm-render: unknown option $1" >&2; usage ;;
    *) [ -z "$landscape" ] || { echo "slurm-render: one landscape only" >&2; usage; }; landscape=$1; shift ;;
  esac
done
number() { [[ "$2" =~ ^[0-9]+$ ]] && [ "$2" -ge 1 ] || { echo "slurm-render: $1 needs a positive number, got '$2'" >&2; exit 2; }; }
[ -n "$landscape" ] && [ -n "$picture" ] || usage
number -x "$width"; number -y "$height"; number --bands "$bands"
[[ "$quality" =~ ^[0-4]$ ]] || { echo "slurm-render: -q needs 0 to 4, got '$quality'" >&2; exit 2; }
[ "$bands" -le "$height" ] || { echo "slurm-render: more bands ($bands) than rows ($height)" >&2; exit 2; }
if [ -z "$orvelle2" ]; then
  orvelle2=$(command -v orvelle2 || true)
  [ -n "$orvelle2" ] || orvelle2="$(cd "$(dirname "$0")/.." && pwd)/build/host/orvelle2"
fi
[ -x "$orvelle2" ] || { echo "slurm-render: no orvelle2 at $orvelle2 (use --orvelle2 PATH)" >&2; exit 2; }
orvelle2=$(realpath "$orvelle2")
landscape_file=$landscape
[ -e "$landscape_file" ] || landscape_file=$landscape.json
[ -e "$landscape_file" ] || { echo "slurm-render: $landscape: no such landscape (tried $landscape, $landscape.json)" >&2; exit 2; }
landscape_file=$(realpath "$landscape_file")
picture=$(realpath -m "$picture")
dir=$picture.bands
mkdir -p "$dir" "$(dirname "$picture")"

q() { printf '%q' "$1"; }
cat > "$dir/band.sh" <<SCRIPT
#!/bin/bash
# Band \$SLURM_ARRAY_TASK_ID of $bands: rows first..first+count-1 of $height.
i=\$SLURM_ARRAY_TASK_ID
first=\$(( i * $height / $bands ))
count=\$(( (i + 1) * $height / $bands - first ))
exec $(q "$orvelle2") $(q "$landscape_file") -x $width -y $height -q $quality --quiet \
  \${SLURM_CPUS_PER_TASK:+--threads \$SLURM_CPUS_PER_TASK} --rows \$first:\$count -o $(q "$dir")/band-\$i.band
SCRIPT
merge_inputs=""
for ((i = 0; i < bands; i++)); do merge_inputs+=" $(q "$dir/band-$i.band")"; done
cat > "$dir/merge.sh" <<SCRIPT
#!/bin/bash
exec $(q "$orvelle2") --merge$merge_inputs -o $(q "$picture")
SCRIPT
chmod +x "$dir/band.sh" "$dir/merge.sh"

options=()
[ -z "$partition" ] || options+=(--partition="$partition")
todo=()
for ((i = 0; i < bands; i++)); do
  if [ "$only_missing" -eq 0 ] || [ ! -e "$dir/band-$i.band" ]; then
    todo+=("$i")
    rm -f "$dir/band-$i.band"
  fi
done
dependency=()
if [ ${#todo[@]} -gt 0 ]; then
  band_options=("${options[@]}")
  [ -z "$cpus" ] || band_options+=(--cpus-per-task="$cpus")
  array=$(IFS=,; echo "${todo[*]}")
  band_job=$(sbatch --parsable --job-name=band --array="$array" --output="$dir/band-%a.log" "${band_options[@]}" \
    "$dir/band.sh")
  band_job=${band_job%%;*}
  echo "slurm-render: bands ${array} submitted as job $band_job"
  dependency=(--dependency=afterok:"$band_job" --kill-on-invalid-dep=yes)
fi
merge_options=("${options[@]}" "${dependency[@]}")
[ "$wait" -eq 0 ] || merge_options+=(--wait)
status=0
merge_job=$(sbatch --parsable --job-name=merge --output="$dir/merge.log" "${merge_options[@]}" "$dir/merge.sh") ||
  status=$?
echo "slurm-render: merge submitted as job ${merge_job%%;*}${dependency:+ (after the bands)}"
[ "$wait" -eq 1 ] || exit 0

if [ "$status" -eq 0 ] && [ -e "$picture" ]; then
  echo "slurm-render: $picture written"
  exit 0
fi
missing=0
for ((i = 0; i < bands; i++)); do
  if [ ! -e "$dir/band-$i.band" ]; then
    echo "slurm-render: band $i failed or did not run; see $dir/band-$i.log" >&2
    missing=1
  fi
done
if [ "$missing" -eq 1 ]; then
  echo "slurm-render: the merge did not run; re-submit the missing bands with --only-missing" >&2
else
  echo "slurm-render: the merge failed; see $dir/merge.log" >&2
fi
exit 1
