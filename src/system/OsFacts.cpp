#include "system/OsFacts.h"

#include "misc/Handles.h"
#include "misc/NativeArchitecture.h"
#include "misc/Text.h"

#include <cwchar>

namespace
{

const wchar_t kNtVersionKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const wchar_t kWindowsVersionKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

constexpr DWORD kPlatformWin32s = 0;
constexpr DWORD kPlatformWindows = 1;
constexpr DWORD kPlatformNt = 2;
constexpr BYTE kWorkstation = 1;
constexpr WORD kSuiteHomeServer = 0x8000;
constexpr WORD kArchitectureX64 = 9;

WindowsVersionCache g_versionCache;

// The service-pack text's second character tells the 9x sub-releases apart
// (" C" for OSR2, " A" for Second Edition).
bool SecondServicePackCharIs(const WindowsVersion& version, wchar_t c)
{
    return version.servicePack.size() >= 2 && version.servicePack[1] == c;
}

const wchar_t* NineXName(const WindowsVersion& v)
{
    if (v.major < 4)
        return L"Windows 95";
    if (v.major == 4 && v.minor == 0)
        return SecondServicePackCharIs(v, L'C') ? L"Windows 95 OSR2" : L"Windows 95";
    if (v.major == 4 && v.minor == 10)
        return SecondServicePackCharIs(v, L'A') ? L"Windows 98 SE" : L"Windows 98";
    return L"Windows Me or better";
}

const wchar_t* NtName(const WindowsVersion& v, const std::function<WORD()>& nativeArchitecture,
                      const std::function<bool()>& serverR2)
{
    const bool server = v.extended && v.productType != kWorkstation;
    if (v.major < 5)
        return L"Windows NT";
    if (v.major == 5)
    {
        if (v.minor == 0)
            return L"Windows 2000";
        if (v.minor == 1 || !v.extended)
            return L"Windows XP";
        if (v.productType == kWorkstation && nativeArchitecture && nativeArchitecture() == kArchitectureX64)
            return L"Windows XP Professional x64 Edition";
        if (v.suiteMask & kSuiteHomeServer)
            return L"Windows Home Server";
        if (serverR2 && serverR2())
            return L"Windows Server 2003 R2";
        return L"Windows Server 2003";
    }
    if (v.major == 6)
    {
        switch (v.minor)
        {
        case 0:
            return server ? L"Windows Server 2008" : L"Windows Vista";
        case 1:
            return server ? L"Windows Server 2008 R2" : L"Windows 7";
        case 2:
            return server ? L"Windows Server 2012" : L"Windows 8";
        case 3:
            return server ? L"Windows Server 2012 R2" : L"Windows 8.1";
        default:
            return L"Windows 8.1"; // later 6.x releases never shipped as servers of their own
        }
    }
    if (v.major == 10 && v.minor == 0)
        return v.build >= 22000 ? L"Windows 11" : L"Windows 10"; // Windows 11 still reports 10.0
    return L"Windows 11 or later";
}

bool QueryRealVersion(WindowsVersion& version)
{
    OSVERSIONINFOEXW ex{};
    ex.dwOSVersionInfoSize = sizeof(ex);
    if (::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&ex)))
    {
        version.major = ex.dwMajorVersion;
        version.minor = ex.dwMinorVersion;
        version.build = ex.dwBuildNumber;
        version.platformId = ex.dwPlatformId;
        version.servicePack.assign(ex.szCSDVersion, ::wcsnlen(ex.szCSDVersion, std::size(ex.szCSDVersion)));
        version.suiteMask = ex.wSuiteMask;
        version.productType = ex.wProductType;
        version.extended = true;
        return true;
    }
    OSVERSIONINFOW basic{};
    basic.dwOSVersionInfoSize = sizeof(basic);
    if (!::GetVersionExW(&basic))
        return false;
    version.major = basic.dwMajorVersion;
    version.minor = basic.dwMinorVersion;
    version.build = basic.dwBuildNumber;
    version.platformId = basic.dwPlatformId;
    version.servicePack.assign(basic.szCSDVersion,
                               ::wcsnlen(basic.szCSDVersion, std::size(basic.szCSDVersion)));
    version.suiteMask = 0;
    version.productType = 0;
    version.extended = false;
    return true;
}

} // namespace

