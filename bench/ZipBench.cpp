// Throughput of the archive writer on a generated data set: half random bytes
// (stored blocks inside deflate entries), half log-like text.
// Usage: orvo_zip_bench FOLDER [MiB] [--reuse]
// Writes the data set into FOLDER (unless --reuse), then FOLDER\bench.zip, and
// prints the figures, the last line in the form "RESULT key=value ...".

#include "misc/Handles.h"
#include "report/ZipArchive.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace
{

constexpr unsigned kFileCount = 16; // half random, half text
constexpr std::size_t kChunk = 1 << 20;

// A small fast generator: the data set is the same on every run.
struct XorShift
{
    std::uint64_t state;
    std::uint64_t Next()
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
};

bool WriteAll(HANDLE file, const std::string& data)
{
    DWORD written = 0;
    return ::WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
           written == data.size();
}

void RandomChunk(XorShift& rng, std::string& chunk)
{
    chunk.resize(kChunk);
    for (std::size_t i = 0; i < kChunk; i += 8)
    {
        const std::uint64_t v = rng.Next();
        for (int k = 0; k < 8; ++k)
            chunk[i + k] = static_cast<char>(v >> (8 * k));
    }
}

// Lines like the product's log files: time stamps, levels, words and numbers.
void TextChunk(XorShift& rng, std::string& chunk)
{
    static const char* const levels[] = {"INFO ", "DEBUG", "WARN ", "ERROR"};
    static const char* const words[] = {"scene",   "fixture", "universe", "channel", "patch",  "cue",
                                        "fader",   "DMX",     "output",   "device",  "opened", "closed",
                                        "timeout", "value",   "library",  "loaded",  "file",   "Velmora"};
    chunk.clear();
    char line[256];
    while (chunk.size() < kChunk)
    {
        const std::uint64_t r = rng.Next();
        int n = std::snprintf(line, sizeof line, "%02u:%02u:%02u.%03u %s [%u] ", unsigned(r % 24),
                              unsigned(r >> 8) % 60, unsigned(r >> 16) % 60, unsigned(r >> 24) % 1000,
                              levels[(r >> 34) % 4], unsigned(r >> 40) % 9000 + 1000);
        const unsigned count = 3 + unsigned(r >> 54) % 8;
        for (unsigned w = 0; w < count && n < 200; ++w)
        {
            const std::uint64_t q = rng.Next();
            n += std::snprintf(line + n, sizeof line - n, (q & 3) ? "%s " : "%s=%u ", words[q % 18],
                               unsigned(q >> 20) % 100000);
        }
        n += std::snprintf(line + n, sizeof line - n, "\r\n");
        chunk.append(line, static_cast<std::size_t>(n));
    }
    chunk.resize(kChunk);
}

std::wstring FileName(unsigned i)
{
    wchar_t name[32];
    std::swprintf(name, 32, i % 2 ? L"text_%02u.log" : L"random_%02u.bin", i);
    return name;
}

bool Generate(const std::wstring& folder, std::uint64_t totalBytes)
{
    const std::uint64_t perFile = totalBytes / kFileCount;
    XorShift rng{0x9E3779B97F4A7C15ull};
    std::string chunk;
    for (unsigned i = 0; i < kFileCount; ++i)
    {
        const std::wstring path = folder + L"\\" + FileName(i);
        Misc::FileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
        {
            std::fwprintf(stderr, L"cannot create %ls\n", path.c_str());
            return false;
        }
        for (std::uint64_t done = 0; done < perFile; done += kChunk)
        {
            if (i % 2)
                TextChunk(rng, chunk);
            else
                RandomChunk(rng, chunk);
            if (perFile - done < kChunk)
                chunk.resize(static_cast<std::size_t>(perFile - done));
            if (!WriteAll(file.Get(), chunk))
                return false;
        }
    }
    return true;
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

std::uint64_t FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
    {
        std::fwprintf(stderr, L"usage: orvo_zip_bench FOLDER [MiB] [--reuse]\n");
        return 2;
    }
    const std::wstring folder = argv[1];
    std::uint64_t mib = 128;
    bool reuse = false;
    for (int i = 2; i < argc; ++i)
    {
        if (std::wcscmp(argv[i], L"--reuse") == 0)
            reuse = true;
        else
            mib = std::wcstoull(argv[i], nullptr, 10);
    }
    if (mib < 1)
        mib = 1;
    ::CreateDirectoryW(folder.c_str(), nullptr);
    if (!reuse && !Generate(folder, mib << 20))
        return 1;

    std::uint64_t input = 0;
    for (unsigned i = 0; i < kFileCount; ++i)
        input += FileSize(folder + L"\\" + FileName(i));

    const std::wstring archivePath = folder + L"\\bench.zip";
    LARGE_INTEGER start, end;
    ::QueryPerformanceCounter(&start);
    Misc::ZipArchive zip;
    if (!zip.Open(archivePath))
    {
        std::fwprintf(stderr, L"cannot create %ls\n", archivePath.c_str());
        return 1;
    }
    for (unsigned i = 0; i < kFileCount; ++i)
        if (!zip.AddFile(FileName(i), folder + L"\\" + FileName(i)))
        {
            std::fwprintf(stderr, L"cannot add %ls\n", FileName(i).c_str());
            return 1;
        }
    if (!zip.Close())
        return 1;
    ::QueryPerformanceCounter(&end);

    const double seconds = Seconds(start, end);
    const std::uint64_t output = FileSize(archivePath);
    std::wprintf(L"files      %u (%u random, %u text)\n", kFileCount, kFileCount / 2, kFileCount / 2);
    std::wprintf(L"input      %llu bytes\n", static_cast<unsigned long long>(input));
    std::wprintf(L"archive    %llu bytes (%.1f%%)\n", static_cast<unsigned long long>(output),
                 100.0 * double(output) / double(input));
    std::wprintf(L"time       %.3f s\n", seconds);
    std::wprintf(L"throughput %.1f MiB/s\n", double(input) / 1048576.0 / seconds);
    std::wprintf(L"RESULT input=%llu output=%llu seconds=%.6f\n", static_cast<unsigned long long>(input),
                 static_cast<unsigned long long>(output), seconds);
    return 0;
}
