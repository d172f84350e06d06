#!/usr/bin/env bash
# Compares our inference time with the reference runtime's.
#
#   bench/compare_reference.sh [iterations-per-round [rounds]]
#
# The reference is TensorFlow Lite compiled to WebAssembly (SIMD, XNNPACK, one
# thread) running the source 256x144 network in Node.js. Ours is NNXRun on
# model_144x80 (input and output resizes included), measured by the Google
# Benchmark program build/linux/bin/bench_nnx_run; the converted models are
# also timed under ONNX Runtime in Node.js, one thread. Prints the figures and
# the speed-up, and fails when ours is less than MIN_RATIO (default 2) times
# faster. Each figure is the best of several rounds, the runtimes taking turns,
# so that other load on the machine does not decide the ratio.
# Environment: BENCH_BIN (benchmark program), MIN_RATIO.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
iterations=${1:-100}
rounds=${2:-5}
bench_bin=${BENCH_BIN:-$root/build/linux/bin/bench_nnx_run}
min_ratio=${MIN_RATIO:-2}

for f in "$root/build/models/model_144x80_2ch_nosig_sim_f32.tesk" \
         "$root/build/models/fidelity/core_256x144_f32.onnx"; do
  [[ -f $f ]] || { echo "missing $f: run 'make models' first" >&2; exit 1; }
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

node "$root/bench/compare_reference.js" --iterations "$iterations" --rounds "$rounds" \
  --models "$root/build/models" >"$tmp/node.txt"

if [[ -x $bench_bin ]]; then
  echo "running $bench_bin" >&2
  "$bench_bin" --benchmark_repetitions="$rounds" --benchmark_out="$tmp/bench.json" \
    --benchmark_out_format=json >/dev/null
else
  echo "note: $bench_bin not built; NNXRun figure left out" >&2
fi

node - "$tmp/node.txt" "$tmp/bench.json" "$min_ratio" <<'EOF'
'use strict';
const fs = require('fs');
const [nodeFile, benchFile, minRatioText] = process.argv.slice(2);
const fig = {};
for (const line of fs.readFileSync(nodeFile, 'utf8').trim().split('\n')) {
  const [k, v] = line.split(/\s+/);
  fig[k] = parseFloat(v);
}
const ref = fig.reference_tflite_wasm_256x144;
const rows = [['reference: TFLite WASM SIMD, 256x144 network, 1 thread', ref]];
rows.push(['ours: ONNX Runtime (Node), core 256x144 network, 1 thread', fig.onnx_core_256x144]);
rows.push(['ours: ONNX Runtime (Node), model_144x80 with resizes, 1 thread', fig.onnx_model_144x80]);

let gated = fig.onnx_model_144x80;
if (fs.existsSync(benchFile)) {
  const toMs = { ns: 1e-6, us: 1e-3, ms: 1, s: 1e3 };
  // The best repetition, as for the figures above.
  const runs = JSON.parse(fs.readFileSync(benchFile, 'utf8')).benchmarks
    .filter((b) => b.run_type !== 'aggregate' && !b.error_occurred);
  const first = runs.find((b) => /NNXRun/i.test(b.name)) || runs[0];
  if (first) {
    const name = first.run_name || first.name;
    gated = Math.min(...runs.filter((b) => (b.run_name || b.name) === name)
      .map((b) => b.real_time * toMs[b.time_unit || 'ns']));
    rows.push([`ours: ${name} (bench_nnx_run, model_144x80)`, gated]);
  }
}

const width = Math.max(...rows.map((r) => r[0].length));
for (const [name, ms] of rows) {
  const ratio = name.startsWith('reference') ? '' : `  ${(ref / ms).toFixed(2)}x faster`;
  console.log(`${name.padEnd(width)}  ${ms.toFixed(3)} ms${ratio}`);
}
const ratio = ref / gated;
const minRatio = parseFloat(minRatioText);
console.log(`speed-up of our full model over the reference: ${ratio.toFixed(2)}x (required ${minRatio}x)`);
process.exitCode = ratio >= minRatio ? 0 : 1;
EOF
