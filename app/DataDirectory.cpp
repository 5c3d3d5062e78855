// SPDX-License-Identifier: GPL-3.0-or-later
#include "DataDirectory.h"

#include "AccessImport.h"
#include "Logging.h"
#include "WordDatabase.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QScopeGuard>
#include <QStringDecoder>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace DataDirectory {

namespace {

const QString DatabaseName = QStringLiteral("MyDatas.db");
const QString AccessName = QStringLiteral("MyDatas.mdb");
// A new word database is written under this name first; no learner would name a file so.
const QString DraftPrefix = QStringLiteral(".MyDatas.db.vokabo-draft-");
// Beside MyDatas.mdb when it could not be read: its size and time of change then.
const QString UnreadableName = QStringLiteral(".MyDatas.mdb.unreadable");

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
        return QStringLiteral("系统错误：%1").arg(qt_error_string(error));
    }
}

Failure systemFailure(const QString& what, const QString& path, const QString& step, int error)
{
    return {QStringLiteral("%1 %2：%3").arg(what, QDir::toNativeSeparators(path), reasonText(error)),
            QStringLiteral("%1 %2: %3").arg(step, path, qt_error_string(error))};
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

// A new file beside the word database, owner read and write only (mkstemp's mode), removed again unless
// it is placed. Made with POSIX calls, so that every failure has its errno read right after the call.
class Draft {
public:
    Draft() = default;
    Draft(const Draft&) = delete;
    Draft& operator=(const Draft&) = delete;
    ~Draft()
    {
        close();
        if (!path_.isEmpty())
            ::unlink(path_.constData());
    }
    // The errno of the failure; 0 when made.
    int make(const QString& directory)
    {
        path_ = QFile::encodeName(QDir(directory).filePath(DraftPrefix + QStringLiteral("XXXXXX")));
        fd_ = ::mkostemp(path_.data(), O_CLOEXEC);
        const int error = fd_ < 0 ? errno : 0;
        if (fd_ < 0)
            path_.clear();
        return error;
    }
    int fd() const { return fd_; }
    QString fileName() const { return QFile::decodeName(path_); }
    void close()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    void placed() { path_.clear(); }

private:
    QByteArray path_;
    int fd_ = -1;
};

std::optional<Failure> startDraft(Draft& draft, const QString& directory)
{
    if (const int error = draft.make(directory))
        return systemFailure(QStringLiteral("无法在文件夹中建立词库"), directory,
                             QStringLiteral("cannot create a file in"), error);
    return std::nullopt;
}

// The course's bytes into the draft, on the disk before the draft is placed.
std::optional<Failure> copyCourse(Draft& draft, const QString& course, const QString& target)
{
    const auto cannotRead = [&](int error) {
        return systemFailure(QStringLiteral("无法读取自带的词库"), course, QStringLiteral("cannot read"),
                             error);
    };
    const auto cannotWrite = [&](int error) {
        return systemFailure(QStringLiteral("无法建立词库"), target, QStringLiteral("cannot write"), error);
    };
    const int source = ::open(QFile::encodeName(course).constData(), O_RDONLY | O_CLOEXEC);
    if (source < 0)
        return cannotRead(errno);
    const auto closeSource = qScopeGuard([&] { ::close(source); });
    std::vector<char> block(1 << 16);
    for (;;) {
        const ssize_t got = ::read(source, block.data(), block.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return cannotRead(errno);
        if (got == 0)
            break;
        for (ssize_t written = 0; written < got;) {
            const ssize_t put = ::write(draft.fd(), block.data() + written, size_t(got - written));
            if (put < 0 && errno == EINTR)
                continue;
            if (put < 0)
                return cannotWrite(errno);
            written += put;
        }
    }
    if (::fsync(draft.fd()) != 0)
        return cannotWrite(errno);
    draft.close();
    return std::nullopt;
}

// The twenty unit tables, empty, for an import where no course is installed.
std::optional<Failure> createUnitTables(Draft& draft, const QString& target)
{
    draft.close();
    if (auto failure = WordDatabase::makeUnitTables(draft.fileName()))
        return Failure{
            QStringLiteral("无法建立词库 %1：%2").arg(QDir::toNativeSeparators(target), failure->detail),
            failure->detail};
    return std::nullopt;
}

enum class Placed { Draft, AnotherStartsDatabase };

// Puts the draft in place as the word database; `replace` only for the untouched copy of the course.
std::variant<Placed, Failure> place(Draft& draft, const QString& target, bool replace)
{
    draft.close();
    const QByteArray from = QFile::encodeName(draft.fileName());
    const QByteArray to = QFile::encodeName(target);
    int result = replace
                     ? std::rename(from.constData(), to.constData())
                     : ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE);
    int error = result != 0 ? errno : 0;
    if (error == EINVAL && !replace) {
        // A file system without no-replace renames: a hard link does not replace either.
        result = ::link(from.constData(), to.constData());
        error = result != 0 ? errno : 0;
        if (result == 0)
            ::unlink(from.constData());
    }
    if (error == EEXIST)
        return Placed::AnotherStartsDatabase; // another start of the program has just put one there
    if (error != 0)
        return systemFailure(QStringLiteral("无法建立词库"), target,
                             QStringLiteral("cannot rename a new file to"), error);
    draft.placed();
    return Placed::Draft;
}

// Each missing folder on the way, made for the owner alone; errno is the first mkdir's that failed.
int createFolders(const QString& directory)
{
    const QString absolute = QDir::cleanPath(QFileInfo(directory).absoluteFilePath());
    QStringList missing;
    for (QFileInfo folder(absolute); !folder.exists() && !folder.isRoot(); folder = QFileInfo(folder.path()))
        missing.prepend(folder.filePath());
    for (const QString& folder : missing) {
        if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST)
            return errno;
    }
    return QFileInfo(absolute).isDir() ? 0 : ENOTDIR;
}