VersionPlatform RealVersionPlatform()
{
    return {QueryRealVersion, Misc::NativeProcessorArchitecture,
            [] { return ::GetSystemMetrics(SM_SERVERR2) != 0; }};
}

std::wstring WindowsName(const WindowsVersion& version, const std::function<WORD()>& nativeArchitecture,
                         const std::function<bool()>& serverR2)
{
    switch (version.platformId)
    {
    case kPlatformWin32s:
        return L"Windows 3.1";
    case kPlatformWindows:
        return NineXName(version);
    case kPlatformNt:
        return NtName(version, nativeArchitecture, serverR2);
    default:
        return L"Unknown platform";
    }
}

// The build is shown by its low 16 bits (the 9x family keeps its version in the high
// word); the name was already decided on the full value.
std::wstring WindowsVersionText(const std::wstring& name, const WindowsVersion& version)
{
    return Misc::Format(L"%ls (%d.%d %ls build %d)", name.c_str(), static_cast<int>(version.major),
                        static_cast<int>(version.minor), version.servicePack.c_str(),
                        static_cast<int>(version.build & 0xFFFF));
}

// The first successful query decides the text for the whole run. A failed query
// leaves the cache empty, so the next scan tries again.
void WindowsVersionCache::QueryName(std::wstring* out, const VersionPlatform& platform)
{
    if (!m_initialised)
    {
        WindowsVersion version;
        if (!platform.queryVersion || !platform.queryVersion(version))
        {
            if (out)
                *out = m_name;
            return;
        }
        m_version = version;
        m_name = WindowsVersionText(WindowsName(m_version, platform.nativeArchitecture, platform.serverR2),
                                    m_version);
        m_initialised = true;
    }
    if (out)
        *out = m_name;
}

void QueryWindowsName(std::wstring* out)
{
    g_versionCache.QueryName(out, RealVersionPlatform());
}

std::wstring ArchitectureText(WORD processorArchitecture)
{
    switch (processorArchitecture)
    {
    case PROCESSOR_ARCHITECTURE_INTEL:
        return L"x86";
    case PROCESSOR_ARCHITECTURE_ARM:
        return L"ARM";
    case PROCESSOR_ARCHITECTURE_IA64:
        return L"IA64";
    case PROCESSOR_ARCHITECTURE_AMD64:
        return L"x64";
    default:
        return L"Unknown";
    }
}

// Windows stores the install date as seconds since 1970 (UTC). The four bytes are
// taken as unsigned, so dates after January 2038 still render. The local time comes
// from the system's time zone setting rather than the C runtime's TZ parsing, which
// misreads zone names such as "Europe/Berlin" as UTC.
std::wstring InstallDateText(std::int32_t raw)
{
    if (raw == 0)
        return L"Unknown";
    constexpr ULONGLONG kTicksPerSecond = 10000000;
    constexpr ULONGLONG kEpochTicks = 116444736000000000; // 1 January 1970 as a FILETIME
    const ULONGLONG ticks = kEpochTicks + static_cast<std::uint32_t>(raw) * kTicksPerSecond;
    FILETIME utcFile{static_cast<DWORD>(ticks & 0xFFFFFFFF), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME utc{}, local{};
    if (!::FileTimeToSystemTime(&utcFile, &utc) || !::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
        return L"Unknown";
    return Misc::Format(L"%02u-%02u-%u %02u:%02u:%02u", local.wDay, local.wMonth, local.wYear, local.wHour,
                        local.wMinute, local.wSecond);
}

bool ReadMachineInt32(const wchar_t* keyPath, const wchar_t* valueName, REGSAM view, std::int32_t& raw)
{
    Misc::RegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_QUERY_VALUE | view, key.Put()) != ERROR_SUCCESS)
        return false;
    BYTE bytes[4] = {};
    DWORD size = sizeof(bytes);
    if (::RegQueryValueExW(key.Get(), valueName, nullptr, nullptr, bytes, &size) != ERROR_SUCCESS)
        return false;
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | bytes[i];
    raw = static_cast<std::int32_t>(value);
    return true;
}

