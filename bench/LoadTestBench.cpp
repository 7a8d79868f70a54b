// The cost of the probes: ten load tests of a library that loads, in the probe that
// serves a scan's load tests (started for them), against the same ten in this process.
// Usage: orvo_load_bench LIBRARY [ROUNDS]; prints one line per round and the medians.

#include "inventory/LibraryLoadTest.h"
#include "inventory/ProbeRunner.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace
{

constexpr int kLibraries = 10;

ULONGLONG TimeTests(const std::vector<std::wstring>& paths, std::wstring (*test)(const std::wstring&))
{
    const ULONGLONG start = ::GetTickCount64();
    for (const std::wstring& path : paths)
        if (test(path) != L"Loaded correctly.")
            std::fwprintf(stderr, L"unexpected line for %ls\n", path.c_str());
    return ::GetTickCount64() - start;
}

ULONGLONG Median(std::vector<ULONGLONG> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return 2;
    const int rounds = argc > 2 ? std::max(1, _wtoi(argv[2])) : 5;
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"orvo-load-bench";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    std::vector<std::wstring> paths;
    for (int i = 0; i < kLibraries; ++i)
    {
        paths.push_back(folder + L"\\Library" + std::to_wstring(i) + L".dll");
        ::CopyFileW(argv[1], paths.back().c_str(), FALSE);
    }
    std::vector<ULONGLONG> probed, here;
    for (int round = 0; round < rounds; ++round)
    {
        {
            // As a scan holds one: the probe is unpacked and started once for all ten.
            ProbeSession session;
            probed.push_back(TimeTests(paths, LibraryLoadDetail));
        }
        here.push_back(TimeTests(paths, LibraryLoadDetailHere));
        std::printf("round %d: %d load tests in probes %llu ms, in this process %llu ms\n", round + 1,
                    kLibraries, probed.back(), here.back());
    }
    std::printf("median: probes %llu ms, in this process %llu ms, difference %llu ms\n", Median(probed),
                Median(here), Median(probed) - std::min(Median(probed), Median(here)));
    for (const std::wstring& path : paths)
        ::DeleteFileW(path.c_str());
    ::RemoveDirectoryW(folder.c_str());
    return 0;
}
