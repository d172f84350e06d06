#!/bin/bash
# How many 1280x720 NV12 30 fps streams one process holds: STREAMS vidra
# elements in one pipeline (one branch and streaming thread per stream)
# against the same frames through STREAMS segmenter instances on THREADS
# threads of the C API. The footage pans over a photograph, so every frame
# is new and the network runs on each. Not a test: it prints figures.
#
#   bench/gst_streams.sh [BUILD_DIR]     (default build/linux; run `make build-linux` first)
#   STREAMS=16 FRAMES=300 THREADS=2 RUNS=3 BACKGROUND=none bench/gst_streams.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/linux}
streams=${STREAMS:-16}
frames=${FRAMES:-300}
threads=${THREADS:-2}
runs=${RUNS:-3}
background=${BACKGROUND:-none}
models=$PWD/build/models
program=$build/bin/stream_capacity
[ -x "$program" ] || { echo "no $program: build the tree first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
clip=$work/pan-1280x720.nv12
# 60 distinct frames (83 MB) of a window panning over the photo, raw NV12.
ffmpeg -v error -loop 1 -framerate 30 -i "$models/test/frames/astronaut.ppm" \
  -vf "scale=1920:1440,crop=1280:720:x='mod(n*11,640)':y='mod(n*7,720)',format=nv12" \
  -frames:v 60 -f rawvideo "$clip.part"
mv "$clip.part" "$clip"

export GST_PLUGIN_PATH=$PWD/$build/gst-plugins GST_REGISTRY=$work/registry.bin
export VIDRA_MODEL_DIR=$models
field() { sed -n "s/^$1: $2/\1/p"; }
capi_fps=() gst_fps=() capi_ms=() gst_ms=()
for ((r = 1; r <= runs; r++)); do
  out=$("$program" capi "$clip" 1280 720 "$streams" "$frames" "$threads" "$models")
  echo "$out"
  capi_fps+=("$(field capi '.* s: \([0-9.]*\) fps in all.*' <<<"$out")")
  capi_ms+=("$(field capi 'CPU .* s, \([0-9.]*\) ms per frame.*' <<<"$out")")
  out=$("$program" gst "$clip" 1280 720 "$streams" "$frames" "$background")
  echo "$out"
  gst_fps+=("$(field gst '.* s: \([0-9.]*\) fps in all.*' <<<"$out")")
  gst_ms+=("$(field gst 'CPU .* s, \([0-9.]*\) ms per frame.*' <<<"$out")")
done
# Best of the runs: the machine may be shared, and others only slow a run.
most() { printf '%s\n' "$@" | sort -g | tail -1; }
least() { printf '%s\n' "$@" | sort -g | head -1; }
awk -v c="$(most "${capi_fps[@]}")" -v g="$(most "${gst_fps[@]}")" \
    -v cm="$(least "${capi_ms[@]}")" -v gm="$(least "${gst_ms[@]}")" \
    -v n="$streams" -v cores="$(nproc)" 'BEGIN {
  printf "summary: %d streams, best of runs: C API %.1f fps, element %.1f fps in all (element at %.1f%%)\n", n, c, g, 100 * g / c
  printf "summary: CPU per frame: C API %.2f ms, element %.2f ms (element at %.1f%% of the C API rate); a 30 fps stream takes %.1f%% of a core\n", cm, gm, 100 * cm / gm, 3 * gm
  printf "summary: 30 fps streams held by this process: %d by the clock, %d by CPU time on %d cores\n", int(g / 30), int(cores * 1000 / gm / 30), cores
}'
