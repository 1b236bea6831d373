'use strict';
// Opens build/web/varnholt.html in Debian's Chromium for a test: a fresh profile, no network
// of its own, clipboard permissions granted, every request recorded and every browser dialog
// counted (the page must never use one).
const fs = require('fs');
const os = require('os');
const path = require('path');
const { createRequire } = require('module');

const buildDir = process.env.VARNHOLT_WEB_BUILD || path.resolve(__dirname, '../../build/web');
const pagePath = path.join(buildDir, 'varnholt.html');
const pageUrl = 'file://' + pagePath;
// playwright-core lives in the build folder, installed there from web/package-lock.json.
const { chromium } = createRequire(path.join(buildDir, 'package.json'))('playwright-core');

const kChromiumArgs = ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
                       '--disable-component-update', '--disable-sync'];

async function launch(options = {}) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'varnholt-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: process.env.VARNHOLT_CHROMIUM || '/usr/bin/chromium',
    args: kChromiumArgs,
    acceptDownloads: true,
    // Headless, with a clipboard of its own: never the desktop's, whatever display is set.
    env: Object.fromEntries(Object.entries(process.env).filter(([name]) => !/^(DISPLAY|WAYLAND_DISPLAY)$/.test(name))),
    viewport: { width: 1000, height: 900 },
    ...options,
  });
  // The profile goes once the browser has let go of it.
  const close = context.close.bind(context);
  context.close = async () => {
    await close();
    fs.rmSync(profile, { recursive: true, force: true, maxRetries: 5 });
  };
  return context;
}

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

module.exports = { buildDir, pagePath, pageUrl, launch, openPage, clipboardText, kChromiumArgs };
