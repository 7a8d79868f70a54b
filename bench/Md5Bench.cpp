// Time the one-pass file facts take to digest one file, several rounds; the file is read once
// before the rounds so that every round reads it from the cache, as md5sum does in the
// same run. Usage: orvo_md5_bench FILE [ROUNDS]
// Prints one line per round and last "RESULT seconds=<median> bytes=<size> digest=<hex>".

#include "BenchClock.h"
#include "inventory/FileFacts.h"

#include <cstdio>
#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
    {
        std::fputs("usage: orvo_md5_bench FILE [ROUNDS]\n", stderr);
        return 2;
    }
    const std::wstring path = argv[1];
    const int rounds = argc > 2 ? std::max(1, _wtoi(argv[2])) : 5;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
    {
        std::fputs("cannot find the file\n", stderr);
        return 1;
    }
    const unsigned long long bytes =
        (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;

    std::wstring digest = ReadFileFacts(path).digest; // warms the cache
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round)
    {
        const double start = BenchNow();
        digest = ReadFileFacts(path).digest;
        if (digest.empty())
        {
            std::fputs("cannot digest the file\n", stderr);
            return 1;
        }
        times.push_back(BenchNow() - start);
        std::printf("round %d: %.3f s\n", round + 1, times.back());
    }
    std::printf("RESULT seconds=%.4f bytes=%llu digest=%ls\n", Median(times), bytes, digest.c_str());
    return 0;
}
