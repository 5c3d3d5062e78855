#pragma once

#include <QLibrary>
#include <QString>
#include <variant>

// Opens `name`, a module that comes with the program and is loaded only when first needed, and finds its
// entry point: beside the program in a build tree or a portable copy, in the program's library folder once
// installed. Gives the entry point, or why the module cannot be used (the loader's words, for stderr).
[[nodiscard]] std::variant<QFunctionPointer, QString> loadProgramModule(QLibrary& module, const char* name,
                                                                        const char* entryPoint);

template <typename EntryPoint>
[[nodiscard]] std::variant<EntryPoint, QString> loadProgramModule(QLibrary& module, const char* name,
                                                                  const char* entryPoint)
{
    auto loaded = loadProgramModule(module, name, entryPoint);
    if (auto* problem = std::get_if<QString>(&loaded))
        return *problem;
    return reinterpret_cast<EntryPoint>(std::get<QFunctionPointer>(loaded));
}
