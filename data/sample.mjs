// SPDX-License-Identifier: GPL-3.0-or-later
// Draws a random sample of the course's pairs for a reviewer, the same sample for the same seed:
//   node data/sample.mjs SEED N
// prints N lines "unit<TAB>english<TAB>chinese", drawn without repeats from all twenty units.
import { readPairs } from './course.mjs';

const [seedText, countText] = process.argv.slice(2);
const seed = Number(seedText);
const count = Number(countText);
if (!Number.isInteger(seed) || !Number.isInteger(count) || count < 1) {
    console.error('usage: node data/sample.mjs SEED N');
    process.exit(2);
}
const pairs = readPairs().map(({ code, english, chinese }) => [code, english, chinese]);

// mulberry32: a small seeded generator, so that anyone can draw the same sample again.
let state = seed >>> 0;
const random = () => {
    state = (state + 0x6d2b79f5) >>> 0;
    let t = state;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
};
// The first N steps of a Fisher-Yates shuffle.
const n = Math.min(count, pairs.length);
for (let i = 0; i < n; ++i) {
    const j = i + Math.floor(random() * (pairs.length - i));
    [pairs[i], pairs[j]] = [pairs[j], pairs[i]];
}
for (const pair of pairs.slice(0, n)) console.log(pair.join('\t'));
