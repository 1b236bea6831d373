'use strict';
// Campaign mode as a user drives it: a file or pasted cells in, options ticked, and the download
// byte for byte what varnholt-cli writes for the same input and options; its messages as the
// command line reports them, but naming the page's controls and at most 1,000 of them; a large
// file in the background, with progress, cancellable.
const test = require('node:test');
const assert = require('node:assert/strict');
const crypto = require('crypto');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { spawnSync } = require('child_process');
const { openPage, buildDir } = require('./browser');

const cli = process.env.VARNHOLT_CLI || path.resolve(buildDir, '../native/varnholt-cli');
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'varnholt-campaign-'));
test.after(() => fs.rmSync(work, { recursive: true, force: true }));

function writeInput(name, bytes) {
  fs.writeFileSync(path.join(work, name), bytes);
  return path.join(work, name);
}

// varnholt-cli in the files' folder, so that its messages name the file as the page does.
function runCli(args, input) {
  const run = spawnSync(cli, args, { cwd: work, input, maxBuffer: 1 << 30 });
  assert.equal(run.error, undefined, `${cli} did not run`);
  return { out: run.stdout, messages: run.stderr.toString().split('\n').filter(Boolean), status: run.status };
}

// The options a test sets on the form, named as the user reads them.
async function setOptions(page, options) {
  const form = page.locator('#campaign');
  const label = text => form.getByLabel(text, { exact: true });
  if (options.inputFormat) await label('Columns separated by').selectOption(options.inputFormat);
  if (options.header !== undefined) await label('First line names the columns').setChecked(options.header);
  if (options.encoding) await label('File encoding').selectOption(options.encoding);
  if (options.output) await label('Download as').selectOption(options.output);
  if (options.lineEnds) await label('Line ends').selectOption(options.lineEnds);
  if (options.campaign !== undefined) await label('Campaign name (optional)').fill(options.campaign);
  if (options.match) {
    for (const type of ['Exact', 'Phrase', 'Broad']) await label(type).setChecked(options.match.includes(type.toLowerCase()));
  }
  const boxes = { subsets: 'Include subsets', negative: 'Negative keywords', mix: 'Word lists: | in a keyword separates alternatives',
                  unique: 'Each phrase only once per ad group', strict: 'Phrases over Google Ads\' limits are errors',
                  bom: 'Start with a byte-order mark (for Excel)' };
  for (const [option, text] of Object.entries(boxes)) {
    // Negative keywords are CSV rows only: the box is off for text.
    if (!options[option] && await label(text).isDisabled()) continue;
    await label(text).setChecked(Boolean(options[option]));
  }
  if (options.negativeLevel) await label('Negative keywords for').selectOption(options.negativeLevel);
}

const status = page => page.locator('#campaign-status');
const shownMessages = page => page.$$eval('#report-lines li', items => items.map(item => item.textContent));

// Presses "Download campaign" and waits for the run's end: the download's bytes (null when
// there was none), the status and the listed messages.
async function download(page) {
  const downloads = [];
  const onDownload = item => downloads.push(item);
  page.on('download', onDownload);
  await page.getByRole('button', { name: 'Download campaign' }).click();
  await page.locator('#run:not([disabled])').waitFor();
  await status(page).filter({ hasText: /^(Done|Nothing|The |There|Choose|Paste|Microsoft)/ }).waitFor();
  page.off('download', onDownload);
  if (downloads.length > 1) throw new Error('more than one download');
  const bytes = downloads.length ? fs.readFileSync(await downloads[0].path()) : null;
  return { bytes, name: downloads.length ? downloads[0].suggestedFilename() : null,
           status: await status(page).textContent(), messages: await shownMessages(page) };
}

