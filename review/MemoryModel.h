// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>

// How well the learner recalled a word when it came up. Vokabo's grading gives Again, Hard and Good;
// Easy keeps the model whole.
enum class Grade { Again = 1, Hard = 2, Good = 3, Easy = 4 };

// What the model knows of the learner's memory of one word.
struct Memory {
    double stability = 0;  // days after which recall falls to 90 %
    double difficulty = 0; // 1 (easy) to 10 (hard)
};

// The memory model, FSRS-6 with its published default parameters, scheduling whole days: a review on
// the day of the last one changes the memory, but no word comes back on the same day.
class MemoryModel {
public:
    static constexpr double DefaultRetention = 0.90;
    static constexpr int MaximumInterval = 36500;

    // The share of due words the learner wants to still know when they come up. Outside 0.70–0.97 the
    // model uses the default (the settings reader says so on stderr).
    explicit MemoryModel(double desiredRetention = DefaultRetention);
    [[nodiscard]] static bool acceptsRetention(double desiredRetention);
    double desiredRetention() const { return retention_; }

    // The memory after a review, and the days until the word is due again.
    struct AfterReview {
        Memory memory;
        int interval = 0;
    };
    AfterReview firstReview(Grade grade) const;
    // elapsedDays: calendar days since the last review, 0 on the same day (and on an earlier one).
    AfterReview review(const Memory& before, int elapsedDays, Grade grade) const;

    // The probability of recall elapsedDays after the last review.
    double retrievability(const Memory& memory, int elapsedDays) const;

private:
    // After a recall graded Hard, Good and Easy.
    std::array<double, 3> recallStabilities(const Memory& before, double retrievability) const;
    double forgetStability(const Memory& before, double retrievability) const;
    double nextDifficulty(double difficulty, Grade grade) const;
    int interval(double stability) const;

    double retention_;
    double decay_;            // the power of the forgetting curve, negative
    double factor_;           // makes recall 90 % after `stability` days
    double intervalModifier_; // days per day of stability at the desired retention
    double easyDifficulty_;   // the initial difficulty of an Easy first review, unclamped
    double recallGrowth_;     // e^w8
};
