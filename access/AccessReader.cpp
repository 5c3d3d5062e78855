// SPDX-License-Identifier: GPL-3.0-or-later
#include "AccessReader.h"

#include "ReaderProtocol.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <cstring>
#include <sys/resource.h>

namespace AccessReader {

namespace {

constexpr qint64 MaxPayload = 1 << 20;

struct Frame {
    char tag = 0;
    QByteArray payload;
};

// The next frame at `position`, which moves past it; the reason when the bytes are not a frame.
std::variant<Frame, QString> nextFrame(const QByteArray& bytes, qsizetype& position)
{
    const qsizetype start = position;
    if (bytes.size() - position < 4)
        return QStringLiteral("a frame cut short at byte %1").arg(start);
    Frame frame{bytes[position], {}};
    if (bytes[position + 1] != ' ')
        return QStringLiteral("no frame at byte %1").arg(start);
    position += 2;
    qint64 length = 0;
    int digits = 0;
    for (; position < bytes.size() && bytes[position] >= '0' && bytes[position] <= '9'; ++position) {
        if (++digits > 7)
            return QStringLiteral("a frame longer than %1 bytes at byte %2").arg(MaxPayload).arg(start);
        length = length * 10 + (bytes[position] - '0');
    }
    if (digits == 0 || position >= bytes.size() || bytes[position] != '\n' || length > MaxPayload)
        return QStringLiteral("a frame with a bad length at byte %1").arg(start);
    ++position;
    if (bytes.size() - position < length + 1 || bytes[position + length] != '\n')
        return QStringLiteral("a frame cut short at byte %1").arg(start);
    frame.payload = bytes.mid(position, length);
    position += length + 1;
    return frame;
}

QString signalName(int number)
{
    const char* description = number > 0 && number < NSIG ? sigdescr_np(number) : nullptr;
    return QStringLiteral("signal %1").arg(number) +
           (description ? QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(description)) : QString());
}

QString printable(const QByteArray& bytes)
{
    QString text = QString::fromUtf8(bytes).simplified();
    if (text.size() > 300)
        text = text.left(300) + QStringLiteral(" …");
    return text;
}

} // namespace

std::variant<Output, QString> parse(const QByteArray& bytes)
{
    Output output;
    qsizetype position = 0;
    bool ended = false;
    bool first = true;
    bool inTable = false;
    int fields = 0;
    const auto tableEnds = [&]() -> std::optional<QString> {
        if (inTable && fields % 2 != 0)
            return QStringLiteral("table %1 ends inside a record").arg(output.tables.back().name);
        inTable = false;
        return std::nullopt;
    };
    while (position < bytes.size()) {
        if (ended)
            return QStringLiteral("output after the end, at byte %1").arg(position);
        auto next = nextFrame(bytes, position);
        if (const QString* why = std::get_if<QString>(&next))
            return *why;
        const Frame& frame = std::get<Frame>(next);
        if (first) {
            if (frame.tag != ReaderProtocol::Hello || frame.payload != ReaderProtocol::Version)
                return QStringLiteral("not the output of %1").arg(QLatin1String(ReaderProtocol::Version));
            first = false;
            continue;
        }
        switch (frame.tag) {
        case ReaderProtocol::CannotOpen: {
            const qsizetype tab = frame.payload.indexOf('\t');
            const QByteArray kind = frame.payload.left(tab);
            if (tab < 0 || output.cannotOpen || !output.tables.empty() ||
                (kind != "missing" && kind != "not-access" && kind != "no-reader"))
                return QStringLiteral("a bad report that the file cannot be opened");
            output.cannotOpen = {QString::fromLatin1(kind), QString::fromUtf8(frame.payload.mid(tab + 1))};
            break;
        }
        case ReaderProtocol::Table: {
            if (auto why = tableEnds())
                return *why;
            const qsizetype tab = frame.payload.lastIndexOf('\t');
            bool number = false;
            const int columns = tab > 0 ? frame.payload.mid(tab + 1).toInt(&number) : 0;
            if (!number || columns < 0 || output.cannotOpen)
                return QStringLiteral("a bad table frame");
            output.tables.push_back({QString::fromUtf8(frame.payload.left(tab)), columns, {}, {}});
            inTable = true;
            fields = 0;
            break;
        }
        case ReaderProtocol::Text:
        case ReaderProtocol::Null: {
            if (!inTable || output.tables.back().columnCount < 3 || output.tables.back().error ||
                (frame.tag == ReaderProtocol::Null && !frame.payload.isEmpty()))
                return QStringLiteral("a field outside a table");
            std::vector<WordSql::Fields>& records = output.tables.back().records;
            const QVariant value = frame.tag == ReaderProtocol::Null
                                       ? QVariant(QMetaType::fromType<QString>())
                                       : QVariant(QString::fromUtf8(frame.payload));
            if (fields++ % 2 == 0)
                records.push_back({value, {}});
            else
                records.back().answer = value;
            break;
        }
        case ReaderProtocol::TableError:
            if (!inTable || output.tables.back().error)
                return QStringLiteral("an error outside a table");
            output.tables.back().error = QString::fromUtf8(frame.payload);
            output.tables.back().records.clear();
            fields = 0;
            break;
        case ReaderProtocol::End:
            if (auto why = tableEnds())
                return *why;
            ended = true;
            break;
        default:
            return QStringLiteral("an unknown frame at byte %1").arg(position);
        }
    }
    if (first || !ended)
        return QStringLiteral("the output stops before its end");
    return output;
}

