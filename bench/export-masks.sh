#!/usr/bin/env bash
# The cost of privacy masks: `kvxtool export` of one camera at 720 x 480, AVI and MP4,
# without masks and with 4 moving ones (solid, pixelate and blur rectangles and a
# blurred ellipse, each crossing the picture over the recording). Each export runs
# three times; the best wall and CPU times are printed, and the masked ones as a
# share of the plain. CPU time is the steadier figure on a machine others share.
# Usage: bench/export-masks.sh [RECORDING] [CAMERA] (default: a generated 16-channel
# recording of 4 minutes, camera 3).
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/release/bin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
camera=${2:-3}
if [ -n "${1:-}" ]; then
  recording=$1
else
  recording=$work/bench16.kvx
  "$bin/kvxgen" --channels 16 --records 15360 --seconds-per-record 0.015625 \
    --start "2024-03-18 14:00:00" "$recording" > /dev/null
fi
info=$("$bin/kvxtool" info "$recording" --json)
first=$(echo "$info" | sed -E 's/.*"start":"([^"]*)".*/\1/')
last=$(echo "$info" | sed -E 's/.*"end":"([^"]*)".*/\1/')

mask() { # style shape y
  printf '{"channel": %d, "shape": "%s", "style": "%s", "from": "%s", "to": "%s", "keys": [
    {"at": "%s", "box": [0.0, %s, 0.2, 0.2]}, {"at": "%s", "box": [0.75, %s, 0.25, 0.2]}]}' \
    "$camera" "$2" "$1" "$first" "$last" "$first" "$3" "$last" "$3"
}
cat > "$work/masks.json" <<JSON
{"masks": [$(mask solid rect 0.02), $(mask pixelate rect 0.25), $(mask blur rect 0.5), $(mask blur ellipse 0.72)]}
JSON

# Prints "frames best-wall best-cpu" of three runs of one export.
run() {
  local format=$1; shift
  local best_wall=999999 best_cpu=999999 frames=0 n json
  for n in 1 2 3; do
    json=$(/usr/bin/time -f '%e %U %S' -o "$work/time" "$bin/kvxtool" export "$recording" --channel "$camera" \
           --size 720x480 --format "$format" --out "$work/out$n$format$#" --json "$@")
    read -r wall user sys < "$work/time"
    cpu=$(echo "$user + $sys" | bc -l)
    frames=$(echo "$json" | sed -E 's/.*"frames":([0-9]+).*/\1/')
    best_wall=$(echo "if ($wall < $best_wall) $wall else $best_wall" | bc -l)
    best_cpu=$(echo "if ($cpu < $best_cpu) $cpu else $best_cpu" | bc -l)
    rm -rf "$work/out$n$format$#"
  done
  echo "$frames $best_wall $best_cpu"
}

echo "recording: $recording, camera $camera, 720 x 480, best of 3 (machine load: $(cut -d' ' -f1 /proc/loadavg))"
for format in avi mp4; do
  read -r frames wall cpu < <(run "$format")
  read -r mframes mwall mcpu < <(run "$format" --masks "$work/masks.json")
  printf '%s: %d frames: plain %.2f s (%.2f s CPU), 4 moving masks %.2f s (%.2f s CPU): %+.1f %% wall, %+.1f %% CPU\n' \
    "$format" "$frames" "$wall" "$cpu" "$mwall" "$mcpu" "$(echo "100 * ($mwall - $wall) / $wall" | bc -l)" \
    "$(echo "100 * ($mcpu - $cpu) / $cpu" | bc -l)"
  [ "$frames" = "$mframes" ] || echo "$format: the masked export has $mframes frames"
done
