#include "DataDirectory.h"

#include "AccessImport.h"
#include "WordDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <system_error>
#include <unistd.h>

namespace DataDirectory {

namespace {

const QString DatabaseName = QStringLiteral("MyDatas.db");
const QString AccessName = QStringLiteral("MyDatas.mdb");

QString reasonText(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return QStringLiteral("磁盘空间不足");
    case EACCES:
    case EPERM:
        return QStringLiteral("没有写入权限");
    case EROFS:
        return QStringLiteral("磁盘是只读的");
    case ENOTDIR:
    case EEXIST:
        return QStringLiteral("路径中有同名的文件");
    default:
        return QStringLiteral("系统错误：%1").arg(QString::fromLocal8Bit(std::strerror(error)));
    }
}

Failure systemFailure(const QString& what, const QString& path, const QString& step, int error)
{
    return {QStringLiteral("%1 %2：%3").arg(what, QDir::toNativeSeparators(path), reasonText(error)),
            QStringLiteral("%1 %2: %3").arg(step, path, QString::fromLocal8Bit(std::strerror(error)))};
}

bool sameBytes(const QString& a, const QString& b)
{
    QFile first(a);
    QFile second(b);
    if (first.size() != second.size() || !first.open(QIODevice::ReadOnly) ||
        !second.open(QIODevice::ReadOnly))
        return false;
    while (!first.atEnd()) {
        if (first.read(1 << 16) != second.read(1 << 16))
            return false;
    }
    return true;
}

// A new file beside the word database, owner read and write only, removed again unless it is placed.
std::variant<std::unique_ptr<QTemporaryFile>, Failure> startDraft(const QString& directory)
{
    auto draft =
        std::make_unique<QTemporaryFile>(QDir(directory).filePath(QStringLiteral(".MyDatas.db.XXXXXX")));
    if (!draft->open())
        return systemFailure(QStringLiteral("无法在文件夹中建立词库"), directory,
                             QStringLiteral("cannot create a file in"), errno);
    return draft;
}

// The course's bytes into the draft, on the disk before the draft is placed.
std::optional<Failure> copyCourse(QTemporaryFile& draft, const QString& course, const QString& target)
{
    QFile source(course);
    if (!source.open(QIODevice::ReadOnly))
        return systemFailure(QStringLiteral("无法读取自带的词库"), course, QStringLiteral("cannot read"),
                             errno);
    while (!source.atEnd()) {
        const QByteArray block = source.read(1 << 16);
        if (block.isEmpty() && source.error() != QFileDevice::NoError)
            return systemFailure(QStringLiteral("无法读取自带的词库"), course, QStringLiteral("cannot read"),
                                 errno);
        if (draft.write(block) != block.size() || !draft.flush())
            return systemFailure(QStringLiteral("无法建立词库"), target, QStringLiteral("cannot write"),
                                 errno);
    }
    if (::fsync(draft.handle()) != 0)
        return systemFailure(QStringLiteral("无法建立词库"), target, QStringLiteral("cannot write"), errno);
    draft.close();
    return std::nullopt;
}

// The twenty unit tables, empty, for an import where no course is installed.
std::optional<Failure> createUnitTables(QTemporaryFile& draft, const QString& target)
{
    draft.close();
    if (auto failure = WordDatabase::makeUnitTables(draft.fileName()))
        return Failure{
            QStringLiteral("无法建立词库 %1：%2").arg(QDir::toNativeSeparators(target), failure->detail),
            failure->detail};
    return std::nullopt;
}

// Puts the draft in place as the word database; `replace` only for the untouched copy of the course.
std::optional<Failure> place(QTemporaryFile& draft, const QString& target, bool replace)
{
    draft.close();
    const QByteArray from = QFile::encodeName(draft.fileName());
    const QByteArray to = QFile::encodeName(target);
    int result = replace
                     ? std::rename(from.constData(), to.constData())
                     : ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE);
    if (result != 0 && !replace && errno == EINVAL) {
        // A file system without no-replace renames: a hard link does not replace either.
        result = ::link(from.constData(), to.constData());
        if (result == 0)
            ::unlink(from.constData());
    }
    if (result != 0 && errno == EEXIST)
        return std::nullopt; // another start of the program has just put a word database there: use that
    if (result != 0)
        return systemFailure(QStringLiteral("无法建立词库"), target,
                             QStringLiteral("cannot rename a new file to"), errno);
    draft.setAutoRemove(false);
    return std::nullopt;
}

