// Time the Files tab takes to build its tree from a large inventory: FOLDERS folders
// of FILES files each, every file with DETAILS detail lines. The files are written and
// recorded first (not timed); then the page's fill runs several times on a shown
// window, each time from an emptied tree, as after a scan.
// Usage: orvo_files_tree_bench FOLDER [FILES_TOTAL] [DETAILS]
// Prints the figures, the last line in the form "RESULT key=value ...".

#include "inventory/ApplicationsDialog.h"
#include "misc/Handles.h"
#include "misc/Text.h"
#include "resource.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace
{

constexpr int kFolders = 20;
constexpr int kRuns = 5;

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER frequency{};
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now()
{
    LARGE_INTEGER now{};
    ::QueryPerformanceCounter(&now);
    return now;
}

bool WriteSmallFile(const std::wstring& path, int index)
{
    const Misc::FileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    const std::string content(static_cast<std::size_t>(index % 4096), 'x');
    DWORD written = 0;
    return ::WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) !=
           FALSE;
}

// Names of varied length and extension, as an installation has them.
std::wstring FileName(int index)
{
    static const wchar_t* const kinds[] = {L"exe", L"dll", L"plugin", L"vlb", L"txt", L"ini"};
    return Misc::Format(L"Fixture_%05d_%ls.%ls", index,
                        std::wstring(static_cast<std::size_t>(index % 17), L'p').c_str(), kinds[index % 6]);
}

bool BuildInventory(ApplicationsInfo& inventory, const std::wstring& base, int files, int details)
{
    using FolderContent = ApplicationsInfo::FolderContent;
    for (int f = 0; f < kFolders; ++f)
    {
        const std::wstring path = Misc::Format(L"%ls\\Folder%02d", base.c_str(), f);
        ::CreateDirectoryW(path.c_str(), nullptr);
        FolderContent* folder = inventory.Root().AddFolder(std::make_unique<FolderContent>(
            path, L"", Misc::Format(L"Installation %02d", f), FolderContent::OptionShowPath, false));
        for (int i = f; i < files; i += kFolders)
        {
            const std::wstring name = FileName(i);
            if (!WriteSmallFile(path + L"\\" + name, i))
                return false;
            ApplicationsInfo::FileInfo* record = FolderContent::RecordFile(folder, path, L"", name);
            if (!record)
                return false;
            for (int d = 0; d < details; ++d)
                record->AddInfoLine(Misc::Format(L"Detail line %d of %ls", d + 1, name.c_str()));
        }
    }
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
    {
        std::fputs("usage: orvo_files_tree_bench FOLDER [FILES_TOTAL] [DETAILS]\n", stderr);
        return 2;
    }
    const std::wstring base = argv[1];
    const int files = argc > 2 ? std::max(1, _wtoi(argv[2])) : 10000;
    const int details = argc > 3 ? std::max(0, _wtoi(argv[3])) : 0;
    ::InitCommonControls();

    HWND host = ::CreateWindowExW(0, L"STATIC", L"Files tree bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                  1000, 700, nullptr, nullptr, nullptr, nullptr);
    CApplicationsDialog page(host);
    if (!host || !page.Create(host, IDD_FILES_PAGE))
    {
        std::fputs("could not create the page\n", stderr);
        return 1;
    }
    ::ShowWindow(page.GetHwnd(), SW_SHOW);
    ::SetWindowPos(page.GetHwnd(), nullptr, 0, 0, 980, 660, SWP_NOZORDER);

    const LARGE_INTEGER recordStart = Now();
    ApplicationsInfo inventory;
    if (!BuildInventory(inventory, base, files, details))
    {
        std::fputs("could not write or record the files\n", stderr);
        return 1;
    }
    std::printf("recorded %d files in %d folders (%.2f s, not timed)\n", files, kFolders,
                Seconds(recordStart, Now()));

    std::vector<double> fills, empties;
    for (int run = 0; run < kRuns; ++run)
    {
        LARGE_INTEGER start = Now();
        page.Clear();
        empties.push_back(Seconds(start, Now()));
        start = Now();
        page.Show(&inventory);
        ::UpdateWindow(page.Tree()); // the one repaint at the end
        fills.push_back(Seconds(start, Now()));
        std::printf("run %d: fill %.3f s, emptying before it %.3f s\n", run + 1, fills.back(),
                    empties.back());
    }
    std::sort(fills.begin(), fills.end());
    std::sort(empties.begin(), empties.end());
    const std::size_t rows = page.Painter().ItemCount();
    std::printf("RESULT files=%d details=%d rows=%zu fill_median=%.3f fill_max=%.3f empty_median=%.3f\n",
                files, details, rows, fills[kRuns / 2], fills.back(), empties[kRuns / 2]);
    page.DestroyWindow();
    ::DestroyWindow(host);
    return 0;
}
