'use strict';
// What the page, its worker and the benchmark hand the engine and read back from it: strings
// put into its memory, and the names of its campaign flags and results. The page runs this
// file as a script and starts the worker from its text followed by the worker's.

// Strings (or bytes, as a Uint8Array) for an engine function, one after another in its memory,
// their sizes (32-bit) in front: the addresses of the sizes and of the bytes, or null when the
// engine has no memory for them. The caller releases `sizes` when the call is done.
function putStrings(engine, strings) {
  const encoder = new TextEncoder();
  const encoded = strings.map(text => typeof text === 'string' ? encoder.encode(text) : text);
  const sizes = engine.allocate(4 * encoded.length + encoded.reduce((sum, b) => sum + b.length, 0));
  if (!sizes) return null;
  new Uint32Array(engine.memory.buffer, sizes, encoded.length).set(encoded.map(b => b.length));
  const memory = new Uint8Array(engine.memory.buffer);
  const bytes = sizes + 4 * encoded.length;
  encoded.reduce((offset, b) => (memory.set(b, offset), offset + b.length), bytes);
  return { sizes, bytes };
}

// The engine's campaign flags and results by name: { flags: { subsets: 1, ... }, results: {
// written: 0, ... } }.
function engineNames(engine) {
  const at = engine.allocate(4);
  const json = at && engine.names(at);
  const size = at && new Uint32Array(engine.memory.buffer, at, 1)[0];
  if (at) engine.release(at);
  if (!json) throw new Error('no memory for the engine\'s names');
  return JSON.parse(new TextDecoder().decode(new Uint8Array(engine.memory.buffer, json, size)));
}

// The campaign flags for options named as the engine names them ({ subsets: true, ... }); a
// name the engine does not know is an error, never a flag silently left out.
function campaignFlags(names, options) {
  return Object.entries(options).reduce((bits, [name, on]) => {
    if (!(name in names.flags)) throw new Error(`the engine has no option ${name}`);
    return on ? bits | names.flags[name] : bits;
  }, 0);
}

if (typeof module === 'object') module.exports = { putStrings, engineNames, campaignFlags };
