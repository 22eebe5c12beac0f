#!/usr/bin/env bash
# Decoding speed of the player's reader (read, unscramble, repair, decode, channel
# code, row mark) beside two ceilings on the same pictures: a bare TurboJPEG loop
# and ffmpeg. Usage: bench/decode.sh [RECORDING] (default: the 16-channel sample).
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/release/bin
recording=${1:-build/release/samples/sample16.kvx}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

rate() { sed -E 's/.*: ([0-9.]+) frames\/s.*/\1/'; }

echo "recording: $recording"
ours=$("$bin/kvxtool" bench "$recording" --mjpeg "$work/pictures.mjpeg")
echo "kvxtool bench:      $ours"
bare=$("$bin/bench_tjdecode" "$work/pictures.mjpeg")
echo "bare TurboJPEG:     $bare"
frames=$(echo "$bare" | sed -E 's/^([0-9]+) pictures.*/\1/')
ffmpeg_rate() {
  local start end
  start=$(date +%s.%N)
  ffmpeg -loglevel error -nostdin "$@" -f mjpeg -i "$work/pictures.mjpeg" -f null - 
  end=$(date +%s.%N)
  echo "$frames / ($end - $start)" | bc -l
}
ff=$(ffmpeg_rate)
ff1=$(ffmpeg_rate -threads 1)
printf 'ffmpeg:             %.1f frames/s (%.1f with one thread)\n' "$ff" "$ff1"
o=$(echo "$ours" | rate); b=$(echo "$bare" | rate)
printf 'ours / bare TurboJPEG: %.1f %%\n' "$(echo "100 * $o / $b" | bc -l)"
printf 'ours / ffmpeg:         %.2f x (%.2f x one thread)\n' "$(echo "$o / $ff" | bc -l)" "$(echo "$o / $ff1" | bc -l)"