test('downloads equal varnholt-cli\'s output for the same input and options', async t => {
  const { page } = await openPage(t);
  const file = page.getByLabel('Or load a file');

  // UTF-8 TSV: ad group names, two to four keywords, every match type, subsets, a campaign name
  // that needs quoting, CR LF, and a set over Google Ads' limits (warned, still written).
  const tsv = writeInput('spring.tsv', 'blue\trunning\tshoes\t\tShoes\nred\tsocks\n\n' +
    'café\tnaïve\tcrème brûlée\tsoufflé\tDesserts, "French"\n' +
    'very long keyword number one\tvery long keyword number two\tvery long keyword number three\n');
  await file.setInputFiles(tsv);
  await setOptions(page, { match: ['exact', 'phrase', 'broad'], subsets: true, campaign: 'Spring, 2026', lineEnds: 'crlf' });
  let page_ = await download(page);
  let reference = runCli(['--input', 'spring.tsv', '--format', 'csv', '--subsets', '--match', 'exact,phrase,broad',
                          '--campaign', 'Spring, 2026', '--crlf']);
  assert.equal(reference.status, 0);
  assert.ok(page_.bytes.equals(reference.out), 'spring.tsv: the download differs from varnholt-cli\'s output');
  assert.equal(page_.name, 'Spring, 2026.csv');
  assert.deepEqual(page_.messages, reference.messages);
  assert.equal(page_.messages.length, 6);
  assert.match(page_.status, /^Done: Spring, 2026\.csv, .*, with 6 warnings below\.$/);

  // Windows-1252 CSV with quoted fields: word lists, negative rows, duplicates left out, a
  // byte-order mark and LF.
  const csv = writeInput('sale.csv', Buffer.from('"buy|order",shoes,"caf\xe9, bar",,Group 1\n' +
    'buy,shoes,,,Group 1\n"say ""hi""",there\r\n', 'latin1'));
  await file.setInputFiles(csv);
  assert.equal(await page.getByLabel('Columns separated by').inputValue(), 'csv');
  await setOptions(page, { encoding: 'windows-1252', match: ['exact', 'phrase'], campaign: '', negative: true,
                           unique: true, mix: true, bom: true, lineEnds: 'lf' });
  page_ = await download(page);
  reference = runCli(['--input', 'sale.csv', '--input-format', 'csv', '--input-encoding', 'windows-1252', '--format', 'csv',
                      '--match', 'exact,phrase', '--negative', '--unique', '--mix', '--bom', '--lf']);
  assert.equal(reference.status, 0);
  assert.ok(page_.bytes.equals(reference.out), 'sale.csv: the download differs from varnholt-cli\'s output');
  assert.ok(page_.bytes.toString().includes('café, bar'));
  assert.equal(page_.name, 'sale.csv');

  // UTF-16 LE with its byte-order mark, the encoding found by itself; text, broad match.
  const utf16 = writeInput('wide.tsv', Buffer.concat([Buffer.from([0xff, 0xfe]),
    Buffer.from('blue\trunning\tshoes\r\nrot\tschuhe\u00df\r\n', 'utf16le')]));
  await file.setInputFiles(utf16);
  await setOptions(page, { inputFormat: 'tsv', encoding: 'auto', output: 'text', match: ['broad'], lineEnds: 'lf' });
  page_ = await download(page);
  reference = runCli(['--input', 'wide.tsv', '--match', 'broad', '--lf']);
  assert.ok(page_.bytes.equals(reference.out), 'wide.tsv: the download differs from varnholt-cli\'s output');
  assert.equal(page_.name, 'wide.txt');

  // Cells pasted from a spreadsheet, once the file is put aside; the defaults.
  await page.getByRole('button', { name: 'Use the pasted sets instead' }).click();
  const pasted = 'blue\trunning\nred\tsocks\tsale\t\tSocks\n';
  await page.getByLabel('Keyword sets, pasted from a spreadsheet').fill(pasted);
  await setOptions(page, { output: 'csv', match: ['phrase'], lineEnds: 'crlf' });
  page_ = await download(page);
  reference = runCli(['--input', '-', '--format', 'csv', '--crlf'], pasted);
  assert.ok(page_.bytes.equals(reference.out), 'pasted sets: the download differs from varnholt-cli\'s output');
  assert.equal(page_.name, 'campaign.csv');

  // A sheet from European Excel: a heading row in any order, a Campaign column (the campaign name
  // fills its empty cell), two columns of the user's own, semicolons. Read with commas, its first
  // line is one field and no heading row; with semicolons the box ticks itself.
  const sheet = writeInput('sheet.csv', 'Ad group;Keyword 2;Campaign;Keyword 1;Max CPC;Final URL\n' +
    'Shoes;running;Spring;blue;0,50;"https://example.com/?a=1;b=2"\nSocks;socks;;red;0,30;https://example.com/socks\n');
  await file.setInputFiles(sheet);
  assert.equal(await page.getByLabel('Columns separated by').inputValue(), 'csv');
  await page.locator('#header:not(:checked)').waitFor();
  await setOptions(page, { inputFormat: 'semicolons', encoding: 'auto', match: ['exact', 'phrase'], campaign: 'Summer' });
  await page.locator('#header:checked').waitFor();
  page_ = await download(page);
  reference = runCli(['--input', 'sheet.csv', '--input-format', 'csv', '--separator', ';', '--header', '--format', 'csv',
                      '--match', 'exact,phrase', '--campaign', 'Summer', '--crlf']);
  assert.equal(reference.status, 0);
  assert.ok(page_.bytes.equals(reference.out), 'sheet.csv: the download differs from varnholt-cli\'s output');
  assert.match(page_.bytes.toString(), /^Campaign,Ad group,Keyword,Criterion Type,Max CPC,Final URL\r\nSpring,Shoes,blue running,Exact,"0,50",/);
});

