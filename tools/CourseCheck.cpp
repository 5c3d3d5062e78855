// SPDX-License-Identifier: GPL-3.0-or-later
#include "CourseCheck.h"
#include "WordLabels.h"

#include <QHash>
#include <QRegularExpression>
#include <cmath>

namespace CourseCheck {

namespace {

using WordFile::Word;

QString unitName(const UnitRow& unit)
{
    return QStringLiteral("unit %1 (%2)").arg(unit.UnitCode, unit.UnitTable);
}

// Answers are compared exactly with what the learner types, so an answer must be made of what an
// English keyboard types and shows: a no-break space or a full-width letter would look right and never match.
bool typeable(const QString& english)
{
    static const QRegularExpression word(QStringLiteral("^[A-Za-z]+(?:[ '-][A-Za-z]+)*$"));
    return word.match(english).hasMatch();
}

// Places by key, in the order the keys were first seen, so that the findings come out in course order.
class Occurrences {
public:
    void add(const QString& key, const QString& place)
    {
        auto found = places_.find(key);
        if (found == places_.end()) {
            keys_.append(key);
            found = places_.insert(key, {});
        }
        found->append(place);
    }

    template <typename Report> void reportShared(Report report) const
    {
        for (const QString& key : keys_) {
            const QStringList& places = places_[key];
            if (places.size() > 1)
                report(places);
        }
    }

private:
    QStringList keys_;
    QHash<QString, QStringList> places_;
};

} // namespace

QStringList findings(const std::vector<std::vector<Word>>& units)
{
    QStringList found;
    Occurrences answers;
    Occurrences prompts;
    for (size_t i = 0; i < UnitCatalogue().size(); ++i) {
        const QString unit = unitName(UnitCatalogue()[i]);
        const std::vector<Word> none;
        const std::vector<Word>& words = i < units.size() ? units[i] : none;
        if (words.size() < size_t(MinUnitWords) || words.size() > size_t(MaxUnitWords))
            found.append(QStringLiteral("%1: %2 words; a unit of the course has %3 to %4")
                             .arg(unit)
                             .arg(words.size())
                             .arg(MinUnitWords)
                             .arg(MaxUnitWords));
        for (const Word& word : words) {
            const QString place = QStringLiteral("%1 '%2'").arg(unit, word.english);
            if (!typeable(word.english))
                found.append(QStringLiteral("%1: the answer is not plain English letters with single blanks, "
                                            "hyphens or apostrophes between words")
                                 .arg(place));
            const qsizetype characters = word.chinese.toUcs4().size();
            if (characters > MaxPromptCharacters)
                found.append(
                    QStringLiteral("%1: the prompt '%2' has %3 characters; the meaning label shows %4")
                        .arg(place, word.chinese)
                        .arg(characters)
                        .arg(MaxPromptCharacters));
            answers.add(word.english.toCaseFolded(), place);
            // "开始(b)" and "开始（b）" look alike to the learner.
            prompts.add(word.chinese.normalized(QString::NormalizationForm_KC),
                        QStringLiteral("%1 = '%2'").arg(place, word.chinese));
        }
    }
    answers.reportShared([&](const QStringList& places) {
        found.append(QStringLiteral("the same answer in %1 places: %2")
                         .arg(places.size())
                         .arg(places.join(QStringLiteral(", "))));
    });
    prompts.reportShared([&](const QStringList& places) {
        found.append(QStringLiteral("the same prompt in %1 places: %2")
                         .arg(places.size())
                         .arg(places.join(QStringLiteral(", "))));
    });
    return found;
}

QStringList warnings(const std::vector<std::vector<Word>>& units)
{
    installFontSubstitutions();
    const QFont font = WordLabels::font();
    const QFontMetricsF metrics(font);
    QStringList found;
    const auto measure = [&](const QString& place, const QString& what, const QString& text, int width) {
        const qreal wide = metrics.horizontalAdvance(text);
        if (std::ceil(wide) <= width)
            return;
        found.append(QStringLiteral("%1: the %2 is %3 px wide at %4 pt, its label %5 px; the study window "
                                    "draws it at %6 pt")
                         .arg(place, what)
                         .arg(std::ceil(wide))
                         .arg(font.pointSizeF())
                         .arg(width)
                         .arg(fittingFont(font, text, width).pointSizeF()));
    };
    for (size_t i = 0; i < UnitCatalogue().size() && i < units.size(); ++i) {
        const QString unit = unitName(UnitCatalogue()[i]);
        for (const Word& word : units[i]) {
            const QString place = QStringLiteral("%1 '%2'").arg(unit, word.english);
            measure(place, QStringLiteral("prompt '%1'").arg(word.chinese), word.chinese,
                    WordLabels::PromptWidth);
            measure(place, QStringLiteral("answer"), word.english, WordLabels::AnswerWidth);
        }
    }
    return found;
}

Result<Report> check(const QString& databaseFile)
{
    std::vector<std::vector<Word>> units;
    for (const UnitRow& unit : UnitCatalogue()) {
        auto words = WordDatabase::readUnit(databaseFile, unit);
        if (auto* failure = std::get_if<Failure>(&words))
            return std::move(*failure);
        units.push_back(std::move(std::get<std::vector<Word>>(words)));
    }
    return Report{findings(units), warnings(units)};
}

} // namespace CourseCheck
