'use strict';
// Puts the page together: varnholt.html with its stylesheet, scripts and engine inlined, so
// that the one file works offline, opened straight from the disk. The engine goes in gzipped
// (the browser's DecompressionStream inflates it), as base64: a third of the size it would be.
// The version at the page's foot is the project's, given by the build. The page has a size
// budget, so its scripts and stylesheet go in without their comments, blank lines and indents.
// Usage: node assemble.js SOURCE_DIR ENGINE_WASM OUTPUT_HTML VERSION
const fs = require('fs');
const path = require('path');
const vm = require('vm');
const zlib = require('zlib');

// Inlined text must not end the element it is put in.
function inline(text, name, closing) {
  if (text.toLowerCase().includes(closing)) throw new Error(`${name} contains ${closing}`);
  return text;
}

// Whole lines only, so nothing within a line changes: whole-line comments and blank lines go,
// indents go. That is safe while no string spans lines, which the scripts are checked for: a
// line may not end inside a template literal or with a backslash. The result must still parse.
function slimScript(text, name) {
  const lines = text.split('\n').map(line => line.trimStart())
    .filter(line => line !== '' && !line.startsWith('//'));
  for (const line of lines) {
    if ((line.match(/(?<!\\)`/g) || []).length % 2 || line.endsWith('\\')) {
      throw new Error(`${name}: a string may span lines at "${line}"; the page is assembled line by line`);
    }
  }
  const slim = lines.join('\n') + '\n';
  new vm.Script(slim, { filename: name });
  return slim;
}

// Comments by pattern: none of the stylesheet's strings may hold one's opening.
function slimStyle(text, name) {
  if (/["'][^"'\n]*\/\*/.test(text)) throw new Error(`${name}: a string holds "/*"`);
  return text.replace(/\/\*[^]*?\*\//g, '').split('\n').map(line => line.trim()).filter(line => line !== '').join('\n') + '\n';
}

function assemble(sourceDir, enginePath, outputPath, version) {
  const read = name => fs.readFileSync(path.join(sourceDir, name), 'utf8');
  let page = read('varnholt.html').replaceAll('@VARNHOLT_VERSION@', version);
  page = page.replace(/<link rel="stylesheet" href="([^"]+)">/g,
    (_, name) => `<style>\n${inline(slimStyle(read(name), name), name, '</style')}</style>`);
  page = page.replace(/<script([^>]*) src="([^"]+)"><\/script>/g, (_, attributes, name) => {
    const text = name.endsWith('.wasm') ? zlib.gzipSync(fs.readFileSync(enginePath), { level: 9 }).toString('base64') :
      slimScript(read(name), name);
    return `<script${attributes}>\n${inline(text, name, '</script')}</script>`;
  });
  fs.writeFileSync(outputPath, page);
}

if (require.main === module) assemble(...process.argv.slice(2));
module.exports = { slimScript, slimStyle };
