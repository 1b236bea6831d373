'use strict';
// The golden cases shared with the C++ tests, tests/golden/keyword_sets.tsv: the worked example
// and how many lines a set gives.
const fs = require('fs');
const path = require('path');

const records = fs.readFileSync(path.join(__dirname, '../../tests/golden/keyword_sets.tsv'), 'utf8')
  .split(/\r?\n/).filter(line => line !== '' && !line.startsWith('#')).map(line => line.split('\t'));

const [example] = records.filter(([kind]) => kind === 'example');
// Its keywords, and its lines with Brackets and Include Subsets.
const workedExample = { keywords: example.slice(1, 5), lines: example.slice(5) };

// Each case's keywords, and its lines without subsets and with them.
const lineCounts = records.filter(([kind]) => kind === 'lines')
  .map(fields => ({ keywords: fields.slice(1, 5), lines: Number(fields[5]), linesWithSubsets: Number(fields[6]) }));

module.exports = { workedExample, lineCounts };
