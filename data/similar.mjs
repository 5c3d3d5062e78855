// SPDX-License-Identifier: GPL-3.0-or-later
// Lists pairs of the course whose prompt may admit a second common English answer, for a person to read.
// Not part of the build; it reads what data/sources.sh fetches.
//
//   sh data/sources.sh FOLDER                  (once)
//   node data/similar.mjs --sources FOLDER [--section forms|cores|glosses]
//
// Three mechanical searches, each printed as lines "section, tab, unit, tab, English, tab, Chinese, tab, what":
//
//   forms    a course word with a derived or base form that is a common English word (the limit of
//            "limitation", the approval of "approve", and a short list of pairs whose stem changes, such as
//            prove and proof) and that the prompt's hint does not rule out: the prompt has no part of
//            speech in brackets, its letters, if any, fit the form too, and the form's ending suits what the
//            Chinese stands for (no adverb in -ly for a prompt in 的).
//   cores    two course words whose prompts have the same Chinese core once the hints, a final 的 or 地
//            and a leading 在, 使 or 被 are stripped, or where one core holds the other (前面 and 在前面).
//   glosses  a prompt one of whose headwords CC-CEDICT glosses with another common English word, at
//            least a third as frequent as the answer, that the prompt's letters do not rule out (额外 is
//            glossed "extra" and "additional").
//
// A common English word is one on the junior-school, senior-school, CET-4 or CET-6 list (the ECDICT exam
// tags) or among the 10,000 most frequent words of SUBTLEX-US. The searches overshoot on purpose: every
// line is a question for the reader, not a verdict, and many are fair already (the Chinese names one part
// of speech, or the other word is not a meaning of the prompt).
import fs from 'node:fs';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { commandLine, frequencyRanks, readPairs } from './course.mjs';

const { option, sources, packages } = commandLine(
    'node data/similar.mjs --sources FOLDER [--section forms|cores|glosses]');
const only = option('--section');

const pairs = readPairs();
const courseWords = new Map(pairs.map((pair) => [pair.english.toLowerCase(), pair]));

// Frequency ranks (SUBTLEX-US, most frequent first) and the school and college lists (ECDICT tags).
const { ranks, entryRank: rankOf } = frequencyRanks(packages);
const listedWords = new Set();
for (const line of fs.readFileSync(path.join(sources, 'ecdict-tags.tsv'), 'utf8').split('\n')) {
    const [word, tagList] = line.split('\t');
    if (word && /\b(zk|gk|cet4|cet6)\b/.test(tagList)) listedWords.add(word.toLowerCase());
}
// The lists spell the British way.
const american = (word) => word.replace(/our$/, 'or').replace(/is(e|ation|ing)$/, 'iz$1').replace(/yse$/, 'yze')
    .replace(/tre$/, 'ter');
const listedAmerican = new Set([...listedWords].map(american));
// A spelling made American by rule counts only where SUBTLEX-US knows it (not "praize" from "praise").
const common = (word) => listedWords.has(word) || (listedAmerican.has(word) && ranks.has(word)) || rankOf(word) <= 10000;

// The hint of a prompt: the part of speech and the letters in its brackets.
function hintOf(chinese) {
    const hint = { pos: /（[^）]*(动词|名词|形容词|副词)/.test(chinese), first: '', last: '' };
    const letters = chinese.match(/（(?:[^）]*，)?([a-z]+)(?:…([a-z]+))?）/);
    if (letters) {
        hint.first = letters[1];
        hint.last = letters[2] ?? '';
    }
    return hint;
}
const fits = (hint, word) => word.startsWith(hint.first) && word.endsWith(hint.last);

// Inflections of a word, which are not other answers.
function inflections(word) {
    const result = new Set([word, `${word}s`, `${word}es`, `${word}d`, `${word}ed`, `${word}ing`, `${word}er`, `${word}est`]);
    if (word.endsWith('e')) ['ing', 'er', 'est'].forEach((end) => result.add(word.slice(0, -1) + end));
    if (word.endsWith('y')) ['ies', 'ied', 'ier', 'iest'].forEach((end) => result.add(word.slice(0, -1) + end));
    const last = word.at(-1);
    if (/[^aeiou][aeiou][bdglmnprt]$/.test(word)) ['ed', 'ing', 'er', 'est'].forEach((end) => result.add(word + last + end));
    return result;
}