test('"First line names the columns" ticks itself for a heading row; the user\'s own untick stands for that input', async t => {
  const { page } = await openPage(t);
  const file = page.getByLabel('Or load a file');
  const box = page.getByLabel('First line names the columns');
  const ticked = on => page.locator(on ? '#header:checked' : '#header:not(:checked)').waitFor();
  const headed = writeInput('headed.tsv', 'Keyword 1\tKeyword 2\tAd group\nblue\tshoes\tShoes\n');
  await file.setInputFiles(headed);
  await ticked(true);

  // Unticked by hand, it stays so when the file is read another way; the heading row is then an
  // invalid line, and its message names the box that mends it.
  await box.uncheck();
  await setOptions(page, { encoding: 'utf-8' });
  let page_ = await download(page);
  assert.equal(await box.isChecked(), false);
  assert.equal(page_.bytes, null);
  assert.deepEqual(page_.messages, ['headed.tsv:1: this line names columns; tick "First line names the columns" to read it as headings']);
  await page.getByLabel(page_.messages[0].match(/tick "([^"]+)"/)[1], { exact: true }).check();
  page_ = await download(page);
  assert.ok(page_.bytes.equals(runCli(['--input', 'headed.tsv', '--header', '--format', 'csv', '--crlf']).out));

  // A new file is looked at anew, the same file loaded again too.
  await file.setInputFiles(writeInput('plain.tsv', 'blue\tshoes\n'));
  await ticked(false);
  await file.setInputFiles(headed);
  await ticked(true);

  // Pasted cells: looked at as they change; an untick stands while their first line is the same.
  await page.getByRole('button', { name: 'Use the pasted sets instead' }).click();
  const sets = page.getByLabel('Keyword sets, pasted from a spreadsheet');
  await sets.fill('blue\tshoes');
  await ticked(false);
  await sets.fill('Keyword 1\tKeyword 2\nblue\tshoes');
  await ticked(true);
  await box.uncheck();
  await sets.fill('Keyword 1\tKeyword 2\nblue\tshoes\nred\tsocks');
  page_ = await download(page);
  assert.equal(await box.isChecked(), false);
  assert.match(page_.messages[0], /^\(pasted sets\):1: this line names columns; /);
  await sets.fill('Keyword 2\tKeyword 1\nshoes\tblue');
  await ticked(true);
});