std::optional<Failure> createFolder(const QString& directory)
{
    if (const int error = createFolders(directory))
        return systemFailure(QStringLiteral("无法建立数据文件夹"), directory, QStringLiteral("cannot create"),
                             error);
    return std::nullopt;
}

std::variant<Ready, Failure> seed(const QString& directory, const QString& course,
                                  std::optional<QString> notice = std::nullopt)
{
    const QString target = QDir(directory).filePath(DatabaseName);
    if (!QFileInfo(course).isFile())
        return Failure{QStringLiteral("找不到 Vokabo 自带的词库 %1，无法建立您的词库 %2。请重新安装 Vokabo。")
                           .arg(QDir::toNativeSeparators(course), QDir::toNativeSeparators(target)),
                       QStringLiteral("no course database at %1 to seed %2 with").arg(course, target)};
    if (auto failure = createFolder(directory))
        return std::move(*failure);
    Draft draft;
    if (auto failure = startDraft(draft, directory))
        return std::move(*failure);
    if (auto failure = copyCourse(draft, course, target))
        return std::move(*failure);
    auto placed = place(draft, target, false);
    if (Failure* failure = std::get_if<Failure>(&placed))
        return std::move(*failure);
    return Ready{directory, std::move(notice)};
}

// What is remembered of an old Access file that could not be read: its size and time of change. The same
// file is not read again at the next start; a changed one is.
QByteArray fingerprint(const QString& file)
{
    const QFileInfo info(file);
    return QByteArray::number(info.size()) + ' ' +
           QByteArray::number(info.lastModified().toMSecsSinceEpoch()) + '\n';
}

bool knownUnreadable(const QString& directory)
{
    QFile remembered(QDir(directory).filePath(UnreadableName));
    return remembered.open(QIODevice::ReadOnly) &&
           remembered.read(256) == fingerprint(QDir(directory).filePath(AccessName));
}

void rememberUnreadable(const QString& directory)
{
    QSaveFile remembered(QDir(directory).filePath(UnreadableName));
    if (!remembered.open(QIODevice::WriteOnly) ||
        remembered.write(fingerprint(QDir(directory).filePath(AccessName))) < 0 || !remembered.commit())
        qCWarning(lcApp, "cannot write %s: %s", qUtf8Printable(remembered.fileName()),
                  qUtf8Printable(remembered.errorString()));
}

std::variant<Ready, Failure> bringOver(const QString& directory, const QString& course, bool replace,
                                       const QString& reader)
{
    const QString target = QDir(directory).filePath(DatabaseName);
    const QString access = QDir(directory).filePath(AccessName);
    Draft draft;
    if (auto failure = startDraft(draft, directory))
        return std::move(*failure);
    auto made =
        QFileInfo(course).isFile() ? copyCourse(draft, course, target) : createUnitTables(draft, target);
    if (made)
        return std::move(*made);

    const auto imported = AccessImport::importWordTables(access, draft.fileName(), reader);
    if (const auto* failure = std::get_if<Failure>(&imported)) {
        if (failure->kind != Failure::Kind::ReadFailed)
            return Failure{
                QStringLiteral("无法导入旧词库 %1：%2。请检查这个文件，或把它移出文件夹后再启动 Vokabo。")
                    .arg(QDir::toNativeSeparators(access), failure->message),
                failure->detail};
        // A damaged file: said once, and the program starts as it would without it.
        qCWarning(lcApp, "%s", qUtf8Printable(failure->detail));
        rememberUnreadable(directory);
        const QString notice =
            QStringLiteral(
                "旧词库 %1 无法读取：%2。Vokabo 照常启动，没有改动这个文件；在它改变以前不会再读取它。")
                .arg(AccessName, failure->message);
        if (replace)
            return Ready{directory, notice};
        return seed(directory, course, notice);
    }
    auto placed = place(draft, target, replace);
    if (Failure* failure = std::get_if<Failure>(&placed))
        return std::move(*failure);
    if (std::get<Placed>(placed) == Placed::AnotherStartsDatabase)
        return Ready{directory, std::nullopt}; // what was imported is not in use: say nothing of it

    const auto& result = std::get<AccessImport::Imported>(imported);
    int words = 0;
    for (const AccessImport::ImportedUnit& unit : result.units)
        words += unit.words;
    QString notice = QStringLiteral("已从旧词库 %1 导入 %2 个单元，共 %3 个单词。")
                         .arg(QDir::toNativeSeparators(access))
                         .arg(result.units.size())
                         .arg(words);
    if (!result.refused.isEmpty())
        notice += QStringLiteral("单词表 %1 中没有一个加密的单词，没有导入。")
                      .arg(result.refused.join(QStringLiteral("、")));
    return Ready{directory, notice};
}

