// Checks the converted segmentation models against the source network.
//
//   node tests/models/fidelity.js [--models build/models]
//
// 1. Fidelity: the core ONNX model and the original .tflite, run by TensorFlow
//    Lite (WebAssembly build), get the same real photographs at 256x144; their
//    person probabilities must agree within 1e-3 (max abs diff).
// 2. Wrappers: the two .tesk models take 288x160 raw RGB bytes. Their outputs
//    must match the core model's logit computed here by an independent
//    bilinear resize of the input and of the logit.
'use strict';

const { execFileSync } = require('child_process');
const fs = require('fs');
const path = require('path');
const { loadReference, ROOT } = require(path.join(__dirname, '..', '..', 'models', 'reference_tflite.js'));
const ort = require(path.join(ROOT, 'node_modules', 'onnxruntime-node'));

const IMAGES = [
  '/usr/lib/python3/dist-packages/skimage/data/astronaut.png',
  '/usr/share/doc/opencv-doc/examples/data/messi5.jpg',
  '/usr/share/doc/opencv-doc/examples/data/basketball1.png',
  '/usr/share/doc/opencv-doc/examples/data/vtest.avi', // first frame: small walking figures
];
const FIDELITY_TOL = 1e-3;

let passed = 0;
let failed = 0;
function check(ok, what) {
  if (ok) passed++; else failed++;
  process.stderr.write(`${ok ? 'ok  ' : 'FAIL'} ${what}\n`);
}

// Decodes the first frame of an image or video into packed RGB bytes at w x h.
function decodeRGB(file, w, h) {
  const out = execFileSync('ffmpeg', ['-v', 'error', '-i', file, '-frames:v', '1',
    '-vf', `scale=${w}:${h}:flags=bilinear`, '-f', 'rawvideo', '-pix_fmt', 'rgb24', '-'],
  { maxBuffer: 64 << 20 });
  if (out.length !== w * h * 3) throw new Error(`${file}: decoded ${out.length} bytes, expected ${w * h * 3}`);
  return out;
}

function toNHWC(rgb, scale) {
  const x = new Float32Array(rgb.length);
  for (let i = 0; i < rgb.length; i++) x[i] = rgb[i] * scale;
  return x;
}

function toNCHW(rgb, w, h, scale) {
  const n = w * h;
  const x = new Float32Array(3 * n);
  for (let i = 0; i < n; i++) for (let c = 0; c < 3; c++) x[c * n + i] = rgb[i * 3 + c] * scale;
  return x;
}

// Bilinear resize of planar data, sample positions at pixel centres, edges
// clamped: (d + 0.5) * in / out - 0.5.
function resizePlanes(src, planes, sw, sh, dw, dh) {
  const dst = new Float32Array(planes * dw * dh);
  const axis = (din, dout) => {
    const i0 = new Int32Array(dout), i1 = new Int32Array(dout), f = new Float64Array(dout);
    for (let d = 0; d < dout; d++) {
      let s = (d + 0.5) * din / dout - 0.5;
      if (s < 0) s = 0;
      if (s > din - 1) s = din - 1;
      i0[d] = Math.floor(s);
      i1[d] = Math.min(i0[d] + 1, din - 1);
      f[d] = s - i0[d];
    }
    return { i0, i1, f };
  };
  const ax = axis(sw, dw), ay = axis(sh, dh);
  for (let p = 0; p < planes; p++) {
    const s = src.subarray(p * sw * sh);
    for (let y = 0; y < dh; y++) {
      const r0 = ay.i0[y] * sw, r1 = ay.i1[y] * sw, fy = ay.f[y];
      for (let x = 0; x < dw; x++) {
        const fx = ax.f[x];
        const top = s[r0 + ax.i0[x]] * (1 - fx) + s[r0 + ax.i1[x]] * fx;
        const bot = s[r1 + ax.i0[x]] * (1 - fx) + s[r1 + ax.i1[x]] * fx;
        dst[p * dw * dh + y * dw + x] = top * (1 - fy) + bot * fy;
      }
    }
  }
  return dst;
}

const sigmoid = (z) => 1 / (1 + Math.exp(-z));

function maxAbsDiff(a, b, fa = (v) => v, fb = (v) => v) {
  if (a.length !== b.length) return Infinity;
  let m = 0;
  for (let i = 0; i < a.length; i++) m = Math.max(m, Math.abs(fa(a[i]) - fb(b[i])));
  return m;
}

async function session(file) {
  if (!fs.existsSync(file)) throw new Error(`${file} is missing: run 'make models' first`);
  return ort.InferenceSession.create(file, { intraOpNumThreads: 1, interOpNumThreads: 1 });
}

function expectIO(sess, file, inShape, outShapes) {
  const ins = sess.inputNames, outs = sess.outputNames;
  check(ins.length === 1 && outs.length === outShapes.length,
    `${path.basename(file)}: ${ins.length} input(s), ${outs.length} output(s)`);
  const meta = (list, name) => list.find((m) => m.name === name) || list[0];
  const im = meta(sess.inputMetadata, ins[0]);
  check(im.type === 'float32' && JSON.stringify(im.shape) === JSON.stringify(inShape),
    `${path.basename(file)}: input ${im.type} [${im.shape}]`);
  outs.forEach((n, i) => {
    const om = meta(sess.outputMetadata, n);
    check(om.type === 'float32' && JSON.stringify(om.shape) === JSON.stringify(outShapes[i]),
      `${path.basename(file)}: output ${n} ${om.type} [${om.shape}]`);
  });
}

