'use strict';
// Puts the page together: varnholt.html with its stylesheet, scripts and engine inlined, so
// that the one file works offline, opened straight from the disk. The engine goes in gzipped
// (the browser's DecompressionStream inflates it), as base64: a third of the size it would be.
// The version at the page's foot is the project's, given by the build.
// Usage: node assemble.js SOURCE_DIR ENGINE_WASM OUTPUT_HTML VERSION
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');
const [sourceDir, enginePath, outputPath, version] = process.argv.slice(2);

const read = name => fs.readFileSync(path.join(sourceDir, name), 'utf8');
// Inlined text must not end the element it is put in.
function inline(text, name, closing) {
  if (text.toLowerCase().includes(closing)) throw new Error(`${name} contains ${closing}`);
  return text;
}

let page = read('varnholt.html').replaceAll('@VARNHOLT_VERSION@', version);
page = page.replace(/<link rel="stylesheet" href="([^"]+)">/g,
  (_, name) => `<style>\n${inline(read(name), name, '</style')}</style>`);
page = page.replace(/<script([^>]*) src="([^"]+)"><\/script>/g, (_, attributes, name) => {
  const text = name.endsWith('.wasm') ? zlib.gzipSync(fs.readFileSync(enginePath), { level: 9 }).toString('base64') : read(name);
  return `<script${attributes}>\n${inline(text, name, '</script')}</script>`;
});
fs.writeFileSync(outputPath, page);
