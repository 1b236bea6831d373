'use strict';
// scripts/run --web without a display: opens the page in headless Chromium, types the worked
// example (blue, running, shoes; Brackets, Include Subsets), presses the button, prints what
// reached the clipboard and saves a screenshot. Usage: node show.js SCREENSHOT
const { launch, pageUrl } = require('./chromium');

(async () => {
  const context = await launch();
  try {
    await context.grantPermissions(['clipboard-read', 'clipboard-write']);
    const page = context.pages()[0] || await context.newPage();
    await page.goto(pageUrl);
    for (const [n, word] of ['blue', 'running', 'shoes'].entries()) {
      await page.getByLabel(`Keyword ${n + 1}`, { exact: true }).fill(word);
    }
    await page.getByLabel('Brackets', { exact: true }).check();
    await page.getByLabel('Include Subsets', { exact: true }).check();
    await page.getByRole('button', { name: 'Paste permutations in Clipboard' }).click();
    await page.locator('#twin-message').filter({ hasText: /./ }).waitFor();
    console.log(await page.locator('#twin-message').textContent());
    console.log('clipboard:');
    console.log(await page.evaluate(() => navigator.clipboard.readText()));
    await page.screenshot({ path: process.argv[2], fullPage: true });
  } finally {
    await context.close();
  }
})().catch(error => {
  console.error(error.message);
  process.exit(1);
});
