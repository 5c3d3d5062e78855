#include "ProgramModule.h"

#include <QCoreApplication>
#include <QDir>

std::variant<QFunctionPointer, QString> loadProgramModule(QLibrary& module, const char* name,
                                                          const char* entryPoint)
{
    const QDir programDirectory(QCoreApplication::applicationDirPath());
    QStringList problems;
    for (const QString& directory :
         {programDirectory.path(), programDirectory.filePath(QStringLiteral(VOKABO_MODULES_FROM_BINDIR))}) {
        module.setFileName(QDir(directory).filePath(QLatin1String(name)));
        if (const QFunctionPointer found = module.resolve(entryPoint))
            return found;
        problems << module.errorString();
    }
    return problems.join(QStringLiteral("; "));
}
