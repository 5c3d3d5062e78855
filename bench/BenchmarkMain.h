// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <benchmark/benchmark.h>

// The main() of a benchmark program that needs Qt: the application object (Qt Sql wants one, the windows a
// QApplication) lives while the benchmarks run.
template <typename Application> int runBenchmarks(int argc, char** argv)
{
    Application application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