Limits limitsFor(qint64 fileSize)
{
    constexpr qint64 TenMegabytes = 10 << 20;
    Limits limits;
    limits.milliseconds = int(std::clamp<qint64>(fileSize * 10'000 / TenMegabytes, 4'000, 600'000));
    limits.addressSpace = qint64(512) << 20;
    // The values are hexadecimal text of what the file holds: a few times its size at most.
    limits.outputBytes = (qint64(16) << 20) + 4 * fileSize;
    limits.keptErrorBytes = 4096;
    return limits;
}

QString installedProgram()
{
    const QDir programDirectory(QCoreApplication::applicationDirPath());
    for (const QString& directory :
         {programDirectory.path(), programDirectory.filePath(QStringLiteral(VOKABO_READER_FROM_BINDIR))}) {
        QString path = QDir::cleanPath(QDir(directory).filePath(QStringLiteral("vokabo-mdb-reader")));
        if (QFileInfo(path).isExecutable() && QFileInfo(path).isFile())
            return path;
    }
    return {};
}

Result<Output> read(const QString& file, const QString& program, const Limits& limits)
{
    if (program.isEmpty())
        return Failure{QStringLiteral("缺少读取 Access 文件的程序 vokabo-mdb-reader，请重新安装 Vokabo"),
                       QStringLiteral("%1: the Access reader vokabo-mdb-reader is not installed").arg(file)};
    QProcess reader;
    reader.setProgram(program);
    reader.setArguments({QFileInfo(file).absoluteFilePath()});
    reader.setStandardInputFile(QProcess::nullDevice());
    const rlim_t memory = rlim_t(limits.addressSpace);
    const rlim_t seconds = rlim_t(limits.milliseconds) / 1000 + 2;
    // In the child between fork and exec: only calls that are safe there.
    reader.setChildProcessModifier([memory, seconds] {
        const rlimit addressSpace{memory, memory};
        const rlimit noCore{0, 0};
        const rlimit cpu{seconds, seconds + 1};
        setrlimit(RLIMIT_AS, &addressSpace);
        setrlimit(RLIMIT_CORE, &noCore);
        setrlimit(RLIMIT_CPU, &cpu); // a second stop, should this process not be there to stop it
    });

    QByteArray output;
    QByteArray errors;
    qint64 errorBytes = 0;
    bool timedOut = false;
    bool tooMuch = false;
    QEventLoop loop;
    QObject::connect(&reader, &QProcess::readyReadStandardOutput, &loop, [&] {
        output += reader.readAllStandardOutput();
        if (output.size() > limits.outputBytes && !tooMuch) {
            tooMuch = true;
            reader.kill();
        }
    });
    // Read as it comes, so that a reader printing without end costs nothing but the count.
    QObject::connect(&reader, &QProcess::readyReadStandardError, &loop, [&] {
        const QByteArray more = reader.readAllStandardError();
        errorBytes += more.size();
        errors += more.left(std::max<qint64>(0, limits.keptErrorBytes - errors.size()));
    });
    QObject::connect(&reader, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        reader.kill();
    });
    reader.start();
    if (!reader.waitForStarted(10'000))
        return Failure{QStringLiteral("读取 Access 文件的程序 vokabo-mdb-reader 无法启动，请重新安装 Vokabo"),
                       QStringLiteral("%1: cannot start the Access reader %2: %3")
                           .arg(file, program, reader.errorString())};
    deadline.start(limits.milliseconds);
    loop.exec();
    deadline.stop();
    if (!tooMuch)
        output += reader.readAllStandardOutput();
    const QByteArray rest = reader.readAllStandardError();
    errorBytes += rest.size();
    errors += rest.left(std::max<qint64>(0, limits.keptErrorBytes - errors.size()));

    const auto misbehaved = [&](const QString& message, const QString& what) {
        QString detail = QStringLiteral("%1: the Access reader %2").arg(file, what);
        if (errorBytes > 0)
            detail += QStringLiteral("; it wrote %1 bytes on stderr, beginning: %2")
                          .arg(errorBytes)
                          .arg(printable(errors));
        return Failure{QStringLiteral("文件已损坏，") + message, detail, Failure::Kind::ReadFailed};
    };
    if (timedOut)
        return misbehaved(
            QStringLiteral("%1 秒内未能读完").arg(limits.milliseconds / 1000),
            QStringLiteral("did not finish within %1 s and was stopped").arg(limits.milliseconds / 1000));
    if (tooMuch)
        return misbehaved(QStringLiteral("读出的内容过多"),
                          QStringLiteral("wrote more than %1 bytes and was stopped").arg(limits.outputBytes));
    if (reader.exitStatus() == QProcess::CrashExit)
        return misbehaved(QStringLiteral("读取时出错中止"),
                          QStringLiteral("stopped with %1").arg(signalName(reader.exitCode())));
    auto parsed = parse(output);
    if (const QString* why = std::get_if<QString>(&parsed))
        return misbehaved(QStringLiteral("读出的内容无法识别"),
                          QStringLiteral("exited with status %1 and gave output not in its format: %2")
                              .arg(reader.exitCode())
                              .arg(*why));
    if (reader.exitCode() != 0)
        return misbehaved(QStringLiteral("读取时出错中止"),
                          QStringLiteral("exited with status %1").arg(reader.exitCode()));
    Output& result = std::get<Output>(parsed);
    if (result.cannotOpen) {
        const auto& [kind, detail] = *result.cannotOpen;
        if (kind == QLatin1String("missing"))
            return Failure{QStringLiteral("找不到这个文件"), detail, Failure::Kind::Missing};
        if (kind == QLatin1String("not-access"))
            return Failure{QStringLiteral("这不是 Access 数据库文件"), detail, Failure::Kind::NotADatabase};
        return Failure{QStringLiteral("缺少读取 Access 文件的组件 libmdb3"), detail};
    }
    return std::move(result);
}

} // namespace AccessReader
