#!/usr/bin/env bash
# Export speed: `kvxtool export` of one camera of a 16-channel recording at 720 x 480,
# beside an ffmpeg pipeline doing the same work on the same pictures (decode every
# picture, keep the camera's, crop the recorder's margins, scale, draw the camera
# number and the date-time outlined, encode Motion-JPEG, write an AVI), one after the
# other. Prints frames/s of each, their ratio, and our peak memory, for the
# recording and for one four times as long (memory must not grow with the length).
# Usage: bench/export.sh [RECORDING] [CAMERA] (default: the 16-channel sample, camera 3).
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/release/bin
recording=${1:-build/release/samples/sample16.kvx}
camera=${2:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
font=/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf

# Runs our export; prints "frames wall-seconds cpu-seconds peak-KiB".
ours() {
  local out=$1 rec=$2 json
  json=$(/usr/bin/time -f '%e %U %S %M' -o "$work/time" "$bin/kvxtool" export "$rec" --channel "$camera" \
         --size 720x480 --out "$out" --json)
  read -r wall user sys rss < "$work/time"
  echo "$(echo "$json" | sed -E 's/.*"frames":([0-9]+).*/\1/') $wall $(echo "$user + $sys" | bc -l) $rss"
}

echo "recording: $recording, camera $camera, 720 x 480 (machine load: $(cut -d' ' -f1 /proc/loadavg))"
read -r frames seconds cpu rss < <(ours "$work/ours" "$recording")
our_rate=$(echo "$frames / $seconds" | bc -l)
printf 'kvxtool export: %d frames in %.2f s (%.2f s of CPU): %.1f frames/s, peak memory %.1f MiB\n' \
  "$frames" "$seconds" "$cpu" "$our_rate" "$(echo "$rss / 1024" | bc -l)"

# The same pictures for ffmpeg: every picture of the recording as one MJPEG stream.
# The recorder's channels come in turn, so the camera's pictures are every 16th,
# from the first one whose bar code names it.
"$bin/kvxtool" bench "$recording" --mjpeg "$work/pictures.mjpeg" > /dev/null
"$bin/kvxtool" frames "$recording" --json > "$work/frames.json"
nth=$(grep -o '"channel":[0-9]*' "$work/frames.json" | awk -F: -v ch=$((camera - 1)) '$2 == ch && !found { print NR - 1; found = 1 }')
geometry=$(ffprobe -v error -f mjpeg -i "$work/pictures.mjpeg" -show_entries stream=width,height -of csv=p=0)
width=${geometry%,*}
height=${geometry#*,}
/usr/bin/time -f '%e %U %S' -o "$work/fftime" ffmpeg -loglevel error -nostdin -f mjpeg -i "$work/pictures.mjpeg" \
  -vf "select='eq(mod(n\,16)\,$nth)',crop=$((width - 18)):$((height - 14)):7:14,scale=720:480:flags=bilinear,\
drawtext=fontfile=$font:fontsize=18:fontcolor=white:borderw=1:bordercolor=black:x=20:y=h-25:text='%{eif\:n+1\:d\:2}',\
drawtext=fontfile=$font:fontsize=18:fontcolor=white:borderw=1:bordercolor=black:x=w-180:y=h-25:text='2024/03/18 14\:00\:00'" \
  -fps_mode passthrough -c:v mjpeg -q:v 4 "$work/ffmpeg.avi"
read -r ff_seconds ff_user ff_sys < "$work/fftime"
ff_cpu=$(echo "$ff_user + $ff_sys" | bc -l)
ff_frames=$(ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of csv=p=0 "$work/ffmpeg.avi")
ff_rate=$(echo "$ff_frames / $ff_seconds" | bc -l)
printf 'ffmpeg:         %d frames in %.2f s (%.2f s of CPU): %.1f frames/s\n' "$ff_frames" "$ff_seconds" "$ff_cpu" "$ff_rate"
printf 'ours / ffmpeg:  %.2f x the frames/s (%.2f x per second of CPU)\n' "$(echo "$our_rate / $ff_rate" | bc -l)" \
  "$(echo "($frames / $cpu) / ($ff_frames / $ff_cpu)" | bc -l)"

# Memory against length: the same recorder over a recording four times as long.
records=$(wc -l < "$work/frames.json")
"$bin/kvxgen" --channels 16 --records $((records * 4)) --seconds-per-record 0.016 \
  --start "2024-03-18 14:00:00" "$work/long.kvx" > /dev/null
read -r long_frames long_seconds long_cpu long_rss < <(ours "$work/long" "$work/long.kvx")
printf 'four times as long: %d frames, %.1f frames/s, peak memory %.1f MiB (%.1f MiB above)\n' \
  "$long_frames" "$(echo "$long_frames / $long_seconds" | bc -l)" "$(echo "$long_rss / 1024" | bc -l)" \
  "$(echo "($long_rss - $rss) / 1024" | bc -l)"
