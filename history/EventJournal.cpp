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

// The words that stand for a drill's kind and an event's kind in a line.
template <typename T> struct Named {
    T value;
    const char* name;
};
constexpr Named<DrillKind> DrillNames[] = {
    {DrillKind::Unit, "unit"}, {DrillKind::ErrorBook, "errorbook"}, {DrillKind::Review, "review"}};
constexpr Named<DrillEvent::Kind> KindNames[] = {
    {DrillEvent::Kind::Started, "started"}, {DrillEvent::Kind::Answered, "answered"},
    {DrillEvent::Kind::Passed, "passed"},   {DrillEvent::Kind::Revealed, "revealed"},
    {DrillEvent::Kind::Deleted, "deleted"}, {DrillEvent::Kind::Completed, "completed"}};

template <typename T, size_t N> QByteArray nameOf(const Named<T> (&names)[N], T value)
{
    const auto found = std::find_if(std::begin(names), std::end(names),
                                    [&](const Named<T>& named) { return named.value == value; });
    return found == std::end(names) ? QByteArray() : QByteArray(found->name);
}

template <typename T, size_t N>
std::optional<T> valueNamed(const Named<T> (&names)[N], const QByteArray& name)
{
    const auto found = std::find_if(std::begin(names), std::end(names),
                                    [&](const Named<T>& named) { return name == named.name; });
    return found == std::end(names) ? std::nullopt : std::optional<T>(found->value);
}

QByteArray line(const DrillEvent& event)
{
    const QList<QByteArray> fields{nameOf(KindNames, event.kind),
                                   event.at.toString(Qt::ISODateWithMs).toUtf8(),
                                   nameOf(DrillNames, event.drill),
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
    const std::optional<DrillEvent::Kind> kind = valueNamed(KindNames, fields[0]);
    const std::optional<DrillKind> drill = valueNamed(DrillNames, fields[2]);
    event.at = QDateTime::fromString(QString::fromUtf8(fields[1]), Qt::ISODateWithMs);
    if (!kind || !drill || !event.at.isValid())
        return std::nullopt;
    event.kind = *kind;
    event.drill = *drill;
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