// A CSV download's rows and cells (the tests' cells hold no commas or quotes), without its
// byte-order mark.
const csvRows = bytes => bytes.toString().replace(/^\uFEFF/, '').split('\r\n').filter(Boolean).map(row => row.split(','));

const previewTable = page => page.$$eval('#preview-rows tr', rows => rows.map(row => [...row.cells].map(cell => cell.textContent)));
const adGroupLines = page => page.$$eval('#ad-groups li', items => items.map(item => item.textContent));

// The lines "CAMPAIGN › AD GROUP: N rows" the page shows for these rows, in the order they come.
function expectedAdGroups(rows, campaignAt, adGroupAt) {
  const groups = new Map();
  for (const cells of rows.filter(cells => cells[campaignAt] || cells[adGroupAt])) {
    const name = cells[adGroupAt] ? `${cells[campaignAt]} › ${cells[adGroupAt]}` : `${cells[campaignAt]} (the campaign's own rows)`;
    groups.set(name, (groups.get(name) || 0) + 1);
  }
  return [...groups].map(([name, rows]) => `${name}: ${rows} rows`);
}

// Two campaigns, an ad group name in both, one ad group named after its keywords, and a column
// of the user's own.
const kSheet = 'Campaign\tKeyword 1\tKeyword 2\tKeyword 3\tAd group\tLabels\n' +
  'Spring\tblue\trunning\tshoes\tShoes\tnew\nSpring\tred\tshoes\t\tShoes\nSpring\twool\tsocks\t\tSocks\n' +
  'Summer\tbeach\tshoes\t\tShoes\tsale\nSummer\tsun\that\n';

test('before the download, its first 20 rows as a table and one line per ad group with its rows', async t => {
  const { page } = await openPage(t);
  await page.getByLabel('Or load a file').setInputFiles(writeInput('sheet.tsv', kSheet));
  await page.locator('#header:checked').waitFor();
  await setOptions(page, { match: ['exact', 'phrase'], subsets: true });
  const page_ = await download(page);
  const reference = runCli(['--input', 'sheet.tsv', '--header', '--format', 'csv', '--match', 'exact,phrase', '--subsets', '--crlf']);
  assert.ok(page_.bytes.equals(reference.out));
  const rows = csvRows(reference.out);
  assert.ok(rows.length > 21);
  assert.equal(await page.locator('#preview').isVisible(), true);
  assert.equal(await page.locator('#preview-table-heading').textContent(), 'The file\'s first 20 rows');
  assert.deepEqual(await previewTable(page), rows.slice(0, 21));
  assert.equal(await page.locator('#ad-groups-heading').textContent(), 'Rows per ad group (4 ad groups)');
  assert.deepEqual(await adGroupLines(page), expectedAdGroups(rows.slice(1), 0, 1));
  assert.deepEqual(await adGroupLines(page), ['Spring › Shoes: 28 rows', 'Spring › Socks: 4 rows', 'Summer › Shoes: 4 rows',
                                              'Summer › sun hat: 4 rows']);

  // The rows of the first 1,000 ad groups are counted one by one, those of the rest in one sum.
  await page.getByLabel('Or load a file').setInputFiles(writeInput('many.tsv',
    Array.from({ length: 3000 }, (_, i) => `k${i}\tx`).join('\n')));
  await page.locator('#header:not(:checked)').waitFor();
  await setOptions(page, { match: ['exact'] });
  await download(page);
  const groups = await adGroupLines(page);
  assert.equal(await page.locator('#ad-groups-heading').textContent(), 'Rows per ad group (1,000 ad groups and more)');
  assert.deepEqual([groups[0], groups[999], groups[1000]], ['k0 x: 2 rows', 'k999 x: 2 rows', '4,000 rows in further ad groups']);
  await page.getByLabel('Or load a file').setInputFiles(writeInput('sheet.tsv', kSheet));
  await page.locator('#header:checked').waitFor();

  // Fewer rows than 20 are shown whole.
  await setOptions(page, { match: ['phrase'] });
  await download(page);
  assert.equal(await page.locator('#preview-table-heading').textContent(), 'The file\'s 14 rows');
  assert.equal((await previewTable(page)).length, 15);

  // Text has no rows to preview, and a run that writes nothing shows none.
  await setOptions(page, { output: 'text' });
  await download(page);
  assert.equal(await page.locator('#preview').isVisible(), false);
  await page.getByLabel('Or load a file').setInputFiles(writeInput('broken.tsv', 'Keyword 1\tKeyword 2\nblue\n'));
  await setOptions(page, { output: 'csv' });
  assert.equal((await download(page)).bytes, null);
  assert.equal(await page.locator('#preview').isVisible(), false);
});

