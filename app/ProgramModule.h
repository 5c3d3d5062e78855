// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Failure.h"
#include "ModuleEntry.h"

#include <QLibrary>
#include <cstring>

namespace ProgramModule {

using EntryFunction = const void* (*)();

// Opens `name`, a module that comes with the program and is loaded only when first needed, and finds its
// entry function: beside the program in a build tree or a portable copy, in the program's library folder
// once installed. The failure says which: no such file, a file that does not load (and the loader's
// reason), or a file that is not one of the program's modules.
[[nodiscard]] Result<EntryFunction> open(QLibrary& module, const char* name);

// A module built for another version of the program.
Failure versionMismatch(const QLibrary& module, const char* version);

} // namespace ProgramModule

// The factory of module `name`, checked against the program's version.
template <typename Factory>
[[nodiscard]] Result<Factory> loadProgramModule(QLibrary& module, const char* name)
{
    auto opened = ProgramModule::open(module, name);
    if (auto* failure = std::get_if<Failure>(&opened))
        return *failure;
    const auto entryFunction =
        reinterpret_cast<const ModuleEntry<Factory>* (*)()>(std::get<ProgramModule::EntryFunction>(opened));
    const ModuleEntry<Factory>* entry = entryFunction();
    if (!entry || !entry->programVersion || std::strcmp(entry->programVersion, VOKABO_VERSION) != 0 ||
        !entry->create)
        return ProgramModule::versionMismatch(module, entry ? entry->programVersion : nullptr);
    return entry->create;
}
