#include "app/AboutDlg.h"

#include "inventory/VersionInfo.h"
#include "misc/Text.h"
#include "resource.h"
#include "ui/Placement.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace
{

#if defined(_WIN64)
constexpr wchar_t kMachine[] = L"x64";
#else
constexpr wchar_t kMachine[] = L"x86";
#endif

std::wstring OwnFullVersion()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    Misc::VersionInfo version;
    std::wstring text;
    if (length == 0 || length >= MAX_PATH || !version.Load(path) || !version.FileVersionText(text))
        return {};
    return text;
}

} // namespace

CAboutDlg::CAboutDlg(HWND parent) : CDialog(IDD_ABOUTBOX, parent) {}

std::wstring CAboutDlg::IsoDate(const char* compilerDate)
{
    static const char months[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    const std::string given = compilerDate ? compilerDate : "";
    const std::wstring asGiven(given.begin(), given.end());
    int day = 0, year = 0;
    char month[4] = {};
    if (!compilerDate || std::strlen(compilerDate) != 11 ||
        std::sscanf(compilerDate, "%3s %d %d", month, &day, &year) != 3 || day < 1 || day > 31)
        return asGiven;
    const char* found = std::strstr(months, month);
    if (!found || (found - months) % 3 != 0)
        return asGiven;
    return Misc::Format(L"%04d-%02d-%02d", year, static_cast<int>((found - months) / 3) + 1, day);
}

std::wstring CAboutDlg::BuildText(const std::wstring& fullVersion, const wchar_t* machine,
                                  const char* compilerDate)
{
    std::wstring text = fullVersion.empty() ? std::wstring() : L"Version " + fullVersion + L", ";
    return text + machine + L", built " + IsoDate(compilerDate);
}

BOOL CAboutDlg::OnInitDialog()
{
    ::SetDlgItemTextW(GetHwnd(), IDC_ABOUT_BUILD, BuildText(OwnFullVersion(), kMachine, __DATE__).c_str());
    UI::CentreWindow(GetHwnd(), OwnerWindow());
    return TRUE;
}
