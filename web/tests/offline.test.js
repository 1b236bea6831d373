'use strict';
// The page is one file that works offline: using all of it makes no request but for the file
// itself and its own blob: and data: URLs, and no form can be sent anywhere. And a screenshot
// of it in use, to look at.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { openPage, pageUrl, buildDir } = require('./browser');

test('using all of the page makes no network request, and a screenshot shows it in use', async t => {
  const { page, requests, errors } = await openPage(t);
  for (const [n, word] of ['blue', 'running', 'shoes', 'a very long keyword that takes the phrases over the limit of eighty characters'].entries()) {
    await page.getByLabel(`Keyword ${n + 1}`, { exact: true }).fill(word);
  }
  await page.getByLabel('Brackets', { exact: true }).check();
  await page.getByRole('button', { name: 'Paste permutations in Clipboard' }).click();
  await page.getByRole('status').first().filter({ hasText: 'in the clipboard' }).waitFor();

  // Campaign mode: a file read in the worker, a download and its messages.
  const input = path.join(fs.mkdtempSync(path.join(os.tmpdir(), 'varnholt-offline-')), 'spring.tsv');
  t.after(() => fs.rmSync(path.dirname(input), { recursive: true, force: true }));
  fs.writeFileSync(input, 'blue\trunning\tshoes\t\tShoes\nred\tsocks\nvery long keyword number one\tvery long keyword number two\tvery long keyword number three\n');
  await page.getByLabel('Or load a file').setInputFiles(input);
  await page.getByLabel('Campaign name (optional)').fill('Spring sale');
  const download = page.waitForEvent('download');
  await page.getByRole('button', { name: 'Download campaign' }).click();
  assert.equal((await download).suggestedFilename(), 'Spring sale.csv');
  await page.locator('#campaign-status').filter({ hasText: /^Done/ }).waitFor();

  const screenshot = path.join(buildDir, 'varnholt.png');
  await page.screenshot({ path: screenshot, fullPage: true });
  assert.equal(fs.readFileSync(screenshot).subarray(1, 4).toString(), 'PNG');

  const foreign = requests.filter(url => url !== pageUrl && !/^(blob|data):/.test(url));
  assert.deepEqual(foreign, []);
  assert.ok(requests.includes(pageUrl));
  assert.deepEqual(errors, []);
});

test('a form submitted by a script reaches no network', async t => {
  const { page, requests } = await openPage(t);
  const target = 'https://varnholt.invalid/collect';
  const blocked = await page.evaluate(action => new Promise(resolve => {
    document.addEventListener('securitypolicyviolation', event => resolve(event.effectiveDirective));
    const form = document.body.appendChild(document.createElement('form'));
    form.method = 'post';
    form.action = action;
    form.submit();
  }), target);
  assert.equal(blocked, 'form-action');
  assert.deepEqual(requests.filter(url => url.startsWith(target)), []);
});
