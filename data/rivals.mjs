// SPDX-License-Identifier: GPL-3.0-or-later
// Lists, for every pair of the course, the other common English words that a dictionary gives for the
// prompt's own meaning and that the prompt's hint does not rule out: the reverse look-up a reader makes to
// judge whether a prompt is fair. Not part of the build; it reads what data/sources.sh fetches.
//
//   sh data/sources.sh FOLDER                  (once)
//   node data/rivals.mjs --sources FOLDER [--plausible] [--all]
//
// The core of a prompt is the prompt without its bracketed hint, each meaning of a "；" list on its own,
// each also tried with and without a final 的 or 地 (说（某种语言） is 说, 救；节省 is 救 and 节省; without
// the 的 only for a rival's adjective sense, with one put on only where the answer is an adjective). A rival
// is an English word, other than the answer, its inflections and its British spelling, that is on the
// junior-school, senior-school, CET-4 or CET-6 list (the ECDICT exam tags zk, gk, cet4, cet6) or among the
// 20,000 most frequent words of SUBTLEX-US (not counting inflected forms such as "alterations"), and whose
// dictionary entry gives the core exactly:
//
//   ECDICT   one item of the rival's Chinese glosses, in any sense, once split on ， ； , ; and without the
//            part of speech ("n.", "vt.", "a.") before it, is the core (an item "(使)改变" gives both 改变
//            and 使改变); the senses of a field ("[计] 数字" of dig) and of an abbreviation are left out;
//   CEDICT   CC-CEDICT glosses the core as a headword with the rival alone ("to strive; to struggle" for
//            奋斗 names strive and struggle), which is the rival's reverse look-up finding the core.
//
// Where the prompt has several meanings, a rival must give each of them (strive gives 奋斗 but not 挣扎, so
// 奋斗；挣扎 rules it out). The hint then rules a rival out by:
//
//   letters          the rival does not begin with the letters (for "a…t", does not both begin with the
//                    first and end with the last);
//   part of speech   none of the rival's senses that give the core (all its senses, for a CC-CEDICT match)
//                    is of the part of speech named (名词, 动词, 形容词, 副词);
//   全称 or 简称      the rival is shorter than the answer (全称) or longer (简称);
//   a narrower       meaning in brackets (花（时间、钱）, （局势）紧张的): the rival's ECDICT glosses have none
//                    of its words; otherwise it does not rule the rival out.
//
// Each line is "unit, tab, English, tab, Chinese, tab, rivals", a rival written as
// "word (lists; rank; how it was found; the course's own prompt, where the rival is a course word)". A
// rival marked with * is one a learner at the pair's level could plausibly type: a word on a school or
// college list at or before the pair's level (any list for a level-5 pair), or among the 10,000 most
// frequent words of SUBTLEX-US. --plausible prints only the pairs with such a rival; --all also prints,
// on lines beginning "excluded", the rivals that a hint rules out, with the reason.
import fs from 'node:fs';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { commandLine, frequencyRanks, readPairs } from './course.mjs';

const { args, sources, packages } = commandLine('node data/rivals.mjs --sources FOLDER [--plausible] [--all]');
const onlyPlausible = args.includes('--plausible');
const showExcluded = args.includes('--all');

const pairs = readPairs();
const courseWords = new Map(pairs.map((pair) => [pair.english.toLowerCase(), pair]));

// Frequency ranks: SUBTLEX-US, most frequent first.
const { ranks } = frequencyRanks(packages);
const rankOf = (word) => ranks.get(word) ?? Infinity;

// The American spelling of a British one, by rule (colour, centre, organise, analyse, practise, catalogue,
// defence, travelled); a form made so is used only where a dictionary or SUBTLEX-US knows it.
const american = (word) => word.replace(/our$/, 'or').replace(/ctise$/, 'ctice').replace(/is(e|ed|es|ing|ation)$/, 'iz$1')
    .replace(/yse$/, 'yze').replace(/tre$/, 'ter').replace(/ogue$/, 'og').replace(/ence$/, 'ense').replace(/elled$/, 'eled')
    .replace(/^grey/, 'gray');

