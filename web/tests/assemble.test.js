'use strict';
// What assemble.js takes out of the stylesheet it inlines, and what it refuses to touch.
const test = require('node:test');
const assert = require('node:assert/strict');
const { slimStyle } = require('../assemble');

test("the stylesheet's comments, blank lines and indents go, unless a string holds a comment's opening", () => {
  assert.equal(slimStyle('/* why,\n   at length */\np {\n\n  color: red;\n}\n', 'varnholt.css'), 'p {\ncolor: red;\n}\n');
  assert.throws(() => slimStyle('p::before { content: "/*"; }\n', 'varnholt.css'));
});
