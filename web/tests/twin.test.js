'use strict';
// The window's twin on the page, as a user drives it: the same texts, the same rules and the
// same clipboard text as the window.
const test = require('node:test');
const assert = require('node:assert/strict');
const { openPage, clipboardText } = require('./browser');
const { workedExample } = require('./golden');

const kWorkedExample = workedExample.lines.join('\r\n');
const kCopied = 'The text is in the clipboard (ready for pasting).';

const keyword = (page, n) => page.getByLabel(`Keyword ${n}`, { exact: true });
const paste = page => page.getByRole('button', { name: 'Paste permutations in Clipboard', exact: true });
const message = page => page.getByRole('status').first();

async function typeKeywords(page, words) {
  for (const [i, word] of words.entries()) await keyword(page, i + 1).fill(word);
}

test('the window\'s controls, its worked example and its clipboard text', async t => {
  const { page, dialogs, errors } = await openPage(t);
  // The window's texts and starting state; every control named by a real label.
  assert.equal(await page.getByLabel('Quotes', { exact: true }).isChecked(), true);
  assert.equal(await page.getByLabel('Brackets', { exact: true }).isChecked(), false);
  assert.equal(await page.getByLabel('Include Subsets', { exact: true }).isChecked(), false);
  const unlabelled = await page.$$eval('#twin input, #twin textarea', fields =>
    fields.filter(field => field.labels.length === 0).map(field => field.id));
  assert.deepEqual(unlabelled, []);

  await typeKeywords(page, workedExample.keywords);
  await page.getByLabel('Brackets', { exact: true }).check();
  await page.getByLabel('Include Subsets', { exact: true }).check();
  await paste(page).click();
  await assert.doesNotReject(message(page).filter({ hasText: kCopied }).waitFor());
  assert.equal(await message(page).textContent(), kCopied);
  assert.equal(await clipboardText(page), kWorkedExample);

  // Quotes, two keywords; keywords exactly as typed (blanks and case kept, nothing trimmed).
  await typeKeywords(page, [' Blue ', 'shoes  x', '', '']);
  await page.getByLabel('Quotes', { exact: true }).check();
  await paste(page).click();
  await page.waitForFunction(() => navigator.clipboard.readText().then(text => text.startsWith('" Blue ')));
  assert.equal(await clipboardText(page), '" Blue  shoes  x"\r\n"shoes  x  Blue "');

  // Keyword 4 counts only after a keyword 3; non-ASCII goes through as typed.
  await typeKeywords(page, ['café', 'naïve', '', 'ignored']);
  await page.getByLabel('Include Subsets', { exact: true }).uncheck();
  await paste(page).click();
  await page.waitForFunction(() => navigator.clipboard.readText().then(text => text.startsWith('"café')));
  assert.equal(await clipboardText(page), '"café naïve"\r\n"naïve café"');
  assert.deepEqual(dialogs, []);
  assert.deepEqual(errors, []);
});

test('missing keywords are said beside the fields, and nothing is copied', async t => {
  const { page, dialogs } = await openPage(t);
  await page.evaluate(() => navigator.clipboard.writeText('before'));

  await typeKeywords(page, ['', 'running', 'shoes']);
  await paste(page).click();
  await message(page).filter({ hasText: 'Need to enter' }).waitFor();
  assert.equal(await message(page).textContent(), 'Need to enter Keyword 1.  Try again.');
  // The user is taken to the field to fill.
  assert.equal(await page.evaluate(() => document.activeElement.labels[0].textContent), 'Keyword 1');
  assert.equal(await keyword(page, 1).getAttribute('aria-invalid'), 'true');

  await typeKeywords(page, ['blue', '', 'shoes', 'red']);
  await paste(page).click();
  await message(page).filter({ hasText: 'Need at least' }).waitFor();
  assert.equal(await message(page).textContent(), 'Need at least two keywords. Enter Keyword 2.');
  assert.equal(await page.evaluate(() => document.activeElement.id), 'keyword2');

  assert.equal(await clipboardText(page), 'before');
  assert.deepEqual(dialogs, []);
});

