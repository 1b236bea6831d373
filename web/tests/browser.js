'use strict';
// Opens build/web/varnholt.html in Debian's Chromium for a test: clipboard permissions granted,
// every request recorded and every browser dialog counted (the page must never use one).
const { buildDir, pagePath, pageUrl, launch } = require('../chromium');

// A page on a fresh browser, closed after the test `t`.
async function openPage(t, { clipboard = true, initScript } = {}) {
  const context = await launch();
  t.after(() => context.close());
  if (clipboard) await context.grantPermissions(['clipboard-read', 'clipboard-write']);
  const requests = [];
  context.on('request', request => requests.push(request.url()));
  const dialogs = [];
  const errors = [];
  const page = context.pages()[0] || await context.newPage();
  page.on('dialog', dialog => {
    dialogs.push(dialog.message());
    dialog.dismiss();
  });
  page.on('pageerror', error => errors.push(error.message));
  if (initScript) await page.addInitScript(initScript);
  await page.goto(pageUrl);
  return { context, page, requests, dialogs, errors };
}

const clipboardText = page => page.evaluate(() => navigator.clipboard.readText());

module.exports = { buildDir, pagePath, pageUrl, launch, openPage, clipboardText };
