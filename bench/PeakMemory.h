#pragma once
// The benchmarks' memory figure: the process's peak working set so far.

#include <windows.h>

#include <psapi.h>

inline double PeakMiB()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters))
        return 0;
    return static_cast<double>(counters.PeakWorkingSetSize) / 1048576.0;
}