// Temporary copies that a start or a migration cut off left behind: ours by their name, and old enough
// that no start under way is still writing them. Earlier versions named them ".MyDatas.db." and six
// random letters and digits; of those, a name of lower-case letters alone (".MyDatas.db.backup") may be
// the learner's own and stays.
void removeStaleDrafts(const QString& directory)
{
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-60);
    static const QRegularExpression ours(
        QStringLiteral("^\\.MyDatas\\.db\\.(vokabo-draft-[A-Za-z0-9]{6}|(?![a-z]{6}$)[A-Za-z0-9]{6})$"));
    const QFileInfoList drafts =
        QDir(directory).entryInfoList({QStringLiteral(".MyDatas.db.*")}, QDir::Files | QDir::Hidden);
    for (const QFileInfo& draft : drafts) {
        if (ours.match(draft.fileName()).hasMatch() && !draft.isSymLink() &&
            draft.lastModified().toUTC() < before)
            QFile::remove(draft.filePath());
    }
}

} // namespace

bool makeFolder(const QString& directory)
{
    return createFolders(directory) == 0;
}

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

QString perUserFolder(const QByteArray& xdgDataHome, const QString& home)
{
    const QString base = xdgDataHome.startsWith('/') ? QFile::decodeName(xdgDataHome)
                                                     : QDir(home).filePath(QStringLiteral(".local/share"));
    return QDir::cleanPath(QDir(base).filePath(QStringLiteral("vokabo")));
}

Result<QString> requestedFolder(int argc, const char* const argv[], const QByteArray& environment)
{
    std::optional<QByteArray> raw;
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--")
            break;
        if (argument == "--data-dir" && i + 1 < argc)
            raw = QByteArray(argv[++i]);
        else if (argument.startsWith("--data-dir="))
            raw = argument.mid(int(std::strlen("--data-dir=")));
    }
    const bool fromArguments = raw.has_value();
    if (!raw)
        raw = environment;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString folder = utf8.decode(*raw);
    if (utf8.hasError()) {
        const QString origin =
            fromArguments ? QStringLiteral("--data-dir") : QStringLiteral("VOKABO_DATA_DIR");
        return Failure{
            QStringLiteral("数据文件夹的名称（%1）不是有效的 UTF-8 文本，无法使用。请换一个文件夹。")
                .arg(origin),
            QStringLiteral("%1 is not valid UTF-8: %2")
                .arg(origin, QString::fromLatin1(raw->toPercentEncoding("/")))};
    }
    return folder;
}

QString installedCourse(const QString& executableDirectory)
{
    return QDir::cleanPath(QDir(executableDirectory).filePath(QStringLiteral(VOKABO_COURSE_FROM_BINDIR)));
}

std::variant<Ready, Failure> prepare(const QString& directory, const QString& course, const QString& reader)
{
    const QDir folder(directory);
    removeStaleDrafts(directory);
    const QString database = folder.filePath(DatabaseName);
    const QFileInfo databaseInfo(database);
    if (databaseInfo.isDir())
        return Failure{QStringLiteral("词库 %1 是一个文件夹，不是词库文件。请把它移走或改名后再启动 Vokabo。")
                           .arg(QDir::toNativeSeparators(database)),
                       QStringLiteral("%1 is a folder, not a word database").arg(database)};
    const bool hasAccess = QFileInfo::exists(folder.filePath(AccessName)) && !knownUnreadable(directory);
    if (databaseInfo.exists()) {
        // A learner who drops an old MyDatas.mdb beside the course copy made on the first start has lost
        // nothing yet: no word of that copy has been deleted.
        if (hasAccess && sameBytes(database, course))
            return bringOver(directory, course, true, reader);
        return Ready{directory, std::nullopt};
    }
    if (hasAccess)
        return bringOver(directory, course, false, reader);
    return seed(directory, course);
}

} // namespace DataDirectory