test('Microsoft Advertising\'s bulk file and campaign negatives download as varnholt-cli writes them', async t => {
  const { page } = await openPage(t);
  await page.getByLabel('Or load a file').setInputFiles(writeInput('sheet.tsv', kSheet));
  await page.locator('#header:checked').waitFor();

  // The level of negatives is a choice only while negatives are ticked.
  const level = page.getByLabel('Negative keywords for');
  assert.equal(await level.isDisabled(), true);
  await setOptions(page, { match: ['exact', 'phrase'], negative: true, negativeLevel: 'campaign' });
  assert.equal(await level.isEnabled(), true);
  let page_ = await download(page);
  let reference = runCli(['--input', 'sheet.tsv', '--header', '--format', 'csv', '--match', 'exact,phrase',
                          '--negative=campaign', '--crlf']);
  assert.equal(reference.status, 0);
  assert.ok(page_.bytes.equals(reference.out), 'campaign negatives: the download differs from varnholt-cli\'s output');
  assert.deepEqual(await adGroupLines(page), expectedAdGroups(csvRows(reference.out).slice(1), 0, 1));

  // Microsoft's bulk file: its Format Version row is in the table, and belongs to no ad group.
  await setOptions(page, { output: 'microsoft', match: ['exact', 'broad'] });
  page_ = await download(page);
  reference = runCli(['--input', 'sheet.tsv', '--header', '--format', 'microsoft', '--match', 'exact,broad', '--crlf']);
  assert.equal(reference.status, 0);
  assert.ok(page_.bytes.equals(reference.out), 'Microsoft: the download differs from varnholt-cli\'s output');
  assert.equal(page_.name, 'sheet.csv');
  const rows = csvRows(reference.out);
  // The columns empty in every row shown (the ids the import fills in, Bid without a Max CPC)
  // are left out of the table.
  const kept = ['Type', 'Status', 'Campaign', 'Ad Group', 'Keyword', 'Match Type', 'Name', 'Labels']
    .map(heading => rows[0].indexOf(heading));
  assert.deepEqual((await previewTable(page)).slice(0, 3), rows.slice(0, 3).map(cells => kept.map(column => cells[column])));
  assert.deepEqual(await adGroupLines(page), expectedAdGroups(rows.slice(1), 4, 5));

  // Microsoft's ad group negatives; broad ones it has not, and the page says so before a run.
  await setOptions(page, { output: 'microsoft', match: ['exact', 'phrase'], negative: true, negativeLevel: 'ad-group' });
  page_ = await download(page);
  reference = runCli(['--input', 'sheet.tsv', '--header', '--format', 'microsoft', '--match', 'exact,phrase', '--negative', '--crlf']);
  assert.ok(page_.bytes.equals(reference.out), 'Microsoft negatives: the download differs from varnholt-cli\'s output');
  await setOptions(page, { output: 'microsoft', match: ['broad'], negative: true });
  assert.equal((await download(page)).status, 'Microsoft Advertising has no broad negative keywords: untick Broad or Negative keywords.');
  // A row without a campaign: the message names the page's field, which mends it.
  await page.getByLabel('Or load a file').setInputFiles(writeInput('plain.tsv', 'blue\tshoes\n'));
  await setOptions(page, { output: 'microsoft', match: ['phrase'] });
  page_ = await download(page);
  assert.deepEqual(page_.messages, ['plain.tsv:1: no campaign (Microsoft Advertising finds an ad group by its campaign and name); ' +
                                    'fill in "Campaign name (optional)" or add a Campaign column']);
  await setOptions(page, { campaign: 'Spring' });
  page_ = await download(page);
  assert.ok(page_.bytes.equals(runCli(['--input', 'plain.tsv', '--format', 'microsoft', '--campaign', 'Spring', '--crlf']).out));
});

