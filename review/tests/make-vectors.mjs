// SPDX-License-Identifier: GPL-3.0-or-later
// Writes fsrs-vectors.tsv: review steps of made-up words as ts-fsrs schedules them, for tst_memorymodel
// to replay through Vokabo's memory model. Run it from anywhere with `node review/tests/make-vectors.mjs`;
// it installs the ts-fsrs of package-lock.json into a temporary folder, so the repository keeps no
// node_modules. The steps come from a fixed seed: running it again writes the same file.
import { execFileSync } from "node:child_process";
import { copyFileSync, mkdtempSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { dirname, join } from "node:path";
import { fileURLToPath, pathToFileURL } from "node:url";

const here = dirname(fileURLToPath(import.meta.url));
const pinned = "5.4.2";

const work = mkdtempSync(join(tmpdir(), "vokabo-vectors-"));
let lines;
try {
    copyFileSync(join(here, "package.json"), join(work, "package.json"));
    copyFileSync(join(here, "package-lock.json"), join(work, "package-lock.json"));
    execFileSync("npm", ["ci", "--no-audit", "--no-fund", "--silent"], { cwd: work, stdio: "inherit" });
    const fsrsModule = join(work, "node_modules", "ts-fsrs", "dist", "index.mjs");
    lines = await makeVectors(await import(pathToFileURL(fsrsModule).href));
} finally {
    rmSync(work, { recursive: true, force: true });
}
writeFileSync(join(here, "fsrs-vectors.tsv"), lines.join("\n") + "\n");
console.log(`${lines.length - 2} review steps written to ${join(here, "fsrs-vectors.tsv")}`);

async function makeVectors(ts) {
    const { fsrs, createEmptyCard, dateDiffInDays, Rating, FSRSVersion } = ts;
    if (!FSRSVersion.startsWith(`v${pinned} `)) {
        throw new Error(`expected ts-fsrs ${pinned}, got ${FSRSVersion}`);
    }

    // How often each grade comes, Again/Hard/Good/Easy. "typed" is what Vokabo's grading can give.
    const grades = {
        mixed: [0.2, 0.15, 0.5, 0.15],
        typed: [0.25, 0.25, 0.5, 0],
        struggling: [0.5, 0.3, 0.2, 0],
        easy: [0.02, 0.03, 0.35, 0.6],
    };
    // How the review day falls against the due day: on it, before it (the same day included), after it;
    // and how late at most, in intervals. After a break the word is long forgotten whatever its interval.
    const timings = {
        mixed: { weights: [0.4, 0.3, 0.3], late: 2 },
        punctual: { weights: [0.9, 0.05, 0.05], late: 2 },
        early: { weights: [0.2, 0.7, 0.1], late: 2 },
        late: { weights: [0.2, 0.1, 0.7], late: 2 },
        breaks: { weights: [0.3, 0.2, 0.5], late: 2, breakDays: 3650 },
    };
    const cards = [];
    const profiles = Object.keys(grades);
    const timingNames = Object.keys(timings);
    for (let i = 0; i < 40; ++i) {
        cards.push({ retention: 0.9, grades: profiles[i % 4], timing: timingNames[Math.floor(i / 4) % 4] });
    }
    for (const grades of profiles) {
        cards.push({ retention: 0.9, grades, timing: "breaks" });
    }
    for (const retention of [0.7, 0.8, 0.95, 0.97]) {
        for (let i = 0; i < 3; ++i) {
            cards.push({ retention, grades: profiles[i], timing: "mixed" });
        }
    }

    const base = Date.UTC(2025, 0, 6);
    const day = 86400000;
    const header = [
        "# ts-fsrs " + FSRSVersion + "; enable_fuzz=false, enable_short_term=false, default parameters",
        ["card", "retention", "step", "day", "grade", "elapsed", "retrievability", "stability",
            "difficulty", "interval", "due", "reps", "lapses"].join("\t"),
    ];
    const rows = [];
    const schedulers = new Map();
    cards.forEach((plan, cardIndex) => {
        if (!schedulers.has(plan.retention)) {
            schedulers.set(plan.retention, fsrs({
                request_retention: plan.retention, enable_fuzz: false, enable_short_term: false,
            }));
        }
        const f = schedulers.get(plan.retention);
        const random = mulberry32(1000 + cardIndex);
        const steps = 25 + Math.floor(random() * 16);
        let reviewDay = Math.floor(random() * 30);
        // The hour varies: only the calendar day may count.
        const at = (d) => new Date(base + d * day + Math.floor(random() * day));
        let card = createEmptyCard(at(reviewDay));
        for (let step = 0; step < steps; ++step) {
            if (step > 0) {
                const lastDay = dateDiffInDays(new Date(base), card.last_review);
                const dueDay = dateDiffInDays(new Date(base), card.due);
                const timing = timings[plan.timing];
                const when = pick(random, timing.weights);
                const lateDays = Math.min(timing.late * (dueDay - lastDay), 4000);
                if (when === 0) {
                    reviewDay = dueDay;
                } else if (when === 1) {
                    reviewDay = lastDay + Math.floor(random() * (dueDay - lastDay));
                } else {
                    reviewDay = dueDay + 1 + Math.floor(random() * Math.max(lateDays, timing.breakDays ?? 0));
                }
            }
            const now = at(reviewDay);
            const grade = [Rating.Again, Rating.Hard, Rating.Good, Rating.Easy][pick(random, grades[plan.grades])];
            const retrievability = step === 0 ? "" : String(f.get_retrievability(card, sameHour(now, card), false));
            const { card: next, log } = f.next(card, now, grade);
            card = next;
            rows.push([cardIndex, plan.retention, step, reviewDay, grade, log.elapsed_days, retrievability,
                card.stability, card.difficulty, card.scheduled_days, dateDiffInDays(new Date(base), card.due),
                card.reps, card.lapses].join("\t"));
        }
    });
    return header.concat(rows);
}

// get_retrievability counts whole 24-hour periods since the last review; at the last review's hour of
// the review day, that is the count of calendar days that the scheduler uses.
function sameHour(now, card) {
    const last = card.last_review;
    const midnight = Date.UTC(now.getUTCFullYear(), now.getUTCMonth(), now.getUTCDate());
    const lastMidnight = Date.UTC(last.getUTCFullYear(), last.getUTCMonth(), last.getUTCDate());
    return new Date(midnight + (last.getTime() - lastMidnight));
}

function pick(random, weights) {
    let x = random();
    for (let i = 0; i < weights.length; ++i) {
        x -= weights[i];
        if (x < 0) {
            return i;
        }
    }
    return weights.findLastIndex((w) => w > 0);
}

function mulberry32(seed) {
    let a = seed >>> 0;
    return () => {
        a = (a + 0x6d2b79f5) >>> 0;
        let t = a;
        t = Math.imul(t ^ (t >>> 15), t | 1);
        t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
        return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
    };
}
