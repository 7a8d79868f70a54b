// Time to show log files of several sizes in the Log Files page: the real page on a
// visible window, from the scan step that selects the log to the view painted.
// Usage: orvo_logview_bench FOLDER [--no-limit] [--utf16] [MiB ...]
// (default sizes 1 16 64 256). Writes FOLDER\view_<MiB>.log once per size, then prints
// one line per size, the last lines in the form "RESULT mib=... seconds=...".
// --no-limit shows every log whole, to measure where the view's limit should be.

#include "logs/LogFileReader.h"
#include "logs/LogFilesDialog.h"
#include "misc/Handles.h"
#include "resource.h"

#include <windows.h>

#include <psapi.h>

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
std::string LogLines(XorShift& rng, std::size_t bytes)
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
    for (std::uint64_t done = 0; done < (mib << 20); done += utf16 ? 2 * chunk : chunk)
    {
        std::string bytes = LogLines(rng, chunk);
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

double PeakMiB()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters))
        return 0;
    return double(counters.PeakPagefileUsage) / 1048576.0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
    {
        std::fwprintf(stderr, L"usage: orvo_logview_bench FOLDER [--no-limit] [--utf16] [MiB ...]\n");
        return 2;
    }
    const std::wstring folder = argv[1];
    bool limited = true, utf16 = false;
    std::vector<std::uint64_t> sizes;
    for (int i = 2; i < argc; ++i)
    {
        if (std::wcscmp(argv[i], L"--no-limit") == 0)
            limited = false;
        else if (std::wcscmp(argv[i], L"--utf16") == 0)
            utf16 = true;
        else
            sizes.push_back(std::wcstoull(argv[i], nullptr, 10));
    }
    if (sizes.empty())
        sizes = {1, 16, 64, 256};
    ::CreateDirectoryW(folder.c_str(), nullptr);

    HWND host = ::CreateWindowExW(0, L"STATIC", L"Log Files", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 1000,
                                  700, nullptr, nullptr, nullptr, nullptr);
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
    if (!limited)
        page.SetViewLimit(std::numeric_limits<std::uint64_t>::max());
    Pump();

    std::wprintf(L"limit %ls, %ls text\n", limited ? L"16 MiB" : L"none", utf16 ? L"UTF-16" : L"ANSI");
    std::wprintf(L"%8ls %12ls %12ls %12ls %14ls\n", L"MiB", L"read+decode", L"show", L"view chars",
                 L"peak commit");
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
        double start = Now();
        std::wstring text;
        ReadLogViewText(path, limited ? kLogViewLimit : std::numeric_limits<std::uint64_t>::max(), text);
        const double decode = Now() - start;
        text = std::wstring();

        model.Clear();
        model.Add(path);
        start = Now();
        page.Show(&model);
        ::UpdateWindow(host);
        ::RedrawWindow(page.GetHwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        Pump();
        const double shown = Now() - start;
        const LRESULT chars = ::SendMessageW(page.GetDlgItem(IDC_LOG_TEXT), WM_GETTEXTLENGTH, 0, 0);
        std::wprintf(L"%8llu %11.3fs %11.3fs %12ld %10.1f MiB\n", static_cast<unsigned long long>(mib),
                     decode, shown, static_cast<long>(chars), PeakMiB());
        std::fflush(stdout);
        ::DeleteFileW(path.c_str()); // reopened by nothing: the page holds no handle
    }
    page.Clear();
    ::DestroyWindow(host);
    return 0;
}