// ECDICT: the exam tags, the glosses (senses separated by " | ") and the inflections of each plain word.
const entries = new Map();
for (const line of fs.readFileSync(path.join(sources, 'ecdict-glosses.tsv'), 'utf8').split('\n')) {
    if (!line) continue;
    const [word, tagList, translation, exchange] = line.split('\t');
    const key = word.toLowerCase();
    if (entries.has(key) && word !== key) continue; // "may" before "May"
    const forms = new Map();
    for (const item of (exchange ?? '').split('/')) {
        const [kind, form] = item.split(':');
        if (form) forms.set(kind, form.toLowerCase());
    }
    entries.set(key, { tags: (tagList ?? '').split(' ').filter((tag) => /^(zk|gk|cet4|cet6)$/.test(tag)),
        translation: translation ?? '', forms });
}
// The lists spell the British way: an American spelling has the tags of its British one.
const listTags = new Map();
for (const [word, entry] of entries) {
    for (const key of new Set([word, american(word)])) {
        if (!entry.tags.length) continue;
        listTags.set(key, [...new Set([...(listTags.get(key) ?? []), ...entry.tags])]);
    }
}
const listsOf = (word) => listTags.get(word) ?? [];
const { spache } = await import(pathToFileURL(path.join(packages, 'spache/index.js')).href);
const primary = new Set(spache);
const stageNames = { zk: 'junior', gk: 'senior', cet4: 'CET-4', cet6: 'CET-6' };
// The earliest list of a word, as the levels count it: 1 primary (junior and Spache), 2 junior, 3 senior,
// 4 CET-4, 5 CET-6, 6 none.
function stageOf(word) {
    const tags = listsOf(word);
    if (tags.includes('zk')) return primary.has(word) ? 1 : 2;
    if (tags.includes('gk')) return 3;
    if (tags.includes('cet4')) return 4;
    if (tags.includes('cet6')) return 5;
    return 6;
}

// The answer's own forms, which are no rivals: its inflections (ECDICT's and by rule) and British spellings.
function inflections(word) {
    const result = new Set([word, `${word}s`, `${word}es`, `${word}d`, `${word}ed`, `${word}ing`, `${word}er`, `${word}est`]);
    if (word.endsWith('e')) ['ing', 'er', 'est'].forEach((end) => result.add(word.slice(0, -1) + end));
    if (word.endsWith('y')) ['ies', 'ied', 'ier', 'iest'].forEach((end) => result.add(word.slice(0, -1) + end));
    if (/[^aeiou][aeiou][bdglmnprt]$/.test(word)) ['ed', 'ing', 'er', 'est'].forEach((end) => result.add(word + word.at(-1) + end));
    for (const [kind, form] of entries.get(word)?.forms ?? []) if (/^[pdi3srt]$/.test(kind)) result.add(form);
    return result;
}
function sameWord(answer, other) {
    if (inflections(answer).has(other) || inflections(other).has(answer)) return true;
    const lemma = entries.get(other)?.forms.get('0');
    if (lemma && (lemma === answer || american(lemma) === answer)) return true;
    return american(other) === answer || american(other) === american(answer);
}

// Who counts: a word on a list, or among the 20,000 most frequent of SUBTLEX-US that is not an inflected
// form of another word (stepping, alterations); a British spelling counts as the American one.
function counts(word) {
    if (!/^[a-z][a-z'-]*$/.test(word)) return false;
    const entry = entries.get(word);
    if (listsOf(word).length > 0) return true;
    const lemma = entry?.forms.get('0');
    return rankOf(word) <= 20000 && !(lemma && lemma !== word && /^[pdi3sr]+$/.test(entry.forms.get('1') ?? ''));
}
// The spelling to show: the American one where SUBTLEX-US or ECDICT knows it (labor, not labour).
function shown(word) {
    const other = american(word);
    return other !== word && (ranks.has(other) || entries.has(other)) ? other : word;
}

// Chinese text: "……" and "..." read as "…", full-width brackets as half-width.
const normal = (text) => text.replace(/……|\.\.\.+|…+/g, '…').replace(/（/g, '(').replace(/）/g, ')').trim();
// Split at , ， ; ； outside brackets.
function items(text) {
    const result = [];
    let depth = 0;
    let current = '';
    for (const char of text) {
        if (char === '(' || char === '[') depth += 1;
        if (char === ')' || char === ']') depth = Math.max(0, depth - 1);
        if (depth === 0 && /[,，;；]/.test(char)) {
            result.push(current);
            current = '';
        } else current += char;
    }
    result.push(current);
    return result.map((item) => item.trim()).filter(Boolean);
}
const posNames = { n: '名词', pl: '名词', v: '动词', vt: '动词', vi: '动词', a: '形容词', adj: '形容词', ad: '副词', adv: '副词' };
// The senses of a word: each with its part of speech (where ECDICT gives one) and the set of its items.
function senses(word) {
    const result = [];
    for (let sense of (entries.get(word)?.translation ?? '').split(' | ')) {
        sense = normal(sense);
        let pos = '';
        // A field's sense ("[计] 数字, 数位" of dig) and an abbreviation's are not the word's own meaning.
        if (/^\[[^\]]*\]/.test(sense) || /^abbr\./.test(sense)) continue;
        for (;;) {
            const marker = sense.match(/^([a-z]+)\.\s*(&\s*)?/);
            if (marker) {
                pos ||= posNames[marker[1]] ?? marker[1];
                sense = sense.slice(marker[0].length);
            } else break;
        }
        const set = new Set();
        for (const item of items(sense)) {
            set.add(item.replace(/\([^)]*\)|\[[^\]]*\]/g, '').trim());
            set.add(item.replace(/[()[\]]/g, '').trim());
        }
        set.delete('');
        result.push({ pos, items: set });
    }
    return result;
}

