// Times the reference runtime (TensorFlow Lite compiled to WebAssembly, SIMD
// build with its XNNPACK CPU delegate, one thread) on the source network, and
// our converted models under ONNX Runtime (one thread) on the same photograph.
//
//   node bench/compare_reference.js [--iterations N] [--rounds R] [--models build/models]
//
// stdout: one "name mean_ms" line per figure (the best of R rounds, each the
// mean of N runs); progress goes to stderr.
'use strict';

const { execFileSync } = require('child_process');
const path = require('path');
const { loadReference, ROOT } = require(path.join(__dirname, '..', 'models', 'reference_tflite.js'));
const ort = require(path.join(ROOT, 'node_modules', 'onnxruntime-node'));

const IMAGE = '/usr/lib/python3/dist-packages/skimage/data/astronaut.png';

function arg(name, fallback) {
  const i = process.argv.indexOf(name);
  return i > 0 ? process.argv[i + 1] : fallback;
}

function decodeRGB(file, w, h) {
  return execFileSync('ffmpeg', ['-v', 'error', '-i', file, '-frames:v', '1',
    '-vf', `scale=${w}:${h}:flags=bilinear`, '-f', 'rawvideo', '-pix_fmt', 'rgb24', '-'],
  { maxBuffer: 64 << 20 });
}

function planar(rgb, w, h, scale) {
  const n = w * h;
  const x = new Float32Array(3 * n);
  for (let i = 0; i < n; i++) for (let c = 0; c < 3; c++) x[c * n + i] = rgb[i * 3 + c] * scale;
  return x;
}

// Mean milliseconds per call of fn over `iterations` calls after `warmup` calls.
async function time(fn, iterations, warmup) {
  for (let i = 0; i < warmup; i++) await fn();
  const t0 = process.hrtime.bigint();
  for (let i = 0; i < iterations; i++) await fn();
  return Number(process.hrtime.bigint() - t0) / 1e6 / iterations;
}

async function main() {
  const iterations = parseInt(arg('--iterations', '100'), 10);
  const rounds = parseInt(arg('--rounds', '5'), 10);
  const warmup = 50;
  const models = path.resolve(arg('--models', path.join(ROOT, 'build', 'models')));

  const rgb256 = decodeRGB(IMAGE, 256, 144);
  const rgb288 = decodeRGB(IMAGE, 288, 160);

  const ref = await loadReference();
  ref.setInput(Float32Array.from(rgb256, (v) => v / 255));
  const cases = [['reference_tflite_wasm_256x144', () => ref.runInPlace()]];

  const opts = { intraOpNumThreads: 1, interOpNumThreads: 1, executionMode: 'sequential',
    graphOptimizationLevel: 'all' };
  const onnx = [
    ['onnx_core_256x144', path.join(models, 'fidelity', 'core_256x144_f32.onnx'),
      planar(rgb256, 256, 144, 1 / 255), [1, 3, 144, 256]],
    ['onnx_model_144x80', path.join(models, 'model_144x80_2ch_nosig_sim_f32.tesk'),
      planar(rgb288, 288, 160, 1), [1, 3, 160, 288]],
  ];
  for (const [name, file, data, shape] of onnx) {
    const s = await ort.InferenceSession.create(file, opts);
    const feed = { [s.inputNames[0]]: new ort.Tensor('float32', data, shape) };
    const fetch = [s.outputNames[0]];
    cases.push([name, () => s.run(feed, fetch)]);
  }

  // The runtimes take turns, round after round, and each keeps its best
  // round: other load on the machine then slows both alike or neither.
  process.stderr.write(`timing the reference runtime and ONNX Runtime ${ort.env.versions.common}: ` +
                       `${rounds} rounds of ${iterations} runs each\n`);
  const best = cases.map(() => Infinity);
  for (let r = 0; r < rounds; r++) {
    for (let k = 0; k < cases.length; k++) {
      best[k] = Math.min(best[k], await time(cases[k][1], iterations, r === 0 ? warmup : 5));
    }
  }
  cases.forEach(([name], k) => process.stdout.write(`${name} ${best[k].toFixed(4)}\n`));
}

main().catch((e) => {
  process.stderr.write(`${e.stack || e}\n`);
  process.exitCode = 1;
});
