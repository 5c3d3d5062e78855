// SPDX-License-Identifier: GPL-3.0-or-later
#include "EventJournal.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <iterator>

namespace {

const QByteArray Header = QByteArrayLiteral("vokabo-journal 2");
// A journal of version 1, left by an older program, lacks the last two fields.
const QByteArray Version1Header = QByteArrayLiteral("vokabo-journal 1");
constexpr int Version1Fields = 11;
constexpr int Fields = 13;

const char* const DrillNames[] = {"unit", "errorbook", "review"};
constexpr DrillKind Drills[] = {DrillKind::Unit, DrillKind::ErrorBook, DrillKind::Review};

const char* const KindNames[] = {"started", "answered", "passed", "revealed", "deleted", "completed"};
constexpr DrillEvent::Kind Kinds[] = {DrillEvent::Kind::Started, DrillEvent::Kind::Answered,
                                      DrillEvent::Kind::Passed,  DrillEvent::Kind::Revealed,
                                      DrillEvent::Kind::Deleted, DrillEvent::Kind::Completed};

QByteArray line(const DrillEvent& event)
{
    QByteArray kind;
    for (size_t i = 0; i < std::size(Kinds); ++i) {
        if (Kinds[i] == event.kind)
            kind = KindNames[i];
    }
    QByteArray drill;
    for (size_t i = 0; i < std::size(Drills); ++i) {
        if (Drills[i] == event.drill)
            drill = DrillNames[i];
    }
    const QList<QByteArray> fields{kind,
                                   event.at.toString(Qt::ISODateWithMs).toUtf8(),
                                   drill,
                                   event.unitCode.toUtf8(),
                                   event.testMode ? "1" : "0",
                                   event.word.location.table.toUtf8(),
                                   QByteArray::number(event.word.location.rowid),
                                   event.word.prompt.toUtf8(),
                                   event.word.answer.toUtf8(),
                                   event.answerShown ? "1" : "0",
                                   event.accuracy ? QByteArray::number(*event.accuracy) : QByteArray(),
                                   event.responseMs ? QByteArray::number(*event.responseMs) : QByteArray(),
                                   event.spoken ? "1" : "0"};
    return fields.join('\t');
}

std::optional<int> number(const QByteArray& field, bool& ok)
{
    if (field.isEmpty())
        return std::nullopt;
    bool number = false;
    const int value = field.toInt(&number);
    ok = ok && number;
    return value;
}

// Only what the program itself writes: a field with a tab or a line break in it cannot be one of them.
std::optional<DrillEvent> parse(const QByteArray& text, int version)
{
    const QList<QByteArray> fields = text.split('\t');
    if (fields.size() != (version == 1 ? Version1Fields : Fields))
        return std::nullopt;
    DrillEvent event;
    const auto kind = std::find_if(std::begin(KindNames), std::end(KindNames),
                                   [&](const char* name) { return fields[0] == name; });
    if (kind == std::end(KindNames))
        return std::nullopt;
    event.kind = Kinds[kind - std::begin(KindNames)];
    event.at = QDateTime::fromString(QString::fromUtf8(fields[1]), Qt::ISODateWithMs);
    const auto drill = std::find_if(std::begin(DrillNames), std::end(DrillNames),
                                    [&](const char* name) { return fields[2] == name; });
    if (!event.at.isValid() || drill == std::end(DrillNames))
        return std::nullopt;
    event.drill = Drills[drill - std::begin(DrillNames)];
    event.unitCode = QString::fromUtf8(fields[3]);
    event.testMode = fields[4] == "1";
    bool ok = true;
    event.word.location = {QString::fromUtf8(fields[5]), fields[6].toLongLong(&ok)};
    event.word.prompt = QString::fromUtf8(fields[7]);
    event.word.answer = QString::fromUtf8(fields[8]);
    event.answerShown = fields[9] == "1";
    event.accuracy = number(fields[10], ok);
    if (version > 1) {
        event.responseMs = number(fields[11], ok);
        event.spoken = fields[12] == "1";
    }
    if (!ok)
        return std::nullopt;
    return event;
}

Failure journalFailure(const QString& file, const QString& detail)
{
    return {QStringLiteral("无法写入 %1").arg(QDir::toNativeSeparators(file)),
            QStringLiteral("%1: %2").arg(file, detail), Failure::Kind::WriteFailed};
}

} // namespace

QString EventJournal::path(const QString& historyFile)
{
    return historyFile + QStringLiteral(".journal");
}

Result<EventJournal> EventJournal::read(const QString& file)
{
    EventJournal journal;
    QFile in(file);
    if (!in.exists())
        return journal;
    if (!in.open(QIODevice::ReadOnly))
        return Failure{QStringLiteral("无法读取 %1").arg(QDir::toNativeSeparators(file)),
                       QStringLiteral("%1: %2").arg(file, in.errorString()), Failure::Kind::ReadFailed};
    const QList<QByteArray> lines = in.readAll().split('\n');
    if (lines.isEmpty() || (lines.front() != Header && lines.front() != Version1Header)) {
        journal.unreadableLines = int(lines.size());
        return journal;
    }
    const int version = lines.front() == Header ? 2 : 1;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray& text = lines[i];
        if (text.isEmpty())
            continue;
        if (text.startsWith("drill ")) {
            bool ok = false;
            const qint64 drill = text.mid(6).toLongLong(&ok);
            if (ok && journal.events.empty())
                journal.drill = drill;
            else
                ++journal.unreadableLines;
        } else if (auto event = parse(text, version)) {
            journal.events.push_back(std::move(*event));
        } else {
            ++journal.unreadableLines;
        }
    }
    return journal;
}

std::optional<Failure> EventJournal::write(const QString& file) const
{
    QByteArray text = Header + '\n';
    if (drill)
        text += "drill " + QByteArray::number(*drill) + '\n';
    for (const DrillEvent& event : events)
        text += line(event) + '\n';
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return journalFailure(file, out.errorString());
    // The record's own business: its events say when the learner practised which words.
    out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (out.write(text) != text.size() || !out.commit())
        return journalFailure(file, out.errorString());
    return std::nullopt;
}
