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

// Where the time of a scan goes: the walk, the facts read in one pass, the version
// lookups of the files that may hold one, and the whole record step.
void Profile(const std::wstring& folder)
{
    double start = BenchNow();
    std::vector<std::wstring> files;
    ListFiles(folder, files);
    const double walk = BenchNow() - start;

    const DWORD shares[] = {0, FILE_SHARE_READ};
    for (DWORD share : shares)
    {
        start = BenchNow();
        for (const std::wstring& path : files)
        {
            const Misc::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, share, nullptr,
                                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        }
        std::printf("open+close share %lu: %.3f s\n", share, BenchNow() - start);
    }
    start = BenchNow();
    std::size_t versioned = 0;
    for (const std::wstring& path : files)
        versioned += ReadFileFacts(path).mayHoldVersion ? 1 : 0;
    const double facts = BenchNow() - start;

    start = BenchNow();
    for (const std::wstring& path : files)
    {
        if (path.size() > 4 && (path.compare(path.size() - 4, 4, L".dll") == 0 ||
                                path.compare(path.size() - 4, 4, L".exe") == 0))
        {
            Misc::VersionInfo version;
            version.Load(path);
        }
    }
    const double versions = BenchNow() - start;

    std::vector<std::wstring> images;
    for (const std::wstring& path : files)
        if (ReadFileFacts(path).mayHoldVersion)
            images.push_back(path);
    start = BenchNow();
    for (const std::wstring& path : images)
    {
        DWORD handle = 0;
        ::GetFileVersionInfoSizeW(path.c_str(), &handle);
    }
    const double sizes = BenchNow() - start;
    start = BenchNow();
    for (const std::wstring& path : images)
    {
        const Misc::ModuleHandle module(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    }
    std::printf("version size queries %.3f s, loads as data file %.3f s (%zu images)\n", sizes,
                BenchNow() - start, images.size());

    start = BenchNow();
    for (const std::wstring& path : files)
    {
        ApplicationsInfo::FileInfo record(path, L"x");
        record.Fill();
    }
    const double fill = BenchNow() - start;
    std::printf(
        "profile: %zu files: listing %.3f s, one-pass facts %.3f s, version lookups of %zu images %.3f s, "
        "FileInfo::Fill %.3f s\n",
        files.size(), walk, facts, versioned, versions, fill);
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
