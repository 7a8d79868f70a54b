// Time of the registry export against Wine's own "reg export" on the same key: a key
// with many values of the usual types, exported into FOLDER by both, in one run.
// Usage: orvo_reg_bench FOLDER [VALUES] [ROUNDS]
// Prints the figures, the last line in the form "RESULT key=value ...".

#include "checks/RegistryExport.h"
#include "misc/Handles.h"
#include "misc/Text.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>

namespace
{

LARGE_INTEGER g_frequency;

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(g_frequency.QuadPart);
}

LARGE_INTEGER Now()
{
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now;
}

// Strings, numbers and binary blocks in turn, as the product's settings keys hold them.
bool FillKey(HKEY key, unsigned values)
{
    BYTE blob[48];
    for (unsigned i = 0; i < values; ++i)
    {
        const std::wstring name = Misc::Format(L"Setting %05u", i);
        LONG result = ERROR_SUCCESS;
        switch (i % 3)
        {
        case 0: {
            const std::wstring text = Misc::Format(L"C:\\Program Files\\Orvo\\Library\\Item %u.dat", i);
            result = ::RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                      static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
            break;
        }
        case 1: {
            const DWORD value = i * 2654435761u;
            result = ::RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                      sizeof(value));
            break;
        }
        default:
            for (unsigned k = 0; k < sizeof(blob); ++k)
                blob[k] = static_cast<BYTE>(i + k * 31);
            result = ::RegSetValueExW(key, name.c_str(), 0, REG_BINARY, blob, sizeof(blob));
        }
        if (result != ERROR_SUCCESS)
            return false;
    }
    return true;
}

// Wall time of one command line in the prefix, process start included.
double TimeProgram(const std::wstring& commandLine)
{
    std::wstring line = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    const LARGE_INTEGER start = Now();
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                          &startup, &info))
        return -1.0;
    Misc::KernelHandle process(info.hProcess);
    Misc::KernelHandle thread(info.hThread);
    ::WaitForSingleObject(process.Get(), INFINITE);
    DWORD code = 1;
    ::GetExitCodeProcess(process.Get(), &code);
    return code == 0 ? Seconds(start, Now()) : -1.0;
}

long long FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
    {
        std::fwprintf(stderr, L"usage: orvo_reg_bench FOLDER [VALUES] [ROUNDS]\n");
        return 2;
    }
    const std::wstring folder = argv[1];
    const unsigned values = argc > 2 ? static_cast<unsigned>(std::wcstoul(argv[2], nullptr, 10)) : 10000;
    const int rounds = argc > 3 ? std::max(1, _wtoi(argv[3])) : 5;
    ::QueryPerformanceFrequency(&g_frequency);

    const std::wstring keyPath = Misc::Format(L"Software\\OrvoBench\\Export %lu", ::GetCurrentProcessId());
    const std::wstring emptyPath = keyPath + L" empty";
    HKEY raw = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw,
                          nullptr) != ERROR_SUCCESS)
        return 1;
    Misc::RegKey key(raw);
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, emptyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw,
                          nullptr) != ERROR_SUCCESS)
        return 1;
    Misc::RegKey emptyKey(raw);
    const bool filled = FillKey(key.Get(), values);

    const std::wstring ours = folder + L"\\orvo.reg";
    const std::wstring theirs = folder + L"\\wine.reg";
    const std::wstring theirsEmpty = folder + L"\\wine-empty.reg";
    const std::wstring regExport = L"reg.exe export \"HKCU\\" + keyPath + L"\" \"" + theirs + L"\" /y";
    const std::wstring regEmpty = L"reg.exe export \"HKCU\\" + emptyPath + L"\" \"" + theirsEmpty + L"\" /y";

    // Best of the rounds for each, taken in turn, so that both meet the same machine load.
    double best = 1e9, bestReg = 1e9, bestStart = 1e9;
    bool ok = filled;
    for (int round = 0; round < rounds && ok; ++round)
    {
        const LARGE_INTEGER start = Now();
        ok = ExportRegistryKey(HKEY_CURRENT_USER, keyPath, ours, 0) == ERROR_SUCCESS;
        best = std::min(best, Seconds(start, Now()));
        const double reg = TimeProgram(regExport);
        const double startUp = TimeProgram(regEmpty);
        ok = ok && reg > 0 && startUp > 0;
        bestReg = std::min(bestReg, reg);
        bestStart = std::min(bestStart, startUp);
    }
    ::RegDeleteTreeW(HKEY_CURRENT_USER, keyPath.c_str());
    ::RegDeleteKeyW(HKEY_CURRENT_USER, keyPath.c_str());
    ::RegDeleteKeyW(HKEY_CURRENT_USER, emptyPath.c_str());
    if (!ok)
    {
        std::fwprintf(stderr, L"orvo_reg_bench: an export failed\n");
        return 1;
    }
    std::wprintf(L"values %u, rounds %d (best of each)\n", values, rounds);
    std::wprintf(L"RESULT values=%u orvo=%.4f reg=%.4f regempty=%.4f orvobytes=%lld regbytes=%lld\n", values,
                 best, bestReg, bestStart, FileSize(ours), FileSize(theirs));
    return 0;
}
