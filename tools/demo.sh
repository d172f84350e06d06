#!/usr/bin/env bash
# Segments sample footage with vidra-segment (run by `make demo` after the
# Linux build): a webcam-like clip made from astronaut.png, with a pan, a
# still stretch and a zoom; a cartoon clip with sound; and photographs of
# people. Everything is written under out/demo/.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
tool=${VIDRA_SEGMENT:-$root/build/linux/bin/vidra-segment}
models=${VIDRA_MODELS:-$root/build/models}
out=$root/out/demo
astronaut=/usr/lib/python3/dist-packages/skimage/data/astronaut.png
cameraman=/usr/lib/python3/dist-packages/skimage/data/camera.png
photos=/usr/share/doc/opencv-doc/examples/data

die() { echo "demo: $*" >&2; exit 1; }

[ -x "$tool" ] || die "$tool is missing: build it first (make build-linux)"
command -v ffmpeg >/dev/null || die "ffmpeg is missing (apt-get install ffmpeg)"
[ -f "$astronaut" ] || die "$astronaut is missing (apt-get install python3-skimage)"
[ -f "$cameraman" ] || die "$cameraman is missing (apt-get install python3-skimage)"
[ -d "$models" ] || die "no model folder $models (make models)"

rm -rf "$out"
mkdir -p "$out"

# A photograph from opencv-doc; Debian may ship some of them compressed.
photo() {
    local name=$1
    if [ -f "$photos/$name" ]; then
        echo "$photos/$name"
    elif [ -f "$photos/$name.gz" ]; then
        gzip -dc "$photos/$name.gz" >"$out/$name"
        echo "$out/$name"
    else
        die "$photos/$name is missing (apt-get install opencv-doc)"
    fi
}

# The tool's messages pass through tee (kept for the closing list), so the
# progress bar is asked for when this script runs on a terminal.
progress=()
[ -t 2 ] && progress=(--progress)

segment() {
    local label=$1
    shift
    echo "== $label" >&2
    "$tool" --models "$models" "${progress[@]}" "$@" 2>&1 | tee -a "$out/summaries.txt" >&2
}

# What a webcam sees of a person at a desk: 640x480, 15 fps, 8 s. The view
# pans left and right for 3 s, holds still for 2.5 s (the keyframe test lets
# the library skip most of those frames), then zooms in on the face.
clip=$out/webcam.mp4
z="if(lt(on,82),1.25,1.25+0.4*(on-82)/37)"
u="max(0,(on-82)/37)"
cx="if(lt(on,45),640+128*sin(2*PI*on/45),640-78*$u)"
cy="480-150*$u"
echo "== making $clip" >&2
ffmpeg -v error -nostdin -y -loop 1 -framerate 15 -i "$astronaut" \
    -vf "crop=512:384:0:0,scale=1280:960,zoompan=z='$z':x='max(0,min(iw-iw/zoom,$cx-iw/zoom/2))':y='max(0,min(ih-ih/zoom,$cy-ih/zoom/2))':d=1:s=640x480:fps=15" \
    -frames:v 120 -c:v libx264 -preset veryfast -crf 18 -pix_fmt yuv420p "$clip"

: >"$out/summaries.txt"
segment "webcam clip, blurred background" "$clip" \
    -o "$out/webcam_blur.mp4" -m "$out/webcam_mask.mp4" --log "$out/webcam.log"
segment "webcam clip, background replaced by a looping video (vtest.avi)" "$clip" \
    --background "$(photo vtest.avi)" -o "$out/webcam_replaced.mp4"
segment "Megamind.avi, first 120 frames, blurred, sound passed through" "$(photo Megamind.avi)" \
    --max-frames 120 -o "$out/megamind_blur.mp4"

# Photographs of people. The model finds nobody in the whole basketball
# pictures (small figures in a wide grey frame): crops around one player are.
ffmpeg -v error -nostdin -y -i "$(photo basketball1.png)" -vf crop=320:480:0:0 "$out/player1.png"
ffmpeg -v error -nostdin -y -i "$(photo basketball1.png)" -vf crop=280:480:360:0 "$out/player2.png"
cp "$cameraman" "$out/cameraman.png"
for src in "$out/player1.png" "$out/player2.png" "$out/cameraman.png" "$(photo messi5.jpg)"; do
    name=$(basename "$src")
    stem=${name%.*}
    segment "$name" "$src" -o "$out/${stem}_blur.png" -m "$out/${stem}_mask.png"
    segment "$name, background removed" "$src" --remove -o "$out/${stem}_cutout.png"
done

# The mask with and without edge refinement, side by side with the picture.
segment "cameraman.png, refined mask" "$out/cameraman.png" --refine -m "$out/cameraman_mask_refined.png"
ffmpeg -v error -nostdin -y -i "$out/cameraman.png" -i "$out/cameraman_mask.png" \
    -i "$out/cameraman_mask_refined.png" -filter_complex "[0]format=gray[a];[a][1][2]hstack=3" \
    "$out/refine_compare.png"
rm "$out/player1.png" "$out/player2.png" "$out/cameraman.png"

echo
echo "Demo outputs in $out:"
(cd "$out" && ls -1 ./*.mp4 ./*.png ./*.log | sed 's|^\./|  |')
echo
echo "Summaries:"
grep '^summary:' "$out/summaries.txt" | sed 's/^/  /'
