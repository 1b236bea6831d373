'use strict';
// Puts the page together: varnholt.html with its stylesheet, scripts and engine inlined, so
// that the one file works offline, opened straight from the disk. The engine goes in gzipped
// (the browser's DecompressionStream inflates it), as base64: a third of the size it would be.
// The version at the page's foot is the project's, given by the build. The page has a size
// budget, so its scripts go in minified by terser (installed beside the output with the test
// modules) and its stylesheet without comments, blank lines and indents.
// Usage: node assemble.js SOURCE_DIR ENGINE_WASM OUTPUT_HTML VERSION
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');

// Inlined text must not end the element it is put in.
function inline(text, name, closing) {
  if (text.toLowerCase().includes(closing)) throw new Error(`${name} contains ${closing}`);
  return text;
}

// Comments by pattern: none of the stylesheet's strings may hold one's opening.
function slimStyle(text, name) {
  if (/["'][^"'\n]*\/\*/.test(text)) throw new Error(`${name}: a string holds "/*"`);
  return text.replace(/\/\*[^]*?\*\//g, '').split('\n').map(line => line.trim()).filter(line => line !== '').join('\n') + '\n';
}

// Top-level names stay as they are: the page's scripts share them.
async function minifyScript(text, name, terser) {
  const { code } = await terser.minify({ [name]: text }, { compress: true, mangle: true });
  return code + '\n';
}

async function assemble(sourceDir, enginePath, outputPath, version) {
  const terser = require(require.resolve('terser', { paths: [path.dirname(outputPath)] }));
  const read = name => fs.readFileSync(path.join(sourceDir, name), 'utf8');
  let page = read('varnholt.html').replaceAll('@VARNHOLT_VERSION@', version);
  page = page.replace(/<link rel="stylesheet" href="([^"]+)">/g,
    (_, name) => `<style>\n${inline(slimStyle(read(name), name), name, '</style')}</style>`);
  const scripts = [...page.matchAll(/<script([^>]*) src="([^"]+)"><\/script>/g)];
  for (const [element, attributes, name] of scripts) {
    const text = name.endsWith('.wasm') ? zlib.gzipSync(fs.readFileSync(enginePath), { level: 9 }).toString('base64') :
      await minifyScript(read(name), name, terser);
    page = page.replace(element, () => `<script${attributes}>\n${inline(text, name, '</script')}</script>`);
  }
  fs.writeFileSync(outputPath, page);
}

if (require.main === module) {
  assemble(...process.argv.slice(2)).catch(error => {
    console.error(error.message);
    process.exit(1);
  });
}
module.exports = { slimStyle };
