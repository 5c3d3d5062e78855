// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgramModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace ProgramModule {

Result<EntryFunction> open(QLibrary& module, const char* name)
{
    const QString file = QLatin1String(name) + QStringLiteral(".so");
    const QDir programDirectory(QCoreApplication::applicationDirPath());
    QStringList looked;
    for (const QString& directory :
         {programDirectory.path(), programDirectory.filePath(QStringLiteral(VOKABO_MODULES_FROM_BINDIR))}) {
        const QString path = QDir::cleanPath(QDir(directory).filePath(file));
        looked << path;
        if (!QFileInfo::exists(path))
            continue;
        module.setFileName(path);
        if (!module.load())
            return Failure{QStringLiteral("程序文件 %1 无法载入：%2").arg(file, module.errorString()),
                           QStringLiteral("%1 cannot be loaded: %2").arg(path, module.errorString())};
        if (const QFunctionPointer entry = module.resolve(ModuleEntrySymbol))
            return reinterpret_cast<EntryFunction>(entry);
        return Failure{
            QStringLiteral("程序文件 %1 不是 Vokabo 的模块").arg(file),
            QStringLiteral("%1 has no %2: not a module of this program").arg(path, ModuleEntrySymbol)};
    }
    return Failure{QStringLiteral("找不到程序文件 %1").arg(file),
                   QStringLiteral("%1 is in none of %2").arg(file, looked.join(QStringLiteral(", ")))};
}

Failure versionMismatch(const QLibrary& module, const char* version)
{
    const QString file = QFileInfo(module.fileName()).fileName();
    const QString theirs = version ? QString::fromUtf8(version) : QStringLiteral("?");
    return {QStringLiteral("程序文件 %1 属于另一个版本的 Vokabo（%2），与本程序（%3）不符")
                .arg(file, theirs, QStringLiteral(VOKABO_VERSION)),
            QStringLiteral("%1 was built for Vokabo %2, this is %3")
                .arg(module.fileName(), theirs, QStringLiteral(VOKABO_VERSION))};
}

} // namespace ProgramModule
