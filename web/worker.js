'use strict';
// Campaign mode's worker, one per run: it runs the campaign engine over a file or the pasted
// sets, reading the input in slices as the engine asks for it, and hands the page its progress,
// the output as a Blob and the engine's messages (about lines only as many as the page keeps,
// then the engine's count of the rest). The page ends it when the run is over or
// cancelled, so that the memory a large campaign took goes with it.

const kSlice = 1 << 20;           // input bytes read from the file at a time
const kStage = 16 << 20;          // output bytes gathered before they are kept as a Blob part
const kProgressEvery = 100;       // milliseconds between progress reports

const decoder = new TextDecoder();
const reader = new FileReaderSync();
let engine;
let run;

function reportProgress(force) {
  const now = performance.now();
  if (!force && now - run.reported < kProgressEvery) return;
  run.reported = now;
  postMessage({ type: 'progress', done: run.offset - (run.slice.length - run.sliceAt), total: run.source.size, written: run.written });
}

function readInput(into, size) {
  if (run.sliceAt === run.slice.length) {
    if (run.offset >= run.source.size) return 0;
    const end = Math.min(run.offset + kSlice, run.source.size);
    try {
      run.slice = new Uint8Array(reader.readAsArrayBuffer(run.source.slice(run.offset, end)));
    } catch {
      return -1;  // the file changed or went away since it was chosen
    }
    run.sliceAt = 0;
    run.offset = end;
    // A file that shrank since it was chosen ends where it now ends.
    if (run.slice.length === 0) return 0;
    // Every slice is reported, however fast the run: a large file always shows its progress.
    reportProgress(true);
  }
  const count = Math.min(size, run.slice.length - run.sliceAt);
  new Uint8Array(engine.memory.buffer, into, count).set(run.slice.subarray(run.sliceAt, run.sliceAt + count));
  run.sliceAt += count;
  reportProgress(false);
  return count;
}

// The output is gathered in one reused buffer and kept as a Blob part each time it fills: a
// copy per byte, and no allocation per flush of the engine.
function takeOutput(at, size) {
  try {
    if (run.staged + size > run.stage.length) keepStaged();
    const bytes = new Uint8Array(engine.memory.buffer, at, size);
    if (size > run.stage.length) {
      run.parts.push(new Blob([bytes]));
    } else {
      run.stage.set(bytes, run.staged);
      run.staged += size;
    }
  } catch {
    run.outOfMemory = true;
    return 0;
  }
  run.written += size;
  reportProgress(false);
  return 1;
}

function keepStaged() {
  run.parts.push(new Blob([run.stage.subarray(0, run.staged)]));
  run.staged = 0;
}

function takeMessage(at, size) {
  run.messages.push(decoder.decode(new Uint8Array(engine.memory.buffer, at, size)));
}

function start({ module, source, inputName, settings, maxMessages }) {
  engine = new WebAssembly.Instance(module, {
    env: { read_input: readInput, take_output: takeOutput, take_message: takeMessage },
  }).exports;
  engine._initialize();
  run = { source, offset: 0, slice: new Uint8Array(0), sliceAt: 0, reported: 0, written: 0,
          stage: new Uint8Array(kStage), staged: 0, parts: [], outOfMemory: false,
          messages: [] };
  const names = engineNames(engine);
  const flags = campaignFlags(names, settings.options);
  const strings = putStrings(engine, [settings.matchTypes, settings.encoding, settings.campaign, inputName]);
  const code = strings && engine.campaign(strings.bytes, strings.sizes, flags, maxMessages);
  // The result by the engine's name for it.
  const result = strings ? Object.keys(names.results).find(name => names.results[name] === code) ?? code : 'out of memory';
  try {
    keepStaged();
  } catch {
    run.outOfMemory = true;
  }
  reportProgress(true);
  postMessage({
    type: 'done',
    result: run.outOfMemory ? 'out of memory' : result,
    output: new Blob(run.parts, { type: settings.mimeType }),
    size: run.written,
    messages: run.messages,
  });
}

onmessage = event => {
  try {
    start(event.data);
  } catch (error) {
    postMessage({ type: 'failed', reason: String(error && error.message || error) });
  }
};
