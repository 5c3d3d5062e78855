// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <cstdio>
#include <cstdlib>

// A property that failed: libFuzzer keeps the input as a finding.
#define FUZZ_CHECK(condition, ...)                                                                           \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "property failed: %s\n", #condition);                                       \
            std::fprintf(stderr, "%s\n", qUtf8Printable(QString(__VA_ARGS__)));                              \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)