test('invalid input is reported line by line as varnholt-cli reports it, and nothing is downloaded', async t => {
  const { page } = await openPage(t);
  const file = page.getByLabel('Or load a file');
  const cases = [
    ['broken.tsv', 'blue\trunning\n\tmissing\na\t\tc\none\ttwo\tthree\tfour\tgroup\tsix\n', []],
    ['broken.csv', 'a,b\n"open,b\nc,d\n', ['--input-format', 'csv']],
    ['long.tsv', 'one two three four five six\tseven eight nine ten\televen\n', ['--strict']],
  ];
  for (const [name, content, args] of cases) {
    await file.setInputFiles(writeInput(name, content));
    await setOptions(page, { strict: args.includes('--strict'), inputFormat: name.endsWith('.csv') ? 'csv' : 'tsv' });
    const page_ = await download(page);
    const reference = runCli(['--input', name, '--format', 'csv', ...args]);
    assert.equal(reference.status, 1);
    assert.ok(reference.messages.length > 0);
    assert.deepEqual(page_.messages, reference.messages, name);
    assert.equal(page_.bytes, null, `${name}: nothing may be downloaded`);
    assert.equal(page_.status, 'Nothing was written: the input has invalid lines, listed below. Correct them and try again.');
  }

  // All the messages can be saved, as the command line writes them.
  const saved = page.waitForEvent('download');
  await page.getByRole('link', { name: 'Save all messages' }).click();
  const messages = fs.readFileSync(await (await saved).path(), 'utf8');
  assert.equal(messages, runCli(['--input', 'long.tsv', '--strict']).messages.join('\n') + '\n');

  // A form that cannot run says why.
  await page.getByRole('button', { name: 'Use the pasted sets instead' }).click();
  assert.equal((await download(page)).status, 'Paste keyword sets or load a file first.');
  await page.getByLabel('Keyword sets, pasted from a spreadsheet').fill('a\tb');
  await setOptions(page, { match: [] });
  assert.equal((await download(page)).status, 'Choose at least one match type.');
});

test('the page lists the first 1,000 messages and the engine\'s count of the rest, each phrase quoted by its start', async t => {
  const { page } = await openPage(t);
  const file = page.getByLabel('Or load a file');
  // Two warnings a line: both orderings hold a character Google Ads does not accept.
  await file.setInputFiles(writeInput('many.tsv', 'a!\tb\n'.repeat(3000)));
  await setOptions(page, {});
  let page_ = await download(page);
  assert.notEqual(page_.bytes, null);
  assert.equal(page_.messages.length, 1001);
  assert.deepEqual(page_.messages.slice(0, 100), runCli(['--input', 'many.tsv', '--format', 'csv']).messages.slice(0, 100));
  assert.match(page_.messages[999], /^many\.tsv:500: warning: /);
  assert.equal(page_.messages[1000], 'many.tsv: 5000 more messages not shown (5000 warnings)');
  assert.match(page_.status, /^Done: many\.csv, [\d.]+ KiB, with more than 1,000 warnings: the first are listed below\.$/);

  // "Save all messages" saves those listed, the count of the rest included.
  const saved = page.waitForEvent('download');
  await page.getByRole('link', { name: 'Save all messages' }).click();
  assert.equal(fs.readFileSync(await (await saved).path(), 'utf8'), page_.messages.join('\n') + '\n');

  // A keyword of 150 characters: every message quotes the phrase's first 100 and "...".
  const long = 'x'.repeat(150);
  await file.setInputFiles(writeInput('long.tsv', `${long}\tb\n`));
  page_ = await download(page);
  assert.ok(page_.messages.length > 0);
  assert.ok(page_.messages.some(text => text.includes(`${'x'.repeat(100)}...`)), page_.messages.join('\n'));
  for (const text of page_.messages) assert.ok(!text.includes('x'.repeat(101)), text);
});