std::variant<Ready, Failure> seed(const QString& directory, const QString& course)
{
    const QString target = QDir(directory).filePath(DatabaseName);
    if (!QFileInfo(course).isFile())
        return Failure{QStringLiteral("找不到 Vokabo 自带的词库 %1，无法建立您的词库 %2。请重新安装 Vokabo。")
                           .arg(QDir::toNativeSeparators(course), QDir::toNativeSeparators(target)),
                       QStringLiteral("no course database at %1 to seed %2 with").arg(course, target)};
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(directory).toStdString(), error);
    if (error)
        return systemFailure(QStringLiteral("无法建立数据文件夹"), directory, QStringLiteral("cannot create"),
                             error.value());
    auto draft = startDraft(directory);
    if (Failure* failure = std::get_if<Failure>(&draft))
        return std::move(*failure);
    auto& file = *std::get<std::unique_ptr<QTemporaryFile>>(draft);
    if (auto failure = copyCourse(file, course, target))
        return std::move(*failure);
    if (auto failure = place(file, target, false))
        return std::move(*failure);
    return Ready{directory, std::nullopt};
}

std::variant<Ready, Failure> bringOver(const QString& directory, const QString& course, bool replace)
{
    const QString target = QDir(directory).filePath(DatabaseName);
    const QString access = QDir(directory).filePath(AccessName);
    auto started = startDraft(directory);
    if (Failure* failure = std::get_if<Failure>(&started))
        return std::move(*failure);
    QTemporaryFile& draft = *std::get<std::unique_ptr<QTemporaryFile>>(started);
    auto made =
        QFileInfo(course).isFile() ? copyCourse(draft, course, target) : createUnitTables(draft, target);
    if (made)
        return std::move(*made);

    const auto imported = AccessImport::importWordTables(access, draft.fileName());
    if (const auto* failure = std::get_if<Failure>(&imported))
        return Failure{
            QStringLiteral("无法导入旧词库 %1：%2。请检查这个文件，或把它移出文件夹后再启动 Vokabo。")
                .arg(QDir::toNativeSeparators(access), failure->message),
            failure->detail};
    if (auto failure = place(draft, target, replace))
        return std::move(*failure);

    const auto& units = std::get<std::vector<AccessImport::ImportedUnit>>(imported);
    int words = 0;
    for (const AccessImport::ImportedUnit& unit : units)
        words += unit.words;
    return Ready{directory, QStringLiteral("已从旧词库 %1 导入 %2 个单元，共 %3 个单词。")
                                .arg(QDir::toNativeSeparators(access))
                                .arg(units.size())
                                .arg(words)};
}

} // namespace

QString choose(const Candidates& candidates)
{
    if (!candidates.requested.isEmpty())
        return QFileInfo(candidates.requested).absoluteFilePath();
    const QDir executable(candidates.executable);
    if (QFileInfo::exists(executable.filePath(DatabaseName)) ||
        QFileInfo::exists(executable.filePath(AccessName)))
        return candidates.executable;
    return candidates.perUser;
}

QString installedCourse(const QString& executableDirectory)
{
    return QDir::cleanPath(QDir(executableDirectory).filePath(QStringLiteral(VOKABO_COURSE_FROM_BINDIR)));
}

std::variant<Ready, Failure> prepare(const QString& directory, const QString& course)
{
    const QDir folder(directory);
    const bool hasAccess = QFileInfo::exists(folder.filePath(AccessName));
    if (QFileInfo::exists(folder.filePath(DatabaseName))) {
        // A learner who drops an old MyDatas.mdb beside the course copy made on the first start has lost
        // nothing yet: no word of that copy has been deleted.
        if (hasAccess && sameBytes(folder.filePath(DatabaseName), course))
            return bringOver(directory, course, true);
        return Ready{directory, std::nullopt};
    }
    if (hasAccess)
        return bringOver(directory, course, false);
    return seed(directory, course);
}

} // namespace DataDirectory