// Derived and base forms: the word with a suffix added, taken off, or exchanged for another, with the
// usual changes of spelling at the join (a final e dropped, y to i, a consonant doubled).
const suffixes = ['tion', 'ation', 'ition', 'sion', 'ion', 'ment', 'ance', 'ence', 'ancy', 'ency', 'cy', 'al',
    'ial', 'ual', 'ity', 'ility', 'ness', 'ly', 'ally', 'er', 'or', 'ive', 'ative', 'ize', 'ify', 'ist', 'ism',
    'ous', 'ful', 'ic', 'ical', 'able', 'ible', 'ant', 'ent', 'ure', 'ing', 'age', 'y', 'ee', 'ate', 'en'];
function joins(base) {
    const result = new Set([base]);
    if (base.endsWith('e')) result.add(base.slice(0, -1));
    if (base.endsWith('y')) result.add(`${base.slice(0, -1)}i`);
    if (base.endsWith('ate')) result.add(base.slice(0, -3));
    if (base.endsWith('le')) result.add(`${base.slice(0, -2)}il`); // able, ability
    if (/[^aeiou][aeiou][bdglmnprt]$/.test(base)) result.add(base + base.at(-1));
    return [...result];
}
function bases(word) {
    const result = new Set([word]);
    for (const suffix of suffixes) {
        if (!word.endsWith(suffix) || word.length - suffix.length < 3) continue;
        const stem = word.slice(0, -suffix.length);
        result.add(stem);
        result.add(`${stem}e`);
        if (stem.endsWith('i')) result.add(`${stem.slice(0, -1)}y`);
        if (/(.)\1$/.test(stem)) result.add(stem.slice(0, -1));
        if (stem.endsWith('il')) result.add(`${stem.slice(0, -2)}le`);
    }
    return [...result];
}
// Pairs that a suffix rule does not find, since the stem changes (prove, proof; lose, loss).
const irregular = [
    ['prove', 'proof'], ['choose', 'choice'], ['succeed', 'success'], ['die', 'death'], ['lose', 'loss'],
    ['grow', 'growth'], ['believe', 'belief'], ['live', 'life'], ['advise', 'advice'], ['behave', 'behavior'],
    ['analyze', 'analysis'], ['pursue', 'pursuit'], ['respond', 'response'], ['defend', 'defense'],
    ['offend', 'offense'], ['complain', 'complaint'], ['please', 'pleasure'], ['solve', 'solution'],
    ['describe', 'description'], ['permit', 'permission'], ['explain', 'explanation'], ['admit', 'admission'],
    ['decide', 'decision'], ['conclude', 'conclusion'], ['receive', 'receipt'], ['receive', 'reception'],
    ['deceive', 'deception'], ['perceive', 'perception'], ['assume', 'assumption'], ['consume', 'consumption'],
    ['produce', 'product'], ['think', 'thought'], ['weigh', 'weight'], ['see', 'sight'], ['fly', 'flight'],
    ['sell', 'sale'], ['speak', 'speech'], ['hate', 'hatred'], ['sing', 'song'], ['breathe', 'breath'],
    ['bathe', 'bath'], ['laugh', 'laughter'], ['know', 'knowledge'], ['marry', 'marriage'],
    ['apply', 'application'], ['deny', 'denial'], ['satisfy', 'satisfaction'], ['qualify', 'qualification'],
    ['justify', 'justification'], ['intend', 'intention'], ['extend', 'extension'], ['suspend', 'suspension'],
    ['expand', 'expansion'], ['comprehend', 'comprehension'], ['persuade', 'persuasion'], ['invade', 'invasion'],
    ['divide', 'division'], ['provide', 'provision'], ['include', 'inclusion'], ['exclude', 'exclusion'],
    ['explode', 'explosion'], ['erode', 'erosion'], ['fail', 'failure'], ['sign', 'signature'],
    ['strong', 'strength'], ['long', 'length'], ['wide', 'width'], ['deep', 'depth'], ['high', 'height'],
    ['true', 'truth'], ['warm', 'warmth'], ['hot', 'heat'], ['proud', 'pride'], ['wise', 'wisdom'],
    ['poor', 'poverty'], ['anxious', 'anxiety'], ['curious', 'curiosity'], ['generous', 'generosity'],
    ['various', 'variety'], ['vary', 'variety'], ['humble', 'humility'], ['brave', 'bravery'],
    ['seize', 'seizure'], ['threat', 'threaten'], ['obey', 'obedience'], ['repeat', 'repetition'],
    ['compete', 'competition'], ['compare', 'comparison'], ['maintain', 'maintenance'],
    ['sustain', 'sustenance'], ['pronounce', 'pronunciation'], ['detain', 'detention'], ['retain', 'retention'],
    ['abstain', 'abstention'], ['inherit', 'heritage'], ['occur', 'occurrence'], ['refer', 'reference'],
    ['prefer', 'preference'], ['confer', 'conference'], ['exist', 'existence'], ['resist', 'resistance'],
    ['assist', 'assistance'], ['insist', 'insistence'], ['persist', 'persistence'], ['enter', 'entry'],
    ['enter', 'entrance'], ['hinder', 'hindrance'], ['remember', 'remembrance'], ['govern', 'government'],
    ['arrive', 'arrival'], ['survive', 'survival'], ['approve', 'approval'], ['propose', 'proposal'],
    ['refuse', 'refusal'], ['remove', 'removal'], ['dismiss', 'dismissal'], ['rehearse', 'rehearsal'],
    ['bury', 'burial'], ['try', 'trial'], ['betray', 'betrayal'], ['renew', 'renewal'], ['withdraw', 'withdrawal'],
    ['recover', 'recovery'], ['discover', 'discovery'], ['deliver', 'delivery'], ['inquire', 'inquiry'],
    ['injure', 'injury'], ['flatter', 'flattery'], ['rob', 'robbery'], ['master', 'mastery'],
    ['publish', 'publication'], ['pray', 'prayer'], ['spell', 'spelling'], ['apologize', 'apology'],
];
const irregularOf = new Map();
for (const [a, b] of irregular) {
    irregularOf.set(a, [...(irregularOf.get(a) ?? []), b]);
    irregularOf.set(b, [...(irregularOf.get(b) ?? []), a]);
}
function relatedForms(word) {
    const result = new Set(irregularOf.get(word) ?? []);
    for (const base of bases(word)) {
        if (base.length < 3) continue;
        result.add(base);
        for (const join of joins(base)) {
            if (join.length < 3) continue;
            for (const suffix of suffixes) result.add(join + suffix);
        }
    }
    const own = inflections(word);
    // A final y makes a noun of a verb in a few endings (discovery, inquiry, safety, apology); elsewhere it
    // makes words like watery and doggy, which are no answers to the same prompt.
    return [...result].filter((form) => form.length >= 4 && !own.has(form) && !inflections(form).has(word) &&
        (!form.endsWith('y') || /(ery|ory|ary|iry|ty|cy|fy|gy|ly)$/.test(form)) && common(form));
}

