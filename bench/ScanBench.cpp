// Time ApplicationsInfo::Scan takes over a generated installation, registered as the
// product's "InstallPathPro" in the 32-bit registry view for the time of the run.
// The program should run from a folder of its own: the scan also records the files
// beside it (the diagnostics program's own folder).
// Usage: orvo_scan_bench INSTALL_FOLDER [ROUNDS]
// Prints one line per round and last
// "RESULT seconds=<median> files=<recorded> peak_mib=<peak working set>".

#include "BenchClock.h"
#include "BenchInstall.h"
#include "inventory/ApplicationsInfo.h"
#include "inventory/FileFacts.h"
#include "inventory/MD5.h"
#include "inventory/VersionInfo.h"
#include "misc/Handles.h"
#include "PeakMemory.h"

#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace
{

std::size_t CountFiles(ApplicationsInfo::FolderContent& folder)
{
    std::size_t count = folder.Files().Count();
    folder.Folders().ForEach([&](ApplicationsInfo::FolderContent& sub) { count += CountFiles(sub); });
    return count;
}

void ListFiles(const std::wstring& folder, std::vector<std::wstring>& files)
{
    WIN32_FIND_DATAW found{};
    HANDLE find = ::FindFirstFileW((folder + L"\\*.*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do
    {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ListFiles(folder + L"\\" + name, files);
        else
            files.push_back(folder + L"\\" + name);
    } while (::FindNextFileW(find, &found));
    ::FindClose(find);
}

// Reads every file whole in blocks of `block` bytes through one handle (without
// sharing, its date and size taken as the scan takes them), digesting when asked.
double ReadAll(const std::vector<std::wstring>& files, DWORD block, bool digest, bool read)
{
    std::vector<std::uint8_t> buffer(block);
    const double start = BenchNow();
    for (const std::wstring& path : files)
    {
        const Misc::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN,
                                                  nullptr));
        FILETIME created{}, accessed{}, written{};
        LARGE_INTEGER size{};
        ::GetFileTime(file.Get(), &created, &accessed, &written);
        ::GetFileSizeEx(file.Get(), &size);
        Misc::MD5 md5;
        DWORD got = 0;
        while (read && ::ReadFile(file.Get(), buffer.data(), block, &got, nullptr) && got > 0)
            if (digest)
                md5.Update(buffer.data(), got);
    }
    return BenchNow() - start;
}

// Where the time of a scan goes: the listing; opening each file with its date and size;
// reading the bytes; digesting them; the one-pass facts (which now include the version
// of every image whose entry the image settles); the whole record step. For comparison
// the platform's version lookups of the images, which the scan no longer makes.
void Profile(const std::wstring& folder)
{
    double start = BenchNow();
    std::vector<std::wstring> files;
    ListFiles(folder, files);
    const double walk = BenchNow() - start;

    const double opens = ReadAll(files, 64 * 1024, false, false);
    const double reads = ReadAll(files, 64 * 1024, false, true);
    const double bigReads = ReadAll(files, 1024 * 1024, false, true);
    const double digests = ReadAll(files, 64 * 1024, true, true);
    std::printf("open without sharing, date, size, close: %.3f s; + reading in 64 KiB blocks %.3f s "
                "(in 1 MiB blocks %.3f s); + digest %.3f s\n",
                opens, reads, bigReads, digests);

    std::vector<std::uint8_t> block(64 * 1024, 0x5A);
    std::uint64_t total = 0;
    for (const std::wstring& path : files)
    {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
            total += (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    start = BenchNow();
    Misc::MD5 md5;
    for (std::uint64_t done = 0; done < total; done += block.size())
        md5.Update(block.data(), block.size());
    std::printf("MD5 of %llu bytes in memory: %.3f s\n", static_cast<unsigned long long>(total),
                BenchNow() - start);

    start = BenchNow();
    std::vector<std::wstring> images;
    for (const std::wstring& path : files)
        if (ReadFileFacts(path).version != Misc::ImageVersion::None)
            images.push_back(path);
    const double facts = BenchNow() - start;

    start = BenchNow();
    for (const std::wstring& path : images)
    {
        DWORD handle = 0;
        ::GetFileVersionInfoSizeW(path.c_str(), &handle);
    }
    std::printf("the platform's version size queries of the %zu images %.3f s (not made by the scan)\n",
                images.size(), BenchNow() - start);

    start = BenchNow();
    for (const std::wstring& path : files)
    {
        ApplicationsInfo::FileInfo record(path, L"x");
        record.Fill();
    }
    const double fill = BenchNow() - start;
    std::printf("profile: %zu files: listing %.3f s, one-pass facts %.3f s, FileInfo::Fill %.3f s\n",
                files.size(), walk, facts, fill);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
    {
        std::fputs("usage: orvo_scan_bench INSTALL_FOLDER [ROUNDS]\n", stderr);
        return 2;
    }
    const int rounds = argc > 2 ? std::max(1, _wtoi(argv[2])) : 3;
    if (argc > 3 && std::wcscmp(argv[3], L"--profile") == 0)
        Profile(argv[1]);
    if (!RegisterInstallation(argv[1]))
    {
        std::fputs("cannot register the installation folder\n", stderr);
        return 1;
    }
    ApplicationsInfo inventory;
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round)
    {
        const double start = BenchNow();
        inventory.Scan(nullptr);
        times.push_back(BenchNow() - start);
        std::printf("round %d: %.3f s\n", round + 1, times.back());
    }
    const std::size_t files = CountFiles(inventory.Root());
    UnregisterInstallation();
    std::printf("RESULT seconds=%.4f files=%zu peak_mib=%.1f\n", Median(times), files, PeakMiB());
    return 0;
}
