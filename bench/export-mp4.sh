#!/usr/bin/env bash
# MP4 export speed: `kvxtool export --format mp4` of one camera of a 16-channel
# recording at 720 x 480, beside an ffmpeg command line doing the same work on the
# same pictures (decode every picture, keep the camera's, crop the recorder's margins,
# scale, draw the camera number and the date-time outlined, libx264 at the same
# preset and CRF, MP4), one after the other. Prints frames/s of each and their ratio,
# the sizes of both MP4s against our AVI of the same pictures, and our peak memory,
# for the recording and for one four times as long (memory must not grow with the
# length). Usage: bench/export-mp4.sh [RECORDING] [CAMERA] (default: the 16-channel
# sample, camera 3).
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/release/bin
recording=${1:-build/release/samples/sample16.kvx}
camera=${2:-3}
crf=20
preset=veryfast # CMp4Writer::PRESET
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
font=/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf

# Runs our export; prints "frames wall-seconds cpu-seconds peak-KiB file".
ours() {
  local out=$1 rec=$2 format=$3 json
  json=$(/usr/bin/time -f '%e %U %S %M' -o "$work/time" "$bin/kvxtool" export "$rec" --channel "$camera" \
         --size 720x480 --format "$format" --out "$out" --json)
  read -r wall user sys rss < "$work/time"
  echo "$(echo "$json" | sed -E 's/.*"frames":([0-9]+).*/\1/') $wall $(echo "$user + $sys" | bc -l) $rss \
$(echo "$json" | sed -E 's/^\{"(avi|mp4)":"([^"]*)".*/\2/')"
}
mib() { echo "$1 / 1048576" | bc -l; }

echo "recording: $recording, camera $camera, 720 x 480, libx264 $preset CRF $crf (machine load: $(cut -d' ' -f1 /proc/loadavg))"
read -r frames seconds cpu rss mp4 < <(ours "$work/ours" "$recording" mp4)
our_rate=$(echo "$frames / $seconds" | bc -l)
printf 'kvxtool export --format mp4: %d frames in %.2f s (%.2f s of CPU): %.1f frames/s, peak memory %.1f MiB\n' \
  "$frames" "$seconds" "$cpu" "$our_rate" "$(echo "$rss / 1024" | bc -l)"
read -r _ _ _ _ avi < <(ours "$work/avi" "$recording" avi)

# The same pictures for ffmpeg: every picture of the recording as one MJPEG stream.
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
  -fps_mode passthrough -c:v libx264 -preset "$preset" -crf "$crf" -bf 0 -pix_fmt yuv420p \
  -movflags frag_keyframe+empty_moov+default_base_moof "$work/ffmpeg.mp4"
read -r ff_seconds ff_user ff_sys < "$work/fftime"
ff_cpu=$(echo "$ff_user + $ff_sys" | bc -l)
ff_frames=$(ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of csv=p=0 "$work/ffmpeg.mp4")
ff_rate=$(echo "$ff_frames / $ff_seconds" | bc -l)
printf 'ffmpeg:                      %d frames in %.2f s (%.2f s of CPU): %.1f frames/s\n' "$ff_frames" "$ff_seconds" "$ff_cpu" "$ff_rate"
printf 'ours / ffmpeg:               %.2f x the frames/s (%.2f x per second of CPU)\n' "$(echo "$our_rate / $ff_rate" | bc -l)" \
  "$(echo "($frames / $cpu) / ($ff_frames / $ff_cpu)" | bc -l)"
avi_size=$(stat -c %s "$avi"); mp4_size=$(stat -c %s "$mp4"); ff_size=$(stat -c %s "$work/ffmpeg.mp4")
printf 'sizes: our AVI %.2f MiB, our MP4 %.2f MiB (%.1f %% of the AVI), ffmpeg MP4 %.2f MiB (%.1f %%)\n' \
  "$(mib "$avi_size")" "$(mib "$mp4_size")" "$(echo "100 * $mp4_size / $avi_size" | bc -l)" \
  "$(mib "$ff_size")" "$(echo "100 * $ff_size / $avi_size" | bc -l)"

# Memory against length: the same export over a recording four times as long.
records=$(wc -l < "$work/frames.json")
"$bin/kvxgen" --channels 16 --records $((records * 4)) --seconds-per-record 0.016 \
  --start "2024-03-18 14:00:00" "$work/long.kvx" > /dev/null
read -r long_frames long_seconds _ long_rss _ < <(ours "$work/long" "$work/long.kvx" mp4)
printf 'four times as long: %d frames, %.1f frames/s, peak memory %.1f MiB (%.1f MiB above)\n' \
  "$long_frames" "$(echo "$long_frames / $long_seconds" | bc -l)" "$(echo "$long_rss / 1024" | bc -l)" \
  "$(echo "($long_rss - $rss) / 1024" | bc -l)"