test('an input without keyword sets is warned about and nothing is downloaded', async t => {
  const { page } = await openPage(t);
  await page.getByLabel('Or load a file').setInputFiles(writeInput('empty.tsv', ''));
  await setOptions(page, {});
  const page_ = await download(page);
  assert.equal(page_.bytes, null, 'nothing may be downloaded');
  assert.deepEqual(page_.messages, ['empty.tsv: no keyword sets']);
  assert.equal(page_.status, 'Nothing to download: the input holds no keyword sets.');
  assert.equal(await page.locator('#download').isVisible(), false);
});

test('messages name the page\'s controls, and the control a message names mends the input', async t => {
  const { page } = await openPage(t);
  const file = page.getByLabel('Or load a file');
  await file.setInputFiles(writeInput('latin.tsv', Buffer.from('caf\xe9\tbar\n', 'latin1')));
  await setOptions(page, { encoding: 'auto' });
  let page_ = await download(page);
  assert.deepEqual(page_.messages,
    ['latin.tsv:1: not UTF-8 (the output keeps these bytes; choose "Windows-1252" under "File encoding" to convert them)']);
  const [, choice, control] = page_.messages[0].match(/choose "([^"]+)" under "([^"]+)"/);
  await page.getByLabel(control, { exact: true }).selectOption({ label: choice });
  page_ = await download(page);
  assert.deepEqual(page_.messages, []);
  assert.ok(page_.bytes.equals(runCli(['--input', 'latin.tsv', '--input-encoding', 'windows-1252', '--format', 'csv', '--crlf']).out));

  // UTF-16 without a byte-order mark, read as UTF-8: a NUL at every other byte.
  await file.setInputFiles(writeInput('wide.tsv', Buffer.from('blue\trunning\n', 'utf16le')));
  await setOptions(page, { encoding: 'auto' });
  page_ = await download(page);
  assert.equal(page_.bytes, null);
  assert.equal(page_.messages.length, 1);
  assert.match(page_.messages[0], /^wide\.tsv: not a text file \(a NUL byte at offset 1\b.*; it may be UTF-16 without a byte-order mark: choose "UTF-16 LE" or "UTF-16 BE" under "File encoding"\)$/);

  // Lines split by semicolons or commas, read as tabs: every line lacks a keyword 2, and the last
  // message names the separator's choice.
  for (const [name, content, args] of [['eu.txt', 'blue;shoes;0,50\nred;socks\n', ['--separator', ';']],
                                       ['us.txt', 'blue,shoes\n', []]]) {
    await file.setInputFiles(writeInput(name, content));
    await setOptions(page, { inputFormat: 'tsv', encoding: 'auto' });
    page_ = await download(page);
    const reference = runCli(['--input', name, '--format', 'csv']);
    assert.deepEqual(page_.messages.slice(0, -1), reference.messages.slice(0, -1), name);
    const [, choice, control] = page_.messages.at(-1).match(/^[^:]+: no line has a keyword 2, .*, choose "([^"]+)" under "([^"]+)"$/);
    await page.getByLabel(control, { exact: true }).selectOption({ label: choice });
    page_ = await download(page);
    assert.deepEqual(page_.messages, []);
    assert.ok(page_.bytes.equals(runCli(['--input', name, '--input-format', 'csv', ...args, '--format', 'csv', '--crlf']).out), name);
  }
});

