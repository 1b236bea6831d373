'use strict';
// The live preview under the form: the lines a press would copy, how many, and which of them
// Google Ads would not take as a keyword, and why.
const test = require('node:test');
const assert = require('node:assert/strict');
const { openPage, clipboardText } = require('./browser');
const { lineCounts } = require('./golden');

const keyword = (page, n) => page.getByLabel(`Keyword ${n}`, { exact: true });
const summary = page => page.locator('#preview-summary');

async function typeKeywords(page, words) {
  for (const [i, word] of words.entries()) await keyword(page, i + 1).fill(word);
}

// The preview's lines as shown: each line's phrase and, for a marked one, its reason.
const shownLines = page => page.$$eval('#preview-lines li', items => items.map(item => ({
  phrase: item.firstChild.textContent,
  reason: item.classList.contains('over') ? item.querySelector('.reason').textContent : null,
})));

test('the preview counts the lines and shows what a press copies', async t => {
  const { page } = await openPage(t);
  assert.equal(await summary(page).textContent(), 'Type keywords 1 and 2 to see the lines.');
  const subsets = page.getByLabel('Include Subsets', { exact: true });
  // The golden cases the preview shows lines for: keywords 1 and 2 given.
  const cases = lineCounts.filter(({ keywords }) => keywords[0] !== '' && keywords[1] !== '')
    .flatMap(({ keywords, lines, linesWithSubsets }) => [[keywords, false, lines], [keywords, true, linesWithSubsets]]);
  assert.notEqual(cases.length, 0);
  for (const [words, withSubsets, lines] of cases) {
    await typeKeywords(page, words);
    await subsets.setChecked(withSubsets);
    await summary(page).filter({ hasText: new RegExp(`^${lines} lines\\.`) }).waitFor();
    assert.equal((await shownLines(page)).length, lines);
  }

  // With Brackets, four keywords and subsets: the shown lines are the copied text's.
  await typeKeywords(page, ['a', 'b', 'c', 'd']);
  await subsets.check();
  await page.getByLabel('Brackets', { exact: true }).check();
  await page.locator('#preview-lines li').first().filter({ hasText: '[a b c d]' }).waitFor();
  await page.getByRole('button', { name: 'Paste permutations in Clipboard' }).click();
  await page.getByRole('status').first().filter({ hasText: 'in the clipboard' }).waitFor();
  const shown = (await shownLines(page)).map(line => line.phrase);
  assert.equal(shown.join('\r\n'), await clipboardText(page));
  assert.equal(new Set(shown).size, 60);

  // Megabytes of keywords are counted, not shown; a press still copies them all.
  const huge = 'x'.repeat(3 << 20);
  await typeKeywords(page, [huge, 'y', '', '']);
  await summary(page).filter({ hasText: 'too long' }).waitFor();
  assert.equal(await summary(page).textContent(), '2 lines, too long to show here.');
  assert.equal((await shownLines(page)).length, 0);
  await page.getByRole('button', { name: 'Paste permutations in Clipboard' }).click();
  await page.waitForFunction(() => navigator.clipboard.readText().then(text => text.startsWith('[xxx')));
  assert.equal(await clipboardText(page), `[${huge} y]\r\n[y ${huge}]`);

  // Emptying keyword 1 empties the preview.
  await keyword(page, 1).fill('');
  await summary(page).filter({ hasText: 'Type keywords' }).waitFor();
  assert.equal((await shownLines(page)).length, 0);
});

test('phrases Google Ads would not take as keywords are marked with the reason', async t => {
  const { page } = await openPage(t);
  // Characters are counted as Unicode characters, not bytes: 'é' is one. "a" + 77 'é' + " b"
  // is 80 characters (156 bytes) and fits; with one 'é' more it does not.
  const long = 'a' + 'é'.repeat(77);
  await typeKeywords(page, [long, 'b']);
  await summary(page).filter({ hasText: /^2 lines\./ }).waitFor();
  assert.deepEqual((await shownLines(page)).map(line => line.reason), [null, null]);

  await typeKeywords(page, [long + 'é', 'b']);
  await summary(page).filter({ hasText: 'not accepted' }).waitFor();
  assert.equal(await summary(page).textContent(),
               '2 lines, 2 of them not accepted by Google Ads as keywords. A press copies exactly these.');
  assert.deepEqual((await shownLines(page)).map(line => line.reason),
                   Array(2).fill('Over Google Ads’ limits: 81 characters, more than 80'));

  // Words are runs of anything but blanks and tabs: ten fit, eleven do not; a phrase can be
  // over both limits.
  await typeKeywords(page, ['one two  three four', 'five\tsix seven', 'eight nine', ' ten ']);
  await summary(page).filter({ hasText: /^24 lines\./ }).waitFor();
  assert.equal((await shownLines(page)).filter(line => line.reason).length, 0);
  await keyword(page, 4).fill('ten eleven' + 'x'.repeat(40));
  await summary(page).filter({ hasText: '24 of them not' }).waitFor();
  const reasons = new Set((await shownLines(page)).map(line => line.reason));
  assert.deepEqual([...reasons], ['Over Google Ads’ limits: 96 characters, more than 80; 11 words, more than 10']);

  // Only the phrases over a limit are marked: with subsets, the shorter ones fit.
  await keyword(page, 4).fill('ten eleven');
  await page.getByLabel('Include Subsets', { exact: true }).check();
  await summary(page).filter({ hasText: /^60 lines, 24 of them not/ }).waitFor();
  const lines = await shownLines(page);
  assert.deepEqual(lines.map(line => line.reason !== null), [...Array(24).fill(true), ...Array(36).fill(false)]);
  assert.equal(lines[0].reason, 'Over Google Ads’ limits: 11 words, more than 10');

  // Characters Google Ads does not take in a keyword are marked too, each named once.
  await typeKeywords(page, ['shoes!', 'size (42)', 'x'.repeat(80), '']);
  await page.getByLabel('Include Subsets', { exact: true }).uncheck();
  await summary(page).filter({ hasText: /^6 lines, 6 of them not/ }).waitFor();
  assert.deepEqual((await shownLines(page)).map(line => line.reason), Array(6).fill(
    'Over Google Ads’ limits: 97 characters, more than 80. Characters Google Ads does not accept in keywords: ! ( )'));
  await keyword(page, 3).fill('');
  await summary(page).filter({ hasText: /^2 lines/ }).waitFor();
  assert.deepEqual((await shownLines(page)).map(line => line.reason),
                   Array(2).fill('Characters Google Ads does not accept in keywords: ! ( )'));
});