// What a prompt can stand for, from the end of its Chinese (an adjective ends in 的, an adverb in 地, a
// person in 者, 人, 员 and the like), and which forms could stand for the same, from their ending. A form
// of another kind is a different answer to a different prompt (安静的 quiet, 安静地 quietly).
function promptKind(chinese) {
    const plain = chinese.replace(/（[^）]*）/g, '').split(/[；;]/)[0].trim();
    if (/的$/.test(plain)) return 'adjective';
    if (/地$/.test(plain)) return 'adverb';
    if (/[者人员家师手]$/.test(plain)) return 'person';
    return 'noun or verb';
}
function formFits(kind, form) {
    const adverb = /ly$/.test(form);
    const person = /(er|or|ist|ee|ian)$/.test(form);
    const adjective = /(al|ic|ive|ous|ful|able|ible|ant|ent|ary|y)$/.test(form) && !adverb;
    const onlyAdjective = /(ic|ive|ous|ful|able|ible)$/.test(form);
    if (kind === 'adjective') return adjective;
    if (kind === 'adverb') return adverb;
    if (kind === 'person') return person || /(ant|ent)$/.test(form);
    return !adverb && !person && !onlyAdjective;
}

// The core of a prompt: each meaning of a "；" list without hints, without a final 的 or 地 and a leading
// 在, 使 or 被.
function cores(chinese) {
    const result = new Set();
    const plain = chinese.replace(/（[^）]*）|\([^)]*\)/g, '');
    for (let part of plain.split(/[；;，、]/)) {
        part = part.replace(/…/g, '').trim().replace(/[的地]$/, '').replace(/^[在使被]/, '');
        if (part) result.add(part);
    }
    return [...result];
}

const lines = [];
const say = (section, pair, what) => lines.push([section, pair.code, pair.english, pair.chinese, what].join('\t'));

