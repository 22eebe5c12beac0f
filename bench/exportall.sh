#!/usr/bin/env bash
# Every camera in one pass against one camera: `kvxtool export --channel all` of a
# 16-channel recording beside `kvxtool export --channel 3` of the same recording, the
# median of three runs each, their ratio, and the one pass against exporting the
# cameras one by one. One camera decodes only the code rows of the other cameras'
# pictures; all cameras decode, scale, stamp and encode every picture.
# Usage: bench/exportall.sh [RECORDING] (default: the 16-channel sample).
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/release/bin
recording=${1:-build/release/samples/sample16.kvx}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Prints the median wall time in seconds of exporting the cameras $1.
median() {
  local times=() i start end
  for i in 1 2 3; do
    rm -rf "$work/out"
    start=$(date +%s.%N)
    "$bin/kvxtool" export "$recording" --channel "$1" --out "$work/out" > /dev/null
    end=$(date +%s.%N)
    times+=("$(echo "$end - $start" | bc -l)")
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n 2p
}

"$bin/kvxtool" frames "$recording" > /dev/null # the page cache
one=$(median 3)
all=$(median all)
frames=$(ls "$work/out"/*.avi | wc -l)
printf 'one camera:   %.2f s\n' "$one"
printf 'all cameras:  %.2f s (%d AVIs)\n' "$all" "$frames"
printf 'all / one:    %.2f x\n' "$(echo "$all / $one" | bc -l)"
printf 'all / (%d x one): %.2f x\n' "$frames" "$(echo "$all / ($frames * $one)" | bc -l)"
