// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a module of the program shows of itself, through its one exported function: the version of the
// program it was built with, and how to make what it holds. The program refuses a module of another version.
template <typename Factory> struct ModuleEntry {
    const char* programVersion;
    Factory create;
};

// The one symbol a module exports: `extern "C" const ModuleEntry<Factory>* vokabo_module_entry()`.
inline constexpr char ModuleEntrySymbol[] = "vokabo_module_entry";

#define VOKABO_MODULE_ENTRY(Factory, factory)                                                                \
    extern "C" Q_DECL_EXPORT const ModuleEntry<Factory>* vokabo_module_entry()                               \
    {                                                                                                        \
        static const ModuleEntry<Factory> entry{VOKABO_VERSION, factory};                                    \
        return &entry;                                                                                       \
    }