async function main() {
  const argi = process.argv.indexOf('--models');
  const dir = argi > 0 ? path.resolve(process.argv[argi + 1]) : path.join(ROOT, 'build', 'models');
  const coreFile = path.join(dir, 'fidelity', 'core_256x144_f32.onnx');
  const file144 = path.join(dir, 'model_144x80_2ch_nosig_sim_f32.tesk');
  const file640 = path.join(dir, 'model_640x480_9x9up_sim_f32.tesk');

  const ref = await loadReference();
  check(ref.width === 256 && ref.height === 144 && ref.channels === 3 && ref.outChannels === 1,
    `reference network is 256x144x3 -> 1 (got ${ref.width}x${ref.height}x${ref.channels} -> ${ref.outChannels})`);
  const core = await session(coreFile);
  const m144 = await session(file144);
  const m640 = await session(file640);
  expectIO(core, coreFile, [1, 3, 144, 256], [[1, 1, 144, 256], [1, 1, 144, 256]]);
  expectIO(m144, file144, [1, 3, 160, 288], [[1, 2, 80, 144]]);
  expectIO(m640, file640, [1, 3, 160, 288], [[1, 1, 480, 640]]);

  const runCore = async (nchw) => {
    const r = await core.run({ input: new ort.Tensor('float32', nchw, [1, 3, 144, 256]) });
    return { prob: r.output.data, logit: r.logit.data };
  };

  const fractions = [];
  for (const file of IMAGES) {
    const name = path.basename(file);
    if (!fs.existsSync(file)) { check(false, `${name}: test image missing (${file})`); continue; }

    // Fidelity at the network's own resolution.
    const rgb = decodeRGB(file, 256, 144);
    const want = ref.run(toNHWC(rgb, 1 / 255));
    const got = await runCore(toNCHW(rgb, 256, 144, 1 / 255));
    const diff = maxAbsDiff(got.prob, want);
    let person = 0;
    for (const p of want) if (p > 0.5) person++;
    const frac = person / want.length;
    fractions.push(frac);
    check(diff <= FIDELITY_TOL, `${name}: max |onnx - tflite| = ${diff.toExponential(2)} (limit ${FIDELITY_TOL})`);
    process.stdout.write(`fidelity ${name} max_abs_diff ${diff.toExponential(3)} person_fraction ${frac.toFixed(4)}\n`);

    // Wrapped models on 288x160 bytes, checked against the core model's logit.
    const rgb288 = decodeRGB(file, 288, 160);
    const bytes = toNCHW(rgb288, 288, 160, 1);
    const resized = resizePlanes(toNCHW(rgb288, 288, 160, 1 / 255), 3, 288, 160, 256, 144);
    const { logit } = await runCore(resized);
    const feed = { input: new ort.Tensor('float32', bytes, [1, 3, 160, 288]) };

    const out144 = (await m144.run(feed))[m144.outputNames[0]].data;
    const bg = out144.subarray(0, 80 * 144), fg = out144.subarray(80 * 144);
    const wantFg = resizePlanes(logit, 1, 256, 144, 144, 80);
    // Logits reach the hundreds; compare them relative to their size.
    let dFg = 0;
    for (let i = 0; i < fg.length; i++) dFg = Math.max(dFg, Math.abs(fg[i] - wantFg[i]) / Math.max(1, Math.abs(wantFg[i])));
    check(dFg <= 1e-3, `${name}: 144x80 person logit vs core logit resized: relative ${dFg.toExponential(2)}`);
    check(maxAbsDiff(bg, fg, (v) => v, (v) => -v) <= 1e-5, `${name}: 144x80 plane 0 is minus plane 1`);
    const dP144 = maxAbsDiff(fg, wantFg, sigmoid, sigmoid);
    check(dP144 <= 1e-3, `${name}: 144x80 sigmoid(plane 1) vs core: ${dP144.toExponential(2)}`);

    const out640 = (await m640.run(feed))[m640.outputNames[0]].data;
    const want640 = resizePlanes(logit, 1, 256, 144, 640, 480);
    const dP640 = maxAbsDiff(out640, want640, (v) => v, sigmoid);
    check(dP640 <= 1e-3, `${name}: 640x480 probability vs core logit upsampled: ${dP640.toExponential(2)}`);
  }

  // Guard against a vacuous comparison: the photographs must give the
  // reference clear person regions, not an all-background map.
  const withPerson = fractions.filter((f) => f > 0.05 && f < 0.95).length;
  check(withPerson >= 2, `${withPerson} images with 5-95% person pixels in the reference output`);

  process.stdout.write(`${passed} passed, ${failed} failed\n`);
  process.exitCode = failed === 0 ? 0 : 1;
}

main().catch((e) => {
  process.stderr.write(`${e.stack || e}\n`);
  // Guard against a vacuous comparison: the photographs must give the
  // reference clear person regions, not an all-background map.
  const withPerson = fractions.filter((f) => f > 0.05 && f < 0.95).length;
  check(withPerson >= 2, `${withPerson} images with 5-95% person pixels in the reference output`);

  process.stdout.write(`${passed} passed, ${failed + 1} failed\n`);
  process.exitCode = 1;
});
