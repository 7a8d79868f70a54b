// Time to show log files of several sizes in the Log Files page: the real page on a
// visible window, from the scan step that selects the log until the view has painted,
// then a search for a text that only the log's last line holds, and the peak working
// set. Usage: orvo_logview_bench FOLDER [--utf16] [MiB ...] (default sizes 1 16 64).
// Writes FOLDER\view_<MiB>.log once per size and prints one line per size, then
// "RESULT mib=... seconds=... cpu=... find=... peak_mib=..." lines (cpu: the processor
// seconds the showing took).
// orvo_logview_bench --bare-list ROWS ... times a bare list view of one column that is
// given ROWS rows by count (the choice of the view's control rests on it).

#include "logs/LogFileReader.h"
#include "logs/LogFilesDialog.h"
#include "misc/Handles.h"
#include "PeakMemory.h"
#include "resource.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <limits>
#include <string>
#include <vector>

namespace
{

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

// Lines like the product's log files, CR LF ended, about 90 bytes each.
std::string GeneratedLines(XorShift& rng, std::size_t bytes)
{
    static const char* const levels[] = {"INFO ", "DEBUG", "WARN ", "ERROR"};
    static const char* const words[] = {"scene", "fixture", "universe", "channel", "patch",  "cue",
                                        "fader", "DMX",     "output",   "device",  "opened", "closed"};
    std::string text;
    text.reserve(bytes + 256);
    char line[256];
    while (text.size() < bytes)
    {
        const std::uint64_t r = rng.Next();
        int n = std::snprintf(line, sizeof line, "%02u:%02u:%02u.%03u %s [%u] ", unsigned(r % 24),
                              unsigned(r >> 8) % 60, unsigned(r >> 16) % 60, unsigned(r >> 24) % 1000,
                              levels[(r >> 34) % 4], unsigned(r >> 40) % 9000 + 1000);
        for (unsigned w = 0, count = 4 + unsigned(r >> 54) % 8; w < count; ++w)
        {
            const std::uint64_t q = rng.Next();
            n +=
                std::snprintf(line + n, sizeof line - n, "%s=%u ", words[q % 12], unsigned(q >> 20) % 100000);
        }
        n += std::snprintf(line + n, sizeof line - n, "\r\n");
        text.append(line, static_cast<std::size_t>(n));
    }
    text.resize(bytes);
    return text;
}

// The one line that the search looks for; no generated line holds its words.
const char kLastLine[] = "12:00:00.000 INFO  [1000] the last line of the benchmark log\r\n";

// Lines like the product's, then kLastLine.
bool WriteLog(const std::wstring& path, std::uint64_t mib, bool utf16)
{
    Misc::FileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    XorShift rng{0x9E3779B97F4A7C15ull + mib};
    const std::size_t chunk = 1 << 20;
    DWORD written = 0;
    if (utf16 && !::WriteFile(file.Get(), "\xFF\xFE", 2, &written, nullptr))
        return false;
    for (std::uint64_t done = 0; done <= (mib << 20); done += utf16 ? 2 * chunk : chunk)
    {
        std::string bytes = done + chunk * (utf16 ? 2 : 1) <= (mib << 20) ? GeneratedLines(rng, chunk)
                                                                          : "\r\n" + std::string(kLastLine);
        if (utf16)
        {
            std::string wide(bytes.size() * 2, '\0');
            for (std::size_t i = 0; i < bytes.size(); ++i)
                wide[2 * i] = bytes[i];
            bytes.swap(wide);
        }
        if (!::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
            return false;
    }
    return true;
}

double Now()
{
    LARGE_INTEGER counter, frequency;
    ::QueryPerformanceCounter(&counter);
    ::QueryPerformanceFrequency(&frequency);
    return double(counter.QuadPart) / double(frequency.QuadPart);
}

void Pump()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

// Seconds of processor time the whole process has used: on a shared, loaded machine
// the wall-clock figures say more about the other processes than about the view.
double ProcessCpu()
{
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 0;
    const auto seconds = [](const FILETIME& t)
    { return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e7; };
    return seconds(kernel) + seconds(user);
}

// A plain owner-data list view of one column, `rows` rows, the last in view, painted.
double BareList(HWND host, int rows)
{
    RECT client = {};
    ::GetClientRect(host, &client);
    const double start = Now();
    HWND list = ::CreateWindowExW(0, WC_LISTVIEWW, L"",
                                  WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDATA | LVS_NOCOLUMNHEADER, 0,
                                  0, client.right, client.bottom, host, nullptr, nullptr, nullptr);
    LVCOLUMNW column = {};
    column.mask = LVCF_WIDTH;
    column.cx = 800;
    ::SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    ::SendMessageW(list, LVM_SETITEMCOUNT, static_cast<WPARAM>(rows), 0);
    ::SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(rows - 1), FALSE);
    ::UpdateWindow(list);
    Pump();
    const double seconds = Now() - start;
    ::DestroyWindow(list);
    return seconds;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
    {
        std::fwprintf(stderr,
                      L"usage: orvo_logview_bench FOLDER [--utf16] [MiB ...] | --bare-list ROWS ...\n");
        return 2;
    }
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&controls);
    HWND host = ::CreateWindowExW(0, L"STATIC", L"Log Files", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 1000,
                                  700, nullptr, nullptr, nullptr, nullptr);
    if (std::wcscmp(argv[1], L"--bare-list") == 0)
    {
        for (int i = 2; i < argc; ++i)
            std::wprintf(L"RESULT bare_rows=%ls seconds=%.4f\n", argv[i], BareList(host, _wtoi(argv[i])));
        return 0;
    }
    const std::wstring folder = argv[1];
    bool utf16 = false;
    std::vector<std::uint64_t> sizes;
    for (int i = 2; i < argc; ++i)
    {
        if (std::wcscmp(argv[i], L"--utf16") == 0)
            utf16 = true;
        else
            sizes.push_back(std::wcstoull(argv[i], nullptr, 10));
    }
    if (sizes.empty())
        sizes = {1, 16, 64};
    ::CreateDirectoryW(folder.c_str(), nullptr);

