'use strict';
// Debian's Chromium driven by playwright-core, for the tests, the benchmark and scripts/run:
// a fresh profile each time, nothing of its own fetched, headless with a clipboard of its own.
const fs = require('fs');
const os = require('os');
const path = require('path');
const { createRequire } = require('module');

const buildDir = process.env.VARNHOLT_WEB_BUILD || path.resolve(__dirname, '../build/web');
// VARNHOLT_PAGE: another copy of the page, such as the one unpacked from the download.
const pagePath = process.env.VARNHOLT_PAGE || path.join(buildDir, 'varnholt.html');
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
    // Never the desktop's clipboard, whatever display is set.
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

module.exports = { buildDir, pagePath, pageUrl, launch };