// ECDICT index: an item of the glosses -> the words that give it, with the parts of speech of those senses.
const glossIndex = new Map();
for (const word of entries.keys()) {
    if (!counts(word)) continue;
    for (const sense of senses(word)) {
        for (const item of sense.items) {
            if (!glossIndex.has(item)) glossIndex.set(item, new Map());
            const byWord = glossIndex.get(item);
            if (!byWord.has(word)) byWord.set(word, new Set());
            byWord.get(word).add(sense.pos);
        }
    }
}

// CC-CEDICT: a simplified headword -> the single English words its glosses give alone.
const cedictModule = await import(pathToFileURL(path.join(packages, 'cc-cedict/data/all.js')).href);
const cedict = new Map();
for (const entry of cedictModule.default.all) {
    const list = typeof entry[3] === 'string' ? [entry[3]] : entry[3] ?? [];
    if (!cedict.has(entry[1])) cedict.set(entry[1], new Set());
    for (const gloss of list.flatMap((text) => text.split(';'))) {
        const bare = gloss.toLowerCase().replace(/\([^)]*\)/g, '').replace(/\b(sb|sth)\b/g, '').trim()
            .replace(/^to /, '').replace(/^(a|an|the|be) /, '').trim();
        if (/^[a-z][a-z'-]*$/.test(bare) && counts(bare)) cedict.get(entry[1]).add(bare);
    }
}

// The hint of a prompt.
function hintOf(chinese) {
    const hint = { first: '', last: '', pos: '', form: '', narrower: [] };
    for (const [, inside] of chinese.matchAll(/（([^）]*)）/g)) {
        for (const part of inside.split('，')) {
            const letters = part.match(/^([a-z]+)(?:…([a-z]+))?$/);
            if (letters) {
                hint.first = letters[1];
                hint.last = letters[2] ?? '';
            } else if (/^(名词|动词|形容词|副词)$/.test(part)) hint.pos = part;
            else if (/^(全称|简称)$/.test(part)) hint.form = part;
            else hint.narrower.push(part);
        }
    }
    return hint;
}
function cores(chinese) {
    return normal(chinese.replace(/（[^）]*）/g, '')).split(/[；;]/).map((core) => core.trim()).filter(Boolean);
}
// The core as written, and with a final 的 or 地 taken off or put on. A form without the 的 of an adjective
// prompt counts only for a rival's adjective sense (科学的 is not science), and one with 的 or 地 put on
// only where the answer is itself an adjective or adverb (数字 is not digital).
const kindOf = { 的: '形容词', 地: '副词' };
function variants(core, answerKinds) {
    if (/.[的地]$/.test(core)) return [{ text: core }, { text: core.slice(0, -1), needs: kindOf[core.at(-1)] }];
    const result = [{ text: core }];
    for (const end of ['的', '地']) if (answerKinds.has(kindOf[end])) result.push({ text: core + end });
    return result;
}
// Words of a narrower meaning: 时间、钱 gives 时间 and 钱; 某种语言 gives 语言; a final 的 goes.
const narrowWords = (text) => text.split(/[、，,]/).map((word) => word.replace(/^(某种|某人|某事|某)/, '').replace(/的$/, ''))
    .filter((word) => word.length > 0);

const lines = [];
let pairsWithRivals = 0;
let pairsWithPlausible = 0;
let rivalCount = 0;
let plausibleCount = 0;
let excludedCount = 0;
for (const pair of pairs) {
    const answer = pair.english.toLowerCase();
    const hint = hintOf(pair.chinese);
    const found = new Map(); // rival -> { how: Set, pos: Set (of the matching senses), cores: Set }
    const coreList = cores(pair.chinese);
    const answerKinds = new Set(senses(answer).map((sense) => sense.pos));
    // The parts of speech of a rival are those of its ECDICT senses that give the core; for a rival that
    // only CC-CEDICT finds, those of all its senses.
    const note = (word, how, posList, index, fromEcdict) => {
        if (!found.has(word)) found.set(word, { how: new Set(), posE: new Set(), posC: new Set(), cores: new Set() });
        const rival = found.get(word);
        rival.how.add(how);
        posList.forEach((pos) => (fromEcdict ? rival.posE : rival.posC).add(pos));
        rival.cores.add(index);
    };
    coreList.forEach((core, index) => {
        for (const variant of variants(core, answerKinds)) {
            for (const [british, posSet] of glossIndex.get(variant.text) ?? []) {
                if (variant.needs && !posSet.has(variant.needs)) continue;
                note(shown(british), `ECDICT ${variant.text}`, posSet, index, true);
            }
            for (const british of cedict.get(variant.text) ?? []) {
                const posList = senses(british).map((sense) => sense.pos);
                if (variant.needs && !posList.includes(variant.needs)) continue;
                note(shown(british), `CC-CEDICT ${variant.text}`, posList, index, false);
            }
        }
    });
    const rivals = [];
    const excluded = [];
    for (const [word, rival] of found) {
        if (sameWord(answer, word)) continue;
        // An inflected form whose base is itself a rival says nothing more (pupils beside pupil).
        const lemma = entries.get(word)?.forms.get('0');
        if (lemma && lemma !== word && found.has(lemma)) continue;
        const pos = rival.posE.size ? rival.posE : rival.posC;
        let why = '';
        if (rival.cores.size < coreList.length) why = 'gives only one of the meanings';
        else if (hint.first && !(word.startsWith(hint.first) && word.endsWith(hint.last)))
            why = `letters ${hint.first}${hint.last ? `…${hint.last}` : ''}`;
        else if (hint.pos && !pos.has(hint.pos) && [...pos].some((kind) => /词$/.test(kind)))
            why = `part of speech ${hint.pos}`;
        else if (hint.form === '全称' && word.length < answer.length) why = '全称';
        else if (hint.form === '简称' && word.length > answer.length) why = '简称';
        else if (hint.narrower.length) {
            const text = entries.get(word)?.translation ?? '';
            if (!hint.narrower.flatMap(narrowWords).some((piece) => text.includes(piece)))
                why = `narrower meaning ${hint.narrower.join('，')}`;
        }
        const stage = stageOf(word);
        const lists = ['zk', 'gk', 'cet4', 'cet6'].filter((tag) => listsOf(word).includes(tag)).map((tag) => stageNames[tag]).join(' ') || 'no list';
        const rank = rankOf(word);
        const plausible = (stage <= 5 && (stage <= pair.level || pair.level === 5)) || rank <= 10000;
        const there = courseWords.get(word);
        const text = `${plausible ? '*' : ''}${word} (${lists}; rank ${rank === Infinity ? '–' : rank}; ` +
            `${[...rival.how].join(', ')}${there ? `; course ${there.code} ${there.chinese}` : ''})`;
        if (why) excluded.push({ text: `${text}: ${why}`, rank });
        else rivals.push({ text, rank, plausible });
    }
    excludedCount += excluded.length;
    if (rivals.length) {
        pairsWithRivals += 1;
        rivalCount += rivals.length;
        const plausible = rivals.filter((rival) => rival.plausible).length;
        plausibleCount += plausible;
        if (plausible) pairsWithPlausible += 1;
        if (!onlyPlausible || plausible) {
            rivals.sort((a, b) => a.rank - b.rank);
            lines.push([pair.code, pair.english, pair.chinese, rivals.map((rival) => rival.text).join(', ')].join('\t'));
        }
    }
    if (showExcluded && excluded.length) {
        excluded.sort((a, b) => a.rank - b.rank);
        lines.push(['excluded', pair.code, pair.english, pair.chinese, excluded.map((rival) => rival.text).join(', ')].join('\t'));
    }
}
for (const line of lines) console.log(line);
console.error(`pairs checked: ${pairs.length}; pairs with a rival the hint leaves open: ${pairsWithRivals} ` +
    `(${rivalCount} rivals), ${pairsWithPlausible} of them with a plausible one (${plausibleCount} rivals); ` +
    `rivals ruled out by a hint: ${excludedCount}`);