// NT keeps "InstallDate" in its version key. A 32-bit program sees the 32-bit view
// by default, and some systems keep the value in one view only, so both are tried
// while nothing has been found.
std::int32_t ReadInstallDateRaw(DWORD platformId, const InstallDateReader& read)
{
    std::int32_t raw = 0;
    if (!read)
        return raw;
    if (platformId == kPlatformNt)
    {
        const REGSAM views[] = {0, KEY_WOW64_32KEY, KEY_WOW64_64KEY};
        for (REGSAM view : views)
        {
            if (raw != 0)
                break;
            std::int32_t value = 0;
            if (read(kNtVersionKey, L"InstallDate", view, value))
                raw = value;
        }
    }
    else
    {
        std::int32_t value = 0;
        if (read(kWindowsVersionKey, L"FirstInstallDateTime", 0, value))
            raw = value;
    }
    return raw;
}

// Looked up at run time: the entry point is missing on the oldest systems.
bool IsRunningUnderWow64()
{
    using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
    HMODULE kernel = ::GetModuleHandleW(L"kernel32");
    if (!kernel)
        return false;
    auto isWow64 = reinterpret_cast<IsWow64ProcessFunction>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, "IsWow64Process")));
    if (!isWow64)
        return false;
    BOOL value = FALSE;
    isWow64(::GetCurrentProcess(), &value);
    return value != FALSE;
}

std::wstring ComputerNameText()
{
    wchar_t buffer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = static_cast<DWORD>(std::size(buffer));
    if (!::GetComputerNameW(buffer, &size))
        return {};
    buffer[std::size(buffer) - 1] = L'\0';
    return buffer;
}

void OsFacts::Reset()
{
    scanned = false;
    versionText.clear();
    installDateRaw = 0;
    installDateText.clear();
    architecture.clear();
    wow64 = false;
    computerName.clear();
    systemDrive.clear();
    systemDriveFreeBytes = 0;
}

bool SystemDriveFreeSpace(std::wstring& drive, std::uint64_t& freeBytes)
{
    wchar_t windows[MAX_PATH] = {};
    const UINT length = ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
    if (length < 3 || length >= MAX_PATH || windows[1] != L':')
        return false;
    const std::wstring root(windows, 3);
    ULARGE_INTEGER available = {};
    if (!::GetDiskFreeSpaceExW(root.c_str(), &available, nullptr, nullptr))
        return false;
    drive = root;
    freeBytes = available.QuadPart;
    return true;
}

// Three big ticks keep the activity indicator moving: before and after the registry
// reads, and at the end.
void OsFacts::Collect(IStatusInfo* status)
{
    Reset();
    if (status)
        status->Tick(true);

    OSVERSIONINFOW basic{};
    basic.dwOSVersionInfoSize = sizeof(basic);
    const DWORD platformId = ::GetVersionExW(&basic) ? basic.dwPlatformId : kPlatformWin32s;
    installDateRaw = ReadInstallDateRaw(platformId, ReadMachineInt32);
    if (status)
        status->Tick(true);

    wow64 = IsRunningUnderWow64();
    architecture = ArchitectureText(Misc::NativeProcessorArchitecture());
    computerName = ComputerNameText();
    installDateText = InstallDateText(installDateRaw);
    QueryWindowsName(&versionText);
    if (!SystemDriveFreeSpace(systemDrive, systemDriveFreeBytes))
        systemDrive.clear();
    scanned = true;
    if (status)
        status->Tick(true);
}
