'use strict';
// What assemble.js takes out of the scripts and the stylesheet it inlines, and what it refuses
// to touch.
const test = require('node:test');
const assert = require('node:assert/strict');
const { slimScript, slimStyle } = require('../assemble');

test('whole-line comments, blank lines and indents go; everything else within a line stays', () => {
  for (const [script, slim] of [
    ['a();\n  // why\n\n  b();\n', 'a();\nb();\n'],
    ['a(); // why\n', 'a(); // why\n'],
    ["const url = '  // not a comment';\n", "const url = '  // not a comment';\n"],
    ['const t = `${1}  //`;\n', 'const t = `${1}  //`;\n'],
  ]) assert.equal(slimScript(script, 'page.js'), slim);
});

test('a string across lines, or a script that no longer parses, stops the page being built', () => {
  for (const script of ['const t = `a\n  // b\n`;\n', "const s = 'a\\\n  b';\n", 'a(;\n']) {
    assert.throws(() => slimScript(script, 'page.js'));
  }
});

test("the stylesheet's comments, blank lines and indents go, unless a string holds a comment's opening", () => {
  assert.equal(slimStyle('/* why,\n   at length */\np {\n\n  color: red;\n}\n', 'varnholt.css'), 'p {\ncolor: red;\n}\n');
  assert.throws(() => slimStyle('p::before { content: "/*"; }\n', 'varnholt.css'));
});