    LogFilesInfo model; // outlives the page, which shows it
    CLogFilesDialog page(host);
    if (!host || !page.Create(host, IDD_LOGFILES_PAGE))
    {
        std::fwprintf(stderr, L"cannot create the page\n");
        return 1;
    }
    RECT client = {};
    ::GetClientRect(host, &client);
    ::MoveWindow(page.GetHwnd(), 0, 0, client.right, client.bottom, TRUE);
    ::ShowWindow(page.GetHwnd(), SW_SHOW);
    Pump();

    std::wprintf(L"%ls text\n", utf16 ? L"UTF-16" : L"ANSI");
    std::wprintf(L"%8ls %10ls %10ls %10ls %14ls\n", L"MiB", L"show", L"find", L"rows", L"peak working");
    for (std::uint64_t mib : sizes)
    {
        const std::wstring path =
            folder + L"\\view_" + std::to_wstring(mib) + (utf16 ? L"_utf16" : L"") + L".log";
        if (!WriteLog(path, mib, utf16))
        {
            std::fwprintf(stderr, L"cannot write %ls\n", path.c_str());
            return 1;
        }
        page.Clear();
        Pump();
        model.Clear();
        model.Add(path);
        double start = Now();
        const double cpuStart = ProcessCpu();
        page.Show(&model);
        while (page.View().Loading())
        {
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            Pump();
        }
        ::RedrawWindow(page.GetHwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        Pump();
        const double shown = Now() - start;
        const double cpu = ProcessCpu() - cpuStart;
        // From the last row, where a load leaves the keyboard, round the end to it again:
        // every row is searched.
        start = Now();
        const bool found = page.View().Find(L"THE LAST LINE of the benchmark", true);
        const double find = Now() - start;
        const std::size_t rows = page.View().RowCount();
        std::wprintf(L"%8llu %9.3fs %9.3fs %10zu %10.1f MiB%ls\n", static_cast<unsigned long long>(mib),
                     shown, find, rows, PeakMiB(), found ? L"" : L"  (last line NOT found)");
        std::wprintf(L"RESULT mib=%llu seconds=%.3f cpu=%.3f find=%.3f found=%d peak_mib=%.1f\n",
                     static_cast<unsigned long long>(mib), shown, cpu, find, found ? 1 : 0, PeakMiB());
        std::fflush(stdout);
        page.Clear();
        ::DeleteFileW(path.c_str()); // the page holds no handle of it
    }
    ::DestroyWindow(host);
    return 0;
}