// forms
if (!only || only === 'forms') {
    for (const pair of pairs) {
        const word = pair.english.toLowerCase();
        if (word.includes(' ')) continue;
        const hint = hintOf(pair.chinese);
        if (hint.pos) continue;
        const kind = promptKind(pair.chinese);
        const found = relatedForms(word).filter((form) => fits(hint, form) && formFits(kind, form));
        if (!found.length) continue;
        const described = found.sort((a, b) => rankOf(a) - rankOf(b)).map((form) => {
            const there = courseWords.get(form);
            return `${form} (${rankOf(form)}${there ? `; course ${there.code} ${there.chinese}` : ''})`;
        });
        say('forms', pair, `rank ${rankOf(word)}; ${described.join(', ')}`);
    }
}

// cores
if (!only || only === 'cores') {
    const withCores = pairs.map((pair) => ({ pair, cores: cores(pair.chinese) }));
    for (let i = 0; i < withCores.length; ++i) {
        for (let j = i + 1; j < withCores.length; ++j) {
            const a = withCores[i];
            const b = withCores[j];
            let how = '';
            for (const x of a.cores)
                for (const y of b.cores) {
                    if (x === y) how ||= `same core ${x}`;
                    else if (Math.min(x.length, y.length) >= 2 && (x.includes(y) || y.includes(x)))
                        how ||= `${x} / ${y}`;
                }
            if (!how) continue;
            const ha = hintOf(a.pair.chinese);
            const hb = hintOf(b.pair.chinese);
            const apart = (!fits(ha, b.pair.english.toLowerCase()) && ha.first) ||
                (!fits(hb, a.pair.english.toLowerCase()) && hb.first);
            say('cores', a.pair, `${how}; ${b.pair.code} ${b.pair.english} ${b.pair.chinese}` +
                (apart ? '; letters tell them apart' : ''));
        }
    }
}

// glosses
if (!only || only === 'glosses') {
    const cedictModule = await import(pathToFileURL(path.join(packages, 'cc-cedict/data/all.js')).href);
    const glosses = new Map(); // simplified headword -> single English words its glosses give
    for (const entry of cedictModule.default.all) {
        const list = typeof entry[3] === 'string' ? [entry[3]] : entry[3] ?? [];
        const words = glosses.get(entry[1]) ?? new Set();
        for (const gloss of list.flatMap((text) => text.split(';'))) {
            const bare = gloss.toLowerCase().replace(/\([^)]*\)/g, '').replace(/\b(sb|sth)\b/g, '').trim()
                .replace(/^(to|a|an|the|be) /, '').trim();
            if (/^[a-z][a-z'-]*( [a-z][a-z'-]*)?$/.test(bare)) words.add(bare);
        }
        glosses.set(entry[1], words);
    }
    const headwords = (chinese) => {
        const result = new Set();
        for (const part of chinese.replace(/（[^）]*）|\([^)]*\)/g, '').split(/[；;，、]/)) {
            const head = part.replace(/…/g, '').trim();
            if (!head) continue;
            result.add(head);
            if (head.length > 1 && /[的地]$/.test(head)) result.add(head.slice(0, -1));
            if (head.length > 1 && head.startsWith('使')) result.add(head.slice(1));
        }
        return [...result];
    };
    for (const pair of pairs) {
        const word = pair.english.toLowerCase();
        const hint = hintOf(pair.chinese);
        const own = inflections(word);
        const rank = rankOf(word);
        const others = new Set();
        for (const head of headwords(pair.chinese))
            for (const other of glosses.get(head) ?? [])
                if (!own.has(other) && !inflections(other).has(word) && fits(hint, other) && common(other) &&
                    rankOf(other) <= 3 * rank) others.add(other);
        if (!others.size) continue;
        const described = [...others].sort((a, b) => rankOf(a) - rankOf(b)).map((other) => {
            const there = courseWords.get(other);
            return `${other} (${rankOf(other)}${there ? `; course ${there.code} ${there.chinese}` : ''})`;
        });
        say('glosses', pair, `rank ${rank}${hint.pos ? '; part of speech given' : ''}; ${described.join(', ')}`);
    }
}

for (const line of lines) console.log(line);
const count = (section) => lines.filter((line) => line.startsWith(`${section}\t`)).length;
console.error(`candidates: forms ${count('forms')}, cores ${count('cores')}, glosses ${count('glosses')}`);
