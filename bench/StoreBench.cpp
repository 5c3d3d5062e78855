// SPDX-License-Identifier: GPL-3.0-or-later
// Timings of the paths a study session runs for every word: opening a unit, stepping to the next
// record, and decrypting its two fields; and the menu's one read of the settings file.
#include "BenchmarkMain.h"
#include "FieldCipher.h"
#include "SettingsFile.h"
#include "WordDatabase.h"
#include "WordStore.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace {

// Prompts of two to four characters and answers of five to twelve letters, as in the course.
const char* const Meanings[] = {"苹果", "图书馆", "环境保护", "词汇", "国际", "发展中", "可能性", "大学"};
const char* const Words[] = {"apple",         "library", "environment", "vocabulary",
                             "international", "develop", "possibility", "university"};

[[noreturn]] void giveUp(const char* why)
{
    std::fprintf(stderr, "vokabo_bench: %s\n", why);
    std::exit(1);
}

// One database per size, made once and kept until the run ends.
QString unitDatabase(int records)
{
    static QTemporaryDir dir;
    static std::map<int, QString> made;
    if (const auto it = made.find(records); it != made.end())
        return it->second;
    if (!dir.isValid())
        giveUp("no temporary directory");

    const QString file = dir.filePath(QStringLiteral("units-%1.db").arg(records));
    if (WordDatabase::create(file))
        giveUp("cannot create the database");
    std::vector<WordFile::Word> words;
    constexpr int kinds = int(std::size(Words));
    for (int i = 0; i < records; ++i)
        words.push_back(
            {QString::fromLatin1(Words[(i / kinds + i) % kinds]), QString::fromUtf8(Meanings[i % kinds])});
    if (WordDatabase::addWords(file, *unitByTable(QStringLiteral("word1")), words, false))
        giveUp("cannot fill the database");
    return made[records] = file;
}

std::unique_ptr<Recordset> openOrGiveUp(const QString& file)
{
    auto opened = WordStore::open(file, QStringLiteral("word1"));
    if (!std::holds_alternative<std::unique_ptr<Recordset>>(opened))
        giveUp("cannot open the unit");
    return std::move(std::get<std::unique_ptr<Recordset>>(opened));
}

void decryptField(benchmark::State& state, const char* text)
{
    const QString field = encodeField(QString::fromUtf8(text)).value();
    const QString passPhrase = QString::fromUtf16(FieldPassPhrase);
    PPS cipher;
    for (auto _ : state)
        benchmark::DoNotOptimize(解密(cipher, field, passPhrase, FieldKeyBits));
}

void BM_DecryptPrompt(benchmark::State& state)
{
    decryptField(state, "环境保护");
}
BENCHMARK(BM_DecryptPrompt)->Unit(benchmark::kMicrosecond);

void BM_DecryptAnswer(benchmark::State& state)
{
    decryptField(state, "vocabulary");
}
BENCHMARK(BM_DecryptAnswer)->Unit(benchmark::kMicrosecond);

// For comparison: a cipher made for each field pays for its code page converter every time.
void BM_DecryptAnswerFreshCipher(benchmark::State& state)
{
    const QString field = encodeField(QStringLiteral("vocabulary")).value();
    for (auto _ : state) {
        PPS cipher;
        benchmark::DoNotOptimize(解密(cipher, field, QStringLiteral("qv274"), FieldKeyBits));
    }
}
BENCHMARK(BM_DecryptAnswerFreshCipher)->Unit(benchmark::kMicrosecond);

void BM_OpenUnit(benchmark::State& state)
{
    const QString file = unitDatabase(int(state.range(0)));
    for (auto _ : state) {
        std::unique_ptr<Recordset> unit = openOrGiveUp(file);
        state.PauseTiming();
        if (unit->RecordCount() != state.range(0))
            giveUp("the unit has the wrong number of records");
        unit.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenUnit)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// What the study window does per word: move on, read both fields, decrypt both.
void BM_RecordStep(benchmark::State& state)
{
    std::unique_ptr<Recordset> unit = openOrGiveUp(unitDatabase(int(state.range(0))));
    const QString passPhrase = QString::fromUtf16(FieldPassPhrase);
    PPS cipher;
    for (auto _ : state) {
        if (unit->MoveNext() || unit->AbsolutePosition() == Recordset::PastLast) {
            if (unit->MoveFirst())
                giveUp("cannot go back to the first record");
        }
        const std::optional<QString> chinese = unit->Field(1);
        const std::optional<QString> english = unit->Field(2);
        benchmark::DoNotOptimize(解密(cipher, chinese.value_or(QString()), passPhrase, FieldKeyBits));
        benchmark::DoNotOptimize(解密(cipher, english.value_or(QString()), passPhrase, FieldKeyBits));
    }
}
BENCHMARK(BM_RecordStep)->Arg(10000)->Unit(benchmark::kMicrosecond);

// A settings file of 10 MB whose [LastDate] section comes after two million lines of another section.
QString largeSettingsDirectory()
{
    static QTemporaryDir dir;
    static bool made = false;
    if (made)
        return dir.path();
    if (!dir.isValid())
        giveUp("no temporary directory");
    QByteArray text("[Other]\r\n");
    text.reserve(10'100'000);
    for (int i = 0; i < 2'000'000; ++i)
        text += "a=1\r\n";
    text += "[LastDate]\r\n";
    for (int level = 1; level <= 5; ++level) {
        for (int unit = 1; unit <= 4; ++unit)
            text += QByteArray::number(level * 10 + unit) + "=2017/11/1 14:05:09\r\n";
    }
    QFile file(mdlINI(dir.path()).path());
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        giveUp("cannot write the settings file");
    made = true;
    return dir.path();
}

// What the menu window does at start: read section LastDate once for its twenty units.
void BM_ReadLastDate10MB(benchmark::State& state)
{
    const mdlINI settings(largeSettingsDirectory());
    for (auto _ : state) {
        const IniSection dates = settings.ReadIniSection(QStringLiteral("LastDate"));
        if (dates.value(QStringLiteral("54")).isEmpty())
            giveUp("the last unit's date is missing");
    }
}
BENCHMARK(BM_ReadLastDate10MB)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarks<QCoreApplication>(argc, argv);
}