test('a file of 100,000 sets runs in the background with its progress shown', async t => {
  const { page } = await openPage(t);
  // Four 8-byte keywords a line, as cli/cli_benchmark.sh makes them.
  const lines = [];
  for (let i = 0; i < 100000; ++i) lines.push([...'abcd'].map(c => c + String(i).padStart(7, '0')).join('\t'));
  const big = writeInput('sets-100000.tsv', lines.join('\n') + '\n');
  // Every progress value the page shows.
  await page.evaluate(() => {
    window.progressSeen = [];
    new MutationObserver(() => window.progressSeen.push(document.getElementById('progress').value))
      .observe(document.getElementById('progress'), { attributes: true, attributeFilter: ['value'] });
  });
  await page.getByLabel('Or load a file').setInputFiles(big);
  await setOptions(page, {});
  const page_ = await download(page);
  const reference = runCli(['--input', 'sets-100000.tsv', '--format', 'csv', '--crlf']);
  assert.equal(page_.bytes.length, reference.out.length);
  const hash = bytes => crypto.createHash('sha256').update(bytes).digest('hex');
  assert.equal(hash(page_.bytes), hash(reference.out));
  // The preview keeps the first rows, and counts those of each ad group in the first megabyte.
  assert.equal((await previewTable(page)).length, 21);
  assert.match(await page.locator('#ad-groups-heading').textContent(), /^Rows per ad group in the file's first 1\.\d MiB \([\d,]+ ad groups\)$/);
  const groups = await adGroupLines(page);
  assert.deepEqual(groups.slice(0, 2), ['a0000000 b0000000 c0000000 d0000000: 24 rows', 'a0000001 b0000001 c0000001 d0000001: 24 rows']);
  assert.ok(groups.length > 100 && groups.length < 1000, groups.length);
  const seen = await page.evaluate(() => window.progressSeen);
  assert.ok(seen.some(value => value > 0 && value < 1), `progress shown: ${seen}`);
});

test('a long run leaves the page usable and can be cancelled', async t => {
  const { page } = await openPage(t);
  const downloads = [];
  page.on('download', item => downloads.push(item));
  // 17 alternatives for each of four keywords on each of 30 lines: 2,505,630 sets, 150 million
  // rows with subsets, far more than a moment's work.
  const alternatives = (line, letter) => Array.from({ length: 17 }, (_, i) => `${letter}${line}x${i}`).join('|');
  const lines = Array.from({ length: 30 }, (_, line) => [...'abcd'].map(letter => alternatives(line, letter)).join('\t'));
  await page.getByLabel('Keyword sets, pasted from a spreadsheet').fill(lines.join('\n'));
  await setOptions(page, { mix: true, subsets: true });
  await page.getByRole('button', { name: 'Download campaign' }).click();
  await status(page).filter({ hasText: /^Working/ }).waitFor();
  assert.equal(await page.locator('#progress').isVisible(), true);

  // The twin answers while the campaign runs.
  await page.getByLabel('Keyword 1', { exact: true }).fill('left');
  await page.getByLabel('Keyword 2', { exact: true }).fill('right');
  await page.locator('#preview-summary').filter({ hasText: /^2 lines\./ }).waitFor();

  await page.getByRole('button', { name: 'Cancel' }).click();
  await status(page).filter({ hasText: 'Cancelled' }).waitFor();
  assert.equal(await status(page).textContent(), 'Cancelled: nothing was written.');
  assert.equal(await page.locator('#progress').isVisible(), false);
  assert.equal(await page.getByRole('button', { name: 'Download campaign' }).isEnabled(), true);
  assert.equal(downloads.length, 0);
});
