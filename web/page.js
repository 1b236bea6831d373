'use strict';
// The page: the window's twin and its preview on the engine's builder, here on the page's own
// thread (a press must reach the clipboard while the click still counts as the user's), and
// campaign mode in a worker, so that a file of any size leaves the page responsive.
(() => {
const $ = id => document.getElementById(id);
const decoder = new TextDecoder();

// The engine, inlined gzipped and as base64 by web/assemble.js; compiled once, for the page and
// the worker.
const engineModule = (async () => {
  const gzipped = new Blob([Uint8Array.from(atob($('engine').textContent), c => c.charCodeAt(0))]);
  const bytes = await new Response(gzipped.stream().pipeThrough(new DecompressionStream('gzip'))).arrayBuffer();
  return WebAssembly.compile(bytes);
})();
const builder = engineModule.then(async module => {
  // The campaign engine's callbacks belong to the worker; the page never calls it.
  const env = {};
  for (const entry of WebAssembly.Module.imports(module)) env[entry.name] = () => { throw new Error('campaign call on the page'); };
  const instance = await WebAssembly.instantiate(module, { env });
  instance.exports._initialize();
  performance.mark('varnholt-ready');
  return instance.exports;
});

// What a browser that cannot run the engine is told, wherever the engine is needed.
const kNoEngine = 'This browser cannot run Varnholt (it needs WebAssembly with SIMD and DecompressionStream). ' +
  'Open the page in a current Chrome, Edge, Firefox or Safari.';

// The window's text for these keywords: lines joined by CR LF, none after the last; null when
// the engine cannot have the memory for it.
function permutationText(engine, words, brackets, subsets) {
  const keywords = putStrings(engine, words);
  if (!keywords) return null;
  const length = engine.permutations(keywords.bytes, keywords.sizes, brackets ? 1 : 0, subsets ? 1 : 0);
  engine.release(keywords.sizes);
  if (length < 0) return null;
  try {
    return decoder.decode(new Uint8Array(engine.memory.buffer, engine.permutations_text(), length));
  } catch {
    return null;  // longer than a string of the browser's can be
  }
}

// The engine's rules for these keywords: how many count, which required one is missing (0 for
// none, else its number) and how many lines they give; null when the engine has no memory.
function keywordSet(engine, words, subsets) {
  const keywords = putStrings(engine, words);
  const out = keywords && engine.allocate(12);
  if (out) engine.keyword_set(keywords.bytes, keywords.sizes, subsets ? 1 : 0, out);
  const [counted, missing, lines] = out ? new Uint32Array(engine.memory.buffer, out, 3) : [];
  if (keywords) engine.release(keywords.sizes);
  if (!out) return null;
  engine.release(out);
  return { counted, missing, lines };
}

// ---- The window's twin ----------------------------------------------------------------------
const keywordFields = [1, 2, 3, 4].map(n => $('keyword' + n));
const twinMessage = $('twin-message');

const keywords = () => keywordFields.map(field => field.value);
const bracketsChosen = () => $('brackets').checked;

function say(element, text, isError) {
  element.classList.toggle('error', Boolean(isError));
  // Emptied first, so that the same message said twice is announced twice.
  element.textContent = '';
  requestAnimationFrame(() => { element.textContent = text; });
}

// The window's texts for a missing keyword, by its number.
const kMissingKeywordTexts = {
  1: 'Need to enter Keyword 1.  Try again.',
  2: 'Need at least two keywords. Enter Keyword 2.',
};

function missingKeyword(number) {
  say(twinMessage, kMissingKeywordTexts[number], true);
  keywordFields[number - 1].setAttribute('aria-invalid', 'true');
  keywordFields[number - 1].focus();
}

const kNoMemory = 'There is not enough memory for so much text. Try shorter keywords.';

async function press() {
  $('copy-fallback').hidden = true;
  const words = keywords();
  let engine;
  try {
    engine = await builder;
  } catch {
    return say(twinMessage, kNoEngine, true);
  }
  const set = keywordSet(engine, words, false);
  if (!set) return say(twinMessage, kNoMemory, true);
  if (set.missing) return missingKeyword(set.missing);
  const text = permutationText(engine, words, bracketsChosen(), $('subsets').checked);
  if (text === null) return say(twinMessage, kNoMemory, true);
  if (await copyToClipboard(text)) return say(twinMessage, 'The text is in the clipboard (ready for pasting).');
  const copy = $('copy-text');
  copy.value = text;
  $('copy-fallback').hidden = false;
  say(twinMessage, 'The browser did not let this page use the clipboard. The text is below, selected: copy it with Ctrl+C (⌘C on a Mac).', true);
  copy.focus();
  copy.select();
}

async function copyToClipboard(text) {
  try {
    await navigator.clipboard.writeText(text);
    return true;
  } catch {
    // Older browsers, and pages not counted as secure, still copy through a copy event, which
    // takes the text exactly (a text field's selection would turn CR LF into LF).
    let copied = false;
    const put = event => {
      event.clipboardData.setData('text/plain', text);
      event.preventDefault();
      copied = true;
    };
    document.addEventListener('copy', put);
    try {
      copied = document.execCommand('copy') && copied;
    } catch {
      copied = false;
    }
    document.removeEventListener('copy', put);
    return copied;
  }
}

$('twin').addEventListener('submit', event => {
  event.preventDefault();
  press();
});
for (const field of keywordFields) field.addEventListener('input', () => field.removeAttribute('aria-invalid'));

// ---- Preview --------------------------------------------------------------------------------
// Google Ads' limits for one keyword, as the campaign engine checks them: the most characters
// and words, and the characters it does not accept.
function keywordLimits(engine) {
  const at = engine.allocate(12);
  const refused = engine.keyword_limits(at);
  const [characters, words, refusedSize] = new Uint32Array(engine.memory.buffer, at, 3);
  engine.release(at);
  return { characters, words, refused: decoder.decode(new Uint8Array(engine.memory.buffer, refused, refusedSize)) };
}

// Why Google Ads would not take this phrase as a keyword, as the engine judges it; empty when
// it would.
function limitReasons(engine, limits, phrase) {
  const packed = putStrings(engine, [phrase]);
  const out = packed && engine.allocate(20);
  if (out) engine.phrase_verdict(packed.bytes, packed.sizes, out);
  const [characters, words, tooManyCharacters, tooManyWords, refusedBits] =
    out ? new Uint32Array(engine.memory.buffer, out, 5) : [];
  if (packed) engine.release(packed.sizes);
  if (!out) return '';
  engine.release(out);
  const over = [];
  if (tooManyCharacters) over.push(`${characters} characters, more than ${limits.characters}`);
  if (tooManyWords) over.push(`${words} words, more than ${limits.words}`);
  const refused = [...limits.refused].filter((character, c) => refusedBits >> c & 1);
  return [over.length ? 'Over Google Ads’ limits: ' + over.join('; ') : '',
          refused.length ? 'Characters Google Ads does not accept in keywords: ' + refused.join(' ') : '',
  ].filter(Boolean).join('. ');
}

const kMaxShownText = 4 << 20;

let previewPending = false;
function schedulePreview() {
  if (previewPending) return;
  previewPending = true;
  requestAnimationFrame(() => {
    previewPending = false;
    builder.then(renderPreview, () => { $('preview-summary').textContent = kNoEngine; });
  });
}

function renderPreview(engine) {
  const words = keywords();
  const list = $('preview-lines');
  const summary = $('preview-summary');
  list.replaceChildren();
  const set = keywordSet(engine, words, $('subsets').checked);
  if (set && set.missing) {
    summary.textContent = 'Type keywords 1 and 2 to see the lines.';
    return;
  }
  // Past a few megabytes the lines are counted, not shown: the press still copies them all.
  const size = set && words.slice(0, set.counted).reduce((sum, word) => sum + word.length, 0) * set.lines;
  if (size > kMaxShownText) {
    summary.textContent = `${count(set.lines, 'line')}, too long to show here.`;
    return;
  }
  const text = set && permutationText(engine, words, bracketsChosen(), $('subsets').checked);
  if (text === null) {
    summary.textContent = 'There is not enough memory for so much text.';
    return;
  }
  const lines = text.split('\r\n');
  const limits = keywordLimits(engine);
  const items = [];
  let over = 0;
  for (const line of lines) {
    const item = document.createElement('li');
    const phrase = document.createElement('span');
    phrase.textContent = line;
    item.append(phrase);
    // The limits are on the phrase without its delimiters.
    const reasons = limitReasons(engine, limits, line.slice(1, -1));
    if (reasons) {
      ++over;
      item.className = 'over';
      const reason = document.createElement('span');
      reason.className = 'reason';
      reason.textContent = reasons;
      item.append(reason);
    }
    items.push(item);
  }
  summary.textContent = `${count(lines.length, 'line')}` +
    (over ? `, ${over} of them not accepted by Google Ads as keywords` : '') + '. A press copies exactly these.';
  list.append(...items);
}

const count = (n, noun) => `${n.toLocaleString('en')} ${noun}${n === 1 ? '' : 's'}`;

$('twin').addEventListener('input', schedulePreview);
$('twin').addEventListener('change', schedulePreview);
schedulePreview();

// ---- Campaign mode --------------------------------------------------------------------------
const campaignStatus = $('campaign-status');
let chosenFile = null;
let worker = null;
let workerUrl = null;
let downloadUrls = [];

// Messages about lines the page lists and can save; the engine counts the rest and says how
// many there were, so that a file of millions of warnings takes no more memory for them.
const kKeptMessages = 1000;

// The engine's results, by its names for them, as the user reads them; the worker's own
// 'out of memory' when the browser had none for the output.
const kResultTexts = {
  invalidInput: 'Nothing was written: the input has invalid lines, listed below. Correct them and try again.',
  readFailed: 'The file could not be read to its end: it may have been changed or moved. Load it again.',
  outputStopped: 'The output could not be kept: the browser has run out of memory. Try fewer keyword sets at a time.',
  outOfMemory: 'There is not enough memory for this campaign. Try fewer keyword sets at a time.',
  noKeywordSets: 'Nothing to download: the input holds no keyword sets.',
  'out of memory': 'The browser ran out of memory for the output. Try fewer keyword sets at a time.',
};

const formatSize = bytes => bytes < 1024 ? count(bytes, 'byte') :
  bytes < 1 << 20 ? `${(bytes / 1024).toFixed(1)} KiB` : `${(bytes / (1 << 20)).toFixed(1)} MiB`;

function useFile(file) {
  chosenFile = file;
  $('forget-file').hidden = !file;
  $('encoding').disabled = !file;
  // A .csv file picks commas, unless semicolons (European Excel's "CSV") are chosen.
  if (file && /\.csv$/i.test(file.name) && $('input-format').value === 'tsv') $('input-format').value = 'csv';
  if (file && /\.(tsv|tab)$/i.test(file.name)) $('input-format').value = 'tsv';
  $('source').textContent = file ? `Using the file ${file.name} (${formatSize(file.size)}), not the pasted sets.` : '';
  followHeadings();
}

// ---- "First line names the columns" ---------------------------------------------------------
// Ticked by itself when the engine finds that the input's first line names columns; what the
// user ticks or unticks stands for as long as the input is the same (the same file, or pasted
// text with the same first line).
const kHeadingSample = 64 << 10;  // input bytes the engine looks at: a heading row fits
let headingsAsked = 0;
let headingsSetFor = null;        // the input for which the user ticked or unticked the box

const inputInUse = () => chosenFile || $('sets').value.replace(/^[\r\n]+/, '').split(/[\r\n]/, 1)[0];

async function followHeadings() {
  const asked = ++headingsAsked;
  const input = inputInUse();
  if (headingsSetFor === input) return;
  try {
    const sample = chosenFile ? new Uint8Array(await chosenFile.slice(0, kHeadingSample).arrayBuffer()) : input;
    const engine = await builder;
    const settings = campaignSettings();
    const strings = putStrings(engine, [settings.encoding, sample]);
    if (!strings) return;
    const verdict = engine.starts_with_headings(strings.bytes, strings.sizes, campaignFlags(engineNames(engine), settings.options));
    engine.release(strings.sizes);
    // An answer overtaken by a newer question, or by the user's own choice, is dropped.
    if (asked === headingsAsked && verdict >= 0) $('header').checked = verdict === 1;
  } catch {
    // A file that cannot be read now is reported by the run; the box stays as it is.
  }
}
$('header').addEventListener('change', () => {
  ++headingsAsked;
  headingsSetFor = inputInUse();
});
$('sets').addEventListener('input', () => { if (!chosenFile) followHeadings(); });
$('input-format').addEventListener('change', followHeadings);
$('encoding').addEventListener('change', followHeadings);
$('file').addEventListener('change', () => useFile($('file').files[0] || null));
$('forget-file').addEventListener('click', () => {
  $('file').value = '';
  useFile(null);
  $('sets').focus();
});
// A file dropped anywhere on campaign mode is loaded as if chosen.
const campaignForm = $('campaign');
campaignForm.addEventListener('dragover', event => event.preventDefault());
campaignForm.addEventListener('drop', event => {
  event.preventDefault();
  if (event.dataTransfer.files.length) useFile(event.dataTransfer.files[0]);
});

// A campaign and negative keywords are rows of the ad platforms' files: text has neither. The
// negatives' level is a choice only for negatives.
function followOutputFormat() {
  const text = $('output-format').value === 'text';
  $('campaign-name').disabled = text;
  $('negative').disabled = text;
  $('negative-level').disabled = text || !$('negative').checked;
}
$('output-format').addEventListener('change', followOutputFormat);
$('negative').addEventListener('change', followOutputFormat);

function campaignSettings() {
  const checked = id => $(id).checked && !$(id).disabled;
  const format = $('output-format').value;
  const rows = format !== 'text';
  const campaign = rows ? $('campaign-name').value : '';
  const negative = checked('negative');
  return {
    // Always in the order exact, phrase, broad, whichever are ticked.
    matchTypes: [...document.querySelectorAll('#match-types input:checked')].map(box => box.value).join(','),
    encoding: chosenFile ? $('encoding').value : 'utf-8',
    campaign,
    // By the engine's names for its flags.
    options: {
      subsets: checked('campaign-subsets'), csvOutput: format === 'csv', microsoftOutput: format === 'microsoft',
      csvInput: $('input-format').value !== 'tsv', semicolons: $('input-format').value === 'semicolons',
      header: checked('header'), negative: negative && $('negative-level').value === 'ad-group',
      campaignNegative: negative && $('negative-level').value === 'campaign', mix: checked('mix'),
      unique: checked('unique'), strict: checked('strict'), byteOrderMark: checked('bom'),
      campaignColumn: campaign !== '', crLf: $('line-ends').value === 'crlf',
    },
    mimeType: rows ? 'text/csv' : 'text/plain',
    // Rows of the ad platforms, shown before the download.
    preview: rows,
  };
}

function outputName(settings) {
  const base = settings.campaign || (chosenFile ? chosenFile.name.replace(/\.[^.]*$/, '') : '') || 'campaign';
  return base.replace(/[\\/:*?"<>|\x00-\x1f]/g, '_') + (settings.mimeType === 'text/csv' ? '.csv' : '.txt');
}

function setRunning(running) {
  $('run').disabled = running;
  $('cancel').hidden = !running;
  $('progress').hidden = !running;
  if (running) $('progress').removeAttribute('value');
}

function endWorker() {
  if (worker) worker.terminate();
  worker = null;
  setRunning(false);
}

function offerDownload(blob, name, link) {
  const url = URL.createObjectURL(blob);
  downloadUrls.push(url);
  link.href = url;
  link.download = name;
}

async function runCampaign() {
  if (worker) return;
  const settings = campaignSettings();
  if (!settings.matchTypes) return say(campaignStatus, 'Choose at least one match type.', true);
  if (settings.options.microsoftOutput && /broad/.test(settings.matchTypes) && (settings.options.negative || settings.options.campaignNegative)) {
    return say(campaignStatus, 'Microsoft Advertising has no broad negative keywords: untick Broad or Negative keywords.', true);
  }
  const pasted = $('sets').value;
  if (!chosenFile && pasted.trim() === '') return say(campaignStatus, 'Paste keyword sets or load a file first.', true);
  let module;
  try {
    module = await engineModule;
  } catch {
    return say(campaignStatus, kNoEngine, true);
  }
  // A second press while the engine was being awaited.
  if (worker) return;
  for (const url of downloadUrls) URL.revokeObjectURL(url);
  downloadUrls = [];
  $('download').hidden = true;
  $('preview').hidden = true;
  $('report').hidden = true;
  $('report-lines').replaceChildren();
  workerUrl = workerUrl || URL.createObjectURL(new Blob([$('engine-memory').textContent, $('worker-source').textContent],
                                                        { type: 'text/javascript' }));
  const current = worker = new Worker(workerUrl);
  const name = outputName(settings);
  // Whatever a cancelled run had already sent is dropped.
  worker.onmessage = ({ data }) => {
    if (current !== worker) return;
    if (data.type === 'progress') return showProgress(data);
    if (data.type === 'preview') return showRows(data);
    endWorker();
    if (data.type === 'failed') return say(campaignStatus, `The engine stopped: ${data.reason}`, true);
    showResult(data, name);
  };
  worker.onerror = event => {
    event.preventDefault();
    if (current !== worker) return;
    endWorker();
    say(campaignStatus, `The engine stopped: ${event.message || 'an unknown error'}`, true);
  };
  setRunning(true);
  say(campaignStatus, 'Working…');
  worker.postMessage({
    module,
    source: chosenFile || new Blob([pasted]),
    inputName: chosenFile ? chosenFile.name : '(pasted sets)',
    settings,
    maxMessages: kKeptMessages,
  });
}

function showProgress({ done, total, written }) {
  const progress = $('progress');
  progress.value = total ? done / total : 1;
  campaignStatus.textContent = `Working: ${Math.floor(100 * progress.value)} % of the input read, ${formatSize(written)} written.`;
}

// The messages in one list built off the page and put in at once. They are few (the kept ones,
// then the engine's count of the rest) and short (a phrase is quoted by its start).
function showMessages(messages, capped) {
  const items = document.createDocumentFragment();
  for (const text of messages) items.appendChild(document.createElement('li')).textContent = text;
  $('report-lines').replaceChildren(items);
  $('report-heading').textContent = capped ? `Messages (the first ${kKeptMessages.toLocaleString('en')} and a count of the rest)` :
    `Messages (${messages.length.toLocaleString('en')})`;
  offerDownload(new Blob(messages.map(text => text + '\n'), { type: 'text/plain' }), 'messages.txt', $('save-messages'));
  $('report').hidden = false;
}

// The download's first rows as a table, under its heading row. A large output sends them
// while it is still being written. A column empty in every one of them (Microsoft's ids, which
// the import fills in) is left out, so that the keywords stay in sight.
function showRows({ headings, rows, allRows }) {
  const shown = headings.map((_, column) => rows.some(cells => cells[column]));
  const head = document.createElement('tr');
  headings.forEach((text, column) => { if (shown[column]) head.appendChild(document.createElement('th')).textContent = text; });
  const body = document.createDocumentFragment();
  for (const cells of rows) {
    const row = body.appendChild(document.createElement('tr'));
    cells.forEach((text, column) => { if (shown[column]) row.appendChild(document.createElement('td')).textContent = text; });
  }
  $('preview-rows').tHead.replaceChildren(head);
  $('preview-rows').tBodies[0].replaceChildren(body);
  $('preview-table-heading').textContent = `The file's ${allRows ? '' : 'first '}${count(rows.length, 'row')}`;
  $('preview').hidden = false;
}

// One line per ad group with its rows; a campaign's own rows (its negatives) under its name.
// A large file's rows are counted in its first megabyte.
function showAdGroups({ groups, furtherRows, countedBytes }) {
  const items = document.createDocumentFragment();
  for (const [campaign, adGroup, rows] of groups) {
    const name = adGroup ? [campaign, adGroup].filter(Boolean).join(' › ') : `${campaign} (the campaign's own rows)`;
    items.appendChild(document.createElement('li')).textContent = `${name}: ${count(rows, 'row')}`;
  }
  if (furtherRows) items.appendChild(document.createElement('li')).textContent = `${count(furtherRows, 'row')} in further ad groups`;
  $('ad-groups').replaceChildren(items);
  $('ad-groups-heading').textContent = `Rows per ad group${countedBytes ? ` in the file's first ${formatSize(countedBytes)}` : ''} ` +
    `(${count(groups.length, 'ad group')}${furtherRows ? ' and more' : ''})`;
}

function showResult({ result, output, size, messages, preview }, name) {
  const capped = messages.length > kKeptMessages;
  if (messages.length) showMessages(messages, capped);
  // Rows of a run that wrote nothing are no preview of anything.
  $('preview').hidden = true;
  if (result !== 'written') return say(campaignStatus, kResultTexts[result] || `The engine stopped (result ${result}).`, true);
  if (preview) {
    showRows(preview);
    showAdGroups(preview);
  }
  offerDownload(output, name, $('download-link'));
  $('download-link').textContent = `Save ${name} again`;
  $('download').hidden = false;
  $('download-link').click();
  const warnings = capped ? `, with more than ${count(kKeptMessages, 'warning')}: the first are listed below.` :
    messages.length ? `, with ${count(messages.length, 'warning')} below.` : '.';
  say(campaignStatus, `Done: ${name}, ${formatSize(size)}${warnings}`);
}

campaignForm.addEventListener('submit', event => {
  event.preventDefault();
  runCampaign();
});
$('cancel').addEventListener('click', () => {
  endWorker();
  say(campaignStatus, 'Cancelled: nothing was written.');
  $('run').focus();
});
useFile(null);
followOutputFormat();
})();
