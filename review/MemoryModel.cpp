// SPDX-License-Identifier: GPL-3.0-or-later
#include "MemoryModel.h"

#include <algorithm>
#include <array>
#include <cmath>

// The arithmetic follows the reference implementation step for step, rounding where it rounds, so that
// intervals agree to the day (review/tests/fsrs-vectors.tsv holds its answers).
namespace {

// FSRS-6's published default parameters, w[0] to w[20].
constexpr std::array<double, 21> w = {0.212,  1.2931, 2.3065, 8.2956, 6.4133, 0.8334, 3.0194,
                                      0.001,  1.8722, 0.1666, 0.796,  1.4835, 0.0614, 0.2629,
                                      1.6483, 0.6014, 1.8729, 0.5425, 0.0912, 0.0658, 0.1542};

constexpr double LowestStability = 0.001;
constexpr double HighestStability = 36500;

// Halves round up, also below zero, as JavaScript's Math.round does.
double roundHalfUp(double x)
{
    const double below = std::floor(x);
    return x - below >= 0.5 ? below + 1 : below;
}

double roundTo8(double x)
{
    return roundHalfUp(x * 1e8) / 1e8;
}

double initialDifficulty(Grade grade)
{
    return roundTo8(w[4] - std::exp((static_cast<int>(grade) - 1) * w[5]) + 1);
}

double initialStability(Grade grade)
{
    return std::max(w[static_cast<int>(grade) - 1], 0.1);
}

} // namespace

bool MemoryModel::acceptsRetention(double desiredRetention)
{
    return desiredRetention >= 0.70 && desiredRetention <= 0.97;
}

MemoryModel::MemoryModel(double desiredRetention)
    : retention_(acceptsRetention(desiredRetention) ? desiredRetention : DefaultRetention), decay_(-w[20]),
      factor_(roundTo8(std::exp(1 / decay_ * std::log(0.9)) - 1)),
      intervalModifier_(roundTo8((std::pow(retention_, 1 / decay_) - 1) / factor_)),
      easyDifficulty_(initialDifficulty(Grade::Easy)), recallGrowth_(std::exp(w[8]))
{
}

double MemoryModel::retrievability(const Memory& memory, int elapsedDays) const
{
    return roundTo8(std::pow(1 + factor_ * std::max(elapsedDays, 0) / memory.stability, decay_));
}

int MemoryModel::interval(double stability) const
{
    return static_cast<int>(std::min(std::max(1.0, roundHalfUp(stability * intervalModifier_)),
                                     static_cast<double>(MaximumInterval)));
}

std::array<double, 3> MemoryModel::recallStabilities(const Memory& before, double retrievability) const
{
    const double s = before.stability;
    // The less likely the recall was, the more it strengthens the memory; Hard gains less, Easy more.
    const double growth = recallGrowth_ * (11 - before.difficulty) * std::pow(s, -w[9]) *
                          (std::exp((1 - retrievability) * w[10]) - 1);
    const auto after = [&](double hardPenalty, double easyBonus) {
        return roundTo8(
            std::clamp(s * (1 + growth * hardPenalty * easyBonus), LowestStability, HighestStability));
    };
    return {after(w[15], 1), after(1, 1), after(1, w[16])};
}

double MemoryModel::forgetStability(const Memory& before, double retrievability) const
{
    const double afterLapse = w[11] * std::pow(before.difficulty, -w[12]) *
                              (std::pow(before.stability + 1, w[13]) - 1) *
                              std::exp((1 - retrievability) * w[14]);
    const double cappedLapse = roundTo8(std::clamp(afterLapse, LowestStability, HighestStability));
    // A word forgotten never ends up better remembered than before.
    return std::min(std::max(roundTo8(before.stability), LowestStability), cappedLapse);
}

double MemoryModel::nextDifficulty(double difficulty, Grade grade) const
{
    const double change = -w[6] * (static_cast<int>(grade) - 3);
    // The change shrinks as the difficulty nears 10, then the result is drawn a little towards Easy's.
    const double changed = difficulty + roundTo8(change * (10 - difficulty) / 9);
    return std::clamp(roundTo8(w[7] * easyDifficulty_ + (1 - w[7]) * changed), 1.0, 10.0);
}

namespace {

// A harder grade never brings a word back later than an easier one: Again comes before Hard, Hard
// before Good, Good before Easy, a day apart at least.
int orderedInterval(std::array<int, 4> intervals, Grade grade)
{
    auto& [again, hard, good, easy] = intervals;
    again = std::min(again, hard);
    hard = std::max(hard, again + 1);
    good = std::max(good, hard + 1);
    easy = std::max(easy, good + 1);
    return intervals[static_cast<int>(grade) - 1];
}

} // namespace

MemoryModel::AfterReview MemoryModel::firstReview(Grade grade) const
{
    const Memory memory{initialStability(grade), std::clamp(initialDifficulty(grade), 1.0, 10.0)};
    const std::array<int, 4> intervals = {
        interval(initialStability(Grade::Again)), interval(initialStability(Grade::Hard)),
        interval(initialStability(Grade::Good)), interval(initialStability(Grade::Easy))};
    return {memory, orderedInterval(intervals, grade)};
}

MemoryModel::AfterReview MemoryModel::review(const Memory& before, int elapsedDays, Grade grade) const
{
    const double r = retrievability(before, elapsedDays);
    const auto [hard, good, easy] = recallStabilities(before, r);
    const std::array<double, 4> stabilities = {forgetStability(before, r), hard, good, easy};
    const std::array<int, 4> intervals = {interval(stabilities[0]), interval(stabilities[1]),
                                          interval(stabilities[2]), interval(stabilities[3])};
    return {{stabilities[static_cast<int>(grade) - 1], nextDifficulty(before.difficulty, grade)},
            orderedInterval(intervals, grade)};
}
