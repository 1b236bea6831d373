'use strict';
// Campaign mode's worker, one per run: it runs the campaign engine over a file or the pasted
// sets, reading the input in slices as the engine asks for it, and hands the page its progress,
// the output as a Blob, a preview of its rows and the engine's messages (about lines only as
// many as the page keeps, then the engine's count of the rest). The page ends it when the run
// is over or cancelled, so that the memory a large campaign took goes with it.

const kSlice = 1 << 20;           // input bytes read from the file at a time
const kStage = 16 << 20;          // output bytes gathered before they are kept as a Blob part
const kProgressEvery = 100;       // milliseconds between progress reports
const kPreviewRows = 20;          // rows the preview shows, after the heading row
const kPreviewBytes = 1 << 20;    // output bytes whose rows the preview counts
const kCountedAdGroups = 1000;    // ad groups whose rows are counted each; further ones in one sum
const kLineFeed = 10;
const kComma = 44;
const kQuote = 34;

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
    if (run.preview) previewOutput(run.preview, bytes);
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

// ---- The preview of CSV rows ----
// The heading row and the first rows, split into cells, and the rows of each ad group in the
// output's first megabyte, counted as the output streams past and never kept: an ad group's
// rows follow each other, so a row that starts with the bytes of the one before's campaign and
// ad group is only counted. Counting every row of a large output would take the browser as
// long again as writing it (measured: finding the line ends of 436 MB alone took 0.9 s).
function startPreview() {
  return { partial: null, headings: null, rows: [], campaignAt: -1, adGroupAt: -1, countedBytes: 0,
           cut: false, key: null, group: null, groupRows: 0, groups: new Map(), furtherRows: 0 };
}

function previewOutput(preview, bytes) {
  if (preview.countedBytes >= kPreviewBytes) {
    preview.cut = true;
    return;
  }
  preview.countedBytes += bytes.length;
  let at = 0;
  if (preview.partial) {
    const end = bytes.indexOf(kLineFeed);
    const rest = bytes.subarray(0, end < 0 ? bytes.length : end + 1);
    const row = new Uint8Array(preview.partial.length + rest.length);
    row.set(preview.partial);
    row.set(rest, preview.partial.length);
    preview.partial = end < 0 ? row : null;
    if (end < 0) return;
    previewRow(preview, row, 0, row.length - 1);
    at = end + 1;
  }
  for (let end; (end = bytes.indexOf(kLineFeed, at)) >= 0; at = end + 1) {
    if (preview.rows.length < kPreviewRows || !startsWithKey(preview.key, bytes, at, end)) {
      previewRow(preview, bytes, at, end);
    } else {
      ++preview.groupRows;
    }
  }
  // The engine's buffer may end inside a row.
  if (at < bytes.length) preview.partial = bytes.slice(at);
}

function startsWithKey(key, bytes, at, end) {
  if (!key || end - at <= key.length || bytes[at + key.length] !== kComma) return false;
  for (let i = 0; i < key.length; ++i) if (bytes[at + i] !== key[i]) return false;
  return true;
}

// Where the first `count` fields of the row at `at` end (at the comma after them), or -1. The
// engine's cells hold no line ends, so a row is a line.
function fieldsEnd(bytes, at, end, count) {
  let quoted = false;
  for (let i = at; i < end; ++i) {
    if (bytes[i] === kQuote) quoted = !quoted;
    else if (bytes[i] === kComma && !quoted && --count === 0) return i;
  }
  return -1;
}

// A CSV row's cells, their quotes taken off.
function splitRow(text) {
  const cells = [''];
  let quoted = false;
  for (let i = 0; i < text.length; ++i) {
    if (text[i] === '"' && quoted && text[i + 1] === '"') cells[cells.length - 1] += text[++i];
    else if (text[i] === '"') quoted = !quoted;
    else if (text[i] === ',' && !quoted) cells.push('');
    else cells[cells.length - 1] += text[i];
  }
  return cells;
}

function previewRow(preview, bytes, at, end) {
  const cells = splitRow(decoder.decode(bytes.subarray(at, end)).replace(/^\uFEFF/, '').replace(/\r$/, ''));
  if (!preview.headings) {
    preview.headings = cells;
    const find = name => cells.findIndex(heading => heading.toLowerCase() === name);
    preview.campaignAt = find('campaign');
    preview.adGroupAt = find('ad group');
    return;
  }
  if (preview.rows.length < kPreviewRows) {
    preview.rows.push(cells);
    if (preview.rows.length === kPreviewRows) postMessage({ type: 'preview', headings: preview.headings, rows: preview.rows });
  }
  const campaign = cells[preview.campaignAt] || '';
  const adGroup = cells[preview.adGroupAt] || '';
  const group = JSON.stringify([campaign, adGroup]);
  if (group === preview.group) {
    ++preview.groupRows;
    return;
  }
  countGroupRows(preview);
  // A row of neither (Microsoft's Format Version) belongs to no ad group.
  const keyEnd = fieldsEnd(bytes, at, end, Math.max(preview.campaignAt, preview.adGroupAt) + 1);
  preview.key = campaign || adGroup ? bytes.slice(at, keyEnd < 0 ? at : keyEnd) : null;
  preview.group = preview.key ? group : null;
  preview.groupRows = preview.key ? 1 : 0;
}

function countGroupRows(preview) {
  if (!preview.groupRows) return;
  const counted = preview.groups.get(preview.group);
  if (counted !== undefined || preview.groups.size < kCountedAdGroups) {
    preview.groups.set(preview.group, (counted || 0) + preview.groupRows);
  } else {
    preview.furtherRows += preview.groupRows;
  }
  preview.groupRows = 0;
}

function finishPreview(preview) {
  if (!preview) return null;
  countGroupRows(preview);
  // Fewer rows than the preview shows are all the rows.
  return { headings: preview.headings || [], rows: preview.rows, allRows: preview.rows.length < kPreviewRows,
           furtherRows: preview.furtherRows, countedBytes: preview.cut ? preview.countedBytes : null,
           groups: [...preview.groups].map(([group, rows]) => [...JSON.parse(group), rows]) };
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
          messages: [], preview: settings.preview ? startPreview() : null };
  const names = engineNames(engine);
  const flags = campaignFlags(names, settings.options);
  const strings = putStrings(engine, [settings.matchTypes, settings.encoding, settings.campaign, inputName]);
  // A seed for "Each phrase only once per ad group", so that no file can be made whose phrases'
  // hashes collide and slow the run down.
  const seed = crypto.getRandomValues(new Uint32Array(1))[0];
  const code = strings && engine.campaign(strings.bytes, strings.sizes, flags, maxMessages, seed);
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
    preview: finishPreview(run.preview),
  });
}

onmessage = event => {
  try {
    start(event.data);
  } catch (error) {
    postMessage({ type: 'failed', reason: String(error && error.message || error) });
  }
};
