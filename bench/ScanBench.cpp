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

// One stretch of the profile: wall-clock time and the processor time of this process
// (user and kernel). On a shared machine the wall-clock time swings with the load; the
// processor time much less, but it leaves out what the Wine server does for the calls.
struct Lap
{
    double wall = 0;
    double cpu = 0;

    static Lap Now()
    {
        FILETIME created{}, exited{}, kernel{}, user{};
        ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
        const auto seconds = [](const FILETIME& t) {
            return static_cast<double>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) |
                                       t.dwLowDateTime) /
                   1e7;
        };
        return Lap{BenchNow(), seconds(kernel) + seconds(user)};
    }
    Lap Since() const
    {
        const Lap now = Now();
        return Lap{now.wall - wall, now.cpu - cpu};
    }
    void Print(const char* what) const { std::printf("  %-52s %7.3f s  (cpu %7.3f s)\n", what, wall, cpu); }
};

// Reads every file whole in blocks of `block` bytes through one handle (without
// sharing, its date and size taken as the scan takes them), digesting when asked.
Lap ReadAll(const std::vector<std::wstring>& files, DWORD block, bool digest, bool read)
{
    std::vector<std::uint8_t> buffer(block);
    const Lap start = Lap::Now();
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
    return start.Since();
}

Lap DigestInMemory(const std::vector<std::wstring>& files)
{
    std::uint64_t total = 0;
    for (const std::wstring& path : files)
    {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
            total += (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    std::vector<std::uint8_t> block(64 * 1024, 0x5A);
    const Lap start = Lap::Now();
    Misc::MD5 md5;
    for (std::uint64_t done = 0; done < total; done += block.size())
        md5.Update(block.data(), block.size());
    return start.Since();
}

// Where the time of a scan goes: the listing; opening each file with its date and size;
// reading the bytes; digesting them; the one-pass facts (which include the version of
// every image whose entry the image settles); the whole record step. For comparison
// the platform's version lookups of the images, which the scan no longer makes.
void Profile(const std::wstring& folder)
{
    Lap start = Lap::Now();
    std::vector<std::wstring> files;
    ListFiles(folder, files);
    std::printf("profile of %zu files:\n", files.size());
    start.Since().Print("listing");
    ReadAll(files, 64 * 1024, false, false).Print("open without sharing, date, size, close");
    ReadAll(files, 64 * 1024, false, true).Print("the same + reading in 64 KiB blocks");
    ReadAll(files, 1024 * 1024, false, true).Print("the same + reading in 1 MiB blocks");
    ReadAll(files, 64 * 1024, true, true).Print("the same + digest (64 KiB blocks)");
    DigestInMemory(files).Print("MD5 of as many bytes in memory");

    start = Lap::Now();
    std::vector<std::wstring> images;
    for (const std::wstring& path : files)
        if (ReadFileFacts(path).version != Misc::ImageVersion::None)
            images.push_back(path);
    start.Since().Print("ReadFileFacts (one pass, versions included)");

    start = Lap::Now();
    for (const std::wstring& path : files)
    {
        ApplicationsInfo::FileInfo record(path, L"x");
        record.Fill();
    }
    start.Since().Print("FileInfo::Fill");

    start = Lap::Now();
    for (const std::wstring& path : images)
    {
        DWORD handle = 0;
        ::GetFileVersionInfoSizeW(path.c_str(), &handle);
    }
    std::printf("  (the platform's version size queries of the %zu images, not made by the scan:)\n",
                images.size());
    start.Since().Print("GetFileVersionInfoSizeW");
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
        const Lap start = Lap::Now();
        inventory.Scan(nullptr);
        const Lap lap = start.Since();
        times.push_back(lap.wall);
        std::printf("round %d: %.3f s (cpu %.3f s)\n", round + 1, lap.wall, lap.cpu);
    }
    const std::size_t files = CountFiles(inventory.Root());
    UnregisterInstallation();
    std::printf("RESULT seconds=%.4f files=%zu peak_mib=%.1f\n", Median(times), files, PeakMiB());
    return 0;
}