test('keyboard alone: every control in turn by Tab, each worked from the keyboard', async t => {
  const { page } = await openPage(t);
  const focusedName = () => page.evaluate(() => {
    const element = document.activeElement;
    return element.labels && element.labels.length ? element.labels[0].textContent.trim() : element.textContent.trim();
  });
  const visited = [];
  for (const word of ['blue', 'running', 'shoes', '']) {
    await page.keyboard.press('Tab');
    visited.push(await focusedName());
    await page.keyboard.type(word);
  }
  await page.keyboard.press('Tab');
  visited.push(await focusedName());
  await page.keyboard.press('ArrowDown');  // from Quotes to Brackets
  await page.keyboard.press('Tab');
  visited.push(await focusedName());
  await page.keyboard.press('Space');  // Include Subsets
  await page.keyboard.press('Tab');
  visited.push(await focusedName());
  assert.deepEqual(visited, ['Keyword 1', 'Keyword 2', 'Keyword 3', 'Keyword 4', 'Quotes', 'Include Subsets',
                             'Paste permutations in Clipboard']);
  await page.keyboard.press('Enter');
  await message(page).filter({ hasText: kCopied }).waitFor();
  assert.equal(await clipboardText(page), kWorkedExample);

  // Enter in a keyword field presses too; Space on the button as well.
  await page.keyboard.press('Shift+Tab');
  await page.keyboard.press('Space');  // Include Subsets off again
  for (let i = 0; i < 4; ++i) await page.keyboard.press('Shift+Tab');
  assert.equal(await focusedName(), 'Keyword 2');
  await page.keyboard.press('End');
  await page.keyboard.type('!');
  await page.keyboard.press('Enter');
  await page.waitForFunction(() => navigator.clipboard.readText().then(text => text.includes('!')));
  assert.equal((await clipboardText(page)).split('\r\n')[0], '[blue running! shoes]');
});

test('a clipboard the browser refuses: the page says so and the text stays there to copy', async t => {
  const { page, dialogs } = await openPage(t, {
    clipboard: false,
    initScript: () => {
      navigator.clipboard.writeText = () => Promise.reject(new DOMException('Write permission denied.', 'NotAllowedError'));
      document.execCommand = () => false;
    },
  });
  await typeKeywords(page, ['blue', 'running']);
  await paste(page).click();
  await message(page).filter({ hasText: 'did not let' }).waitFor();
  assert.match(await message(page).textContent(), /^The browser did not let this page use the clipboard\. The text is below/);
  const copy = page.getByLabel('The text, to select and copy yourself');
  assert.equal(await copy.isVisible(), true);
  // A text field shows line ends as LF.
  assert.equal(await copy.inputValue(), '"blue running"\n"running blue"');
  assert.deepEqual(await copy.evaluate(area => [document.activeElement === area, area.selectionStart, area.selectionEnd]),
                   [true, 0, 29]);

  // A later press that works puts the field away again.
  await page.evaluate(() => { document.execCommand = Document.prototype.execCommand; });
  await paste(page).click();
  await message(page).filter({ hasText: kCopied }).waitFor();
  assert.equal(await copy.isVisible(), false);
  assert.deepEqual(dialogs, []);
});

test('a browser that cannot run the engine is told so on the page', async t => {
  const { page, dialogs } = await openPage(t, { initScript: () => { delete window.DecompressionStream; } });
  const kNoEngine = /^This browser cannot run Varnholt \(it needs WebAssembly with SIMD and DecompressionStream\)\./;
  await page.locator('#preview-summary').filter({ hasText: kNoEngine }).waitFor();
  await typeKeywords(page, ['blue', 'running']);
  await paste(page).click();
  await message(page).filter({ hasText: kNoEngine }).waitFor();
  await page.getByLabel('Keyword sets, pasted from a spreadsheet').fill('a\tb');
  await page.getByRole('button', { name: 'Download campaign' }).click();
  await page.locator('#campaign-status').filter({ hasText: kNoEngine }).waitFor();
  assert.deepEqual(dialogs, []);
});
