'use strict';
// The page's figures (not tests): its size, the time from opening it to a usable form, and
// campaign mode on 100,000 sets of four 8-byte keywords against varnholt-cli on the same file
// and options, measured in the same run. Usage: node benchmark.js CLI WORK_DIR
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');
const { spawnSync } = require('child_process');
const { launch, pageUrl, pagePath, buildDir } = require('./chromium');
const { putStrings, engineNames, campaignFlags } = require('./engine_memory');

const [cli, work] = process.argv.slice(2);
const kLoads = 21;
const kCliRuns = 11;
const kPageRuns = 5;
const median = values => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const ms = value => `${value.toFixed(1)} ms`;

// As cli/cli_benchmark.sh makes them.
function makeSets(count) {
  const file = path.join(work, `sets-${count}.tsv`);
  const lines = [];
  for (let i = 0; i < count; ++i) lines.push([...'abcd'].map(c => c + String(i).padStart(7, '0')).join('\t'));
  fs.writeFileSync(file, lines.join('\n') + '\n');
  return file;
}

// The engine alone, under node's V8 (Chromium's engine): the input from memory, the output
// dropped, as varnholt-cli's to /dev/null.
function timeEngine(input, options) {
  const module = new WebAssembly.Module(fs.readFileSync(path.join(buildDir, 'varnholt_engine.wasm')));
  const times = [];
  for (let run = 0; run < kCliRuns; ++run) {
    let engine;
    let offset = 0;
    engine = new WebAssembly.Instance(module, { env: {
      read_input(into, size) {
        const count = Math.min(size, input.length - offset);
        new Uint8Array(engine.memory.buffer, into, count).set(input.subarray(offset, offset + count));
        offset += count;
        return count;
      },
      take_output: () => 1,
      take_message() {},
    } }).exports;
    engine._initialize();
    const names = engineNames(engine);
    const strings = putStrings(engine, ['phrase', 'auto', '', 'sets']);
    const start = performance.now();
    if (engine.campaign(strings.bytes, strings.sizes, campaignFlags(names, options), 0) !== names.results.written) {
      throw new Error('the engine failed');
    }
    times.push(performance.now() - start);
  }
  return median(times);
}

// varnholt-cli with its standard output to /dev/null, or to a file (as a shell's redirection,
// not -o, which also waits for the disk).
function timeCli(args, outputFile) {
  const times = [];
  for (let run = 0; run < kCliRuns; ++run) {
    const output = outputFile ? fs.openSync(outputFile, 'w') : 'ignore';
    const start = process.hrtime.bigint();
    const result = spawnSync(cli, args, { stdio: ['ignore', output, 'inherit'] });
    times.push(Number(process.hrtime.bigint() - start) / 1e6);
    if (outputFile) fs.closeSync(output);
    if (result.status !== 0) throw new Error(`${cli} ${args.join(' ')} failed`);
  }
  return median(times);
}

// From the press of "Download campaign" to the finished file handed to the browser's download.
async function timePage(page, file, options) {
  await page.goto(pageUrl);
  await page.getByLabel('Or load a file').setInputFiles(file);
  await page.getByLabel('Include subsets', { exact: true }).setChecked(true);
  await page.getByLabel('Download as').selectOption(options.output);
  await page.getByLabel('Line ends').selectOption(options.lineEnds);
  const times = [];
  for (let run = 0; run < kPageRuns; ++run) {
    await page.evaluate(() => new Promise(resolve => {
      const link = document.getElementById('download-link');
      link.removeAttribute('href');
      window.campaignTime = new Promise(done => {
        let start;
        document.getElementById('campaign').addEventListener('submit', () => { start = performance.now(); }, { once: true });
        new MutationObserver((_, observer) => {
          if (!link.getAttribute('href')) return;
          observer.disconnect();
          done(performance.now() - start);
        }).observe(link, { attributes: true, attributeFilter: ['href'] });
      });
      resolve();
    }));
    const downloaded = page.waitForEvent('download');
    await page.getByRole('button', { name: 'Download campaign' }).click();
    times.push(await page.evaluate(() => window.campaignTime));
    // Headless Chromium at times cancels one of the downloads (the third, where it was seen). The
    // time ends when the file is ready to download, before that, so only the file's size is lost.
    const download = await downloaded;
    if (await download.failure()) {
      ++options.cancelled;
    } else {
      options.size = fs.statSync(await download.path()).size;
      await download.delete();
    }
  }
  return median(times);
}

(async () => {
  const html = fs.statSync(pagePath).size;
  const wasm = fs.readFileSync(path.join(buildDir, 'varnholt_engine.wasm'));
  console.log(`varnholt.html: ${html} bytes (${(html / 1024).toFixed(1)} KiB of 64); engine ${wasm.length} bytes, ` +
              `${zlib.gzipSync(wasm, { level: 9 }).length} gzipped`);

  const context = await launch();
  try {
    const page = context.pages()[0] || await context.newPage();
    const ready = [];
    const loaded = [];
    for (let load = 0; load < kLoads; ++load) {
      await page.goto('about:blank');
      await page.goto(pageUrl);
      await page.waitForFunction(() => performance.getEntriesByName('varnholt-ready').length > 0);
      ready.push(await page.evaluate(() => performance.getEntriesByName('varnholt-ready')[0].startTime));
      loaded.push(await page.evaluate(() => performance.getEntriesByType('navigation')[0].domContentLoadedEventEnd));
    }
    console.log(`opening to a usable form (median of ${kLoads}): form shown ${ms(median(loaded))}, engine ready ${ms(median(ready))}`);

    const sets = makeSets(100000);
    const input = fs.readFileSync(sets);
    // The engine's options as the page names them.
    for (const options of [{ output: 'text', lineEnds: 'lf', args: ['--lf'], engine: { subsets: true } },
                           { output: 'csv', lineEnds: 'crlf', args: ['--format', 'csv', '--crlf'],
                             engine: { subsets: true, csvOutput: true, crLf: true } }]) {
      const args = ['--subsets', '--input', sets, ...options.args];
      const toNull = timeCli(args);
      const toFile = timeCli(args, path.join(work, 'out'));
      const engine = timeEngine(input, options.engine);
      options.cancelled = 0;
      const inPage = await timePage(page, sets, options);
      const cancelled = options.cancelled ? `; ${options.cancelled} of the downloads cancelled by Chromium` : '';
      console.log(`100,000 sets with subsets, ${options.output} (${options.size} bytes):\n` +
                  `  page, press to file ready to download: ${ms(inPage)} (median of ${kPageRuns}${cancelled})\n` +
                  `  the engine alone in node's V8, output dropped: ${ms(engine)} (median of ${kCliRuns})\n` +
                  `  varnholt-cli to /dev/null: ${ms(toNull)}, to a file (> FILE): ${ms(toFile)} (medians of ${kCliRuns})\n` +
                  `  page against varnholt-cli: ${(inPage / toFile).toFixed(2)} times its time to a file, ` +
                  `${(inPage / toNull).toFixed(2)} times to /dev/null; engine alone ${(engine / toNull).toFixed(2)} times`);
      fs.rmSync(path.join(work, 'out'));
    }
  } finally {
    await context.close();
  }
})().catch(error => {
  console.error(error);
  process.exit(1);
});
