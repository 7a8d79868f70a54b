#pragma once
// Operating-system facts of the workstation: Windows name and version, install
// date, processor architecture, WOW64 and computer name.

#include "misc/CollectorContracts.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

// The numbers GetVersionExW returned. Suite mask and product type are only
// meaningful when `extended` is set (the extended record was obtained).
struct WindowsVersion
{
    DWORD major = 0;
    DWORD minor = 0;
    DWORD build = 0;
    DWORD platformId = 0;
    std::wstring servicePack;
    WORD suiteMask = 0;
    BYTE productType = 0;
    bool extended = false;
};

// What the name query asks of the platform. The two probes are only asked for the
// 5.x server branch.
struct VersionPlatform
{
    std::function<bool(WindowsVersion&)> queryVersion;
    std::function<WORD()> nativeArchitecture;
    std::function<bool()> serverR2;
};

// The real platform: GetVersionExW (extended record, then basic), GetNativeSystemInfo,
// GetSystemMetrics(SM_SERVERR2).
VersionPlatform RealVersionPlatform();

// The product name for the numbers, first matching row of the name table.
std::wstring WindowsName(const WindowsVersion& version, const std::function<WORD()>& nativeArchitecture,
                         const std::function<bool()>& serverR2);
// "<name> (<major>.<minor> <service pack> build <low 16 bits of build>)".
std::wstring WindowsVersionText(const std::wstring& name, const WindowsVersion& version);

// Computes the name and version text once, on the first successful version query.
class WindowsVersionCache
{
  public:
    void QueryName(std::wstring* out, const VersionPlatform& platform);
    bool IsInitialised() const noexcept { return m_initialised; }

  private:
    bool m_initialised = false;
    std::wstring m_name = L"Unknown platform";
    WindowsVersion m_version;
};

// The process-wide cache over the real platform.
void QueryWindowsName(std::wstring* out);

std::wstring ArchitectureText(WORD processorArchitecture);
// "Unknown" for 0, otherwise the local time of the raw seconds since 1970 (UTC).
std::wstring InstallDateText(std::int32_t raw);

// Reads a 4-byte value from HKEY_LOCAL_MACHINE through the given registry view flag
// (0, KEY_WOW64_32KEY or KEY_WOW64_64KEY); false when the key or value is missing.
using InstallDateReader =
    std::function<bool(const wchar_t* keyPath, const wchar_t* valueName, REGSAM view, std::int32_t& raw)>;
bool ReadMachineInt32(const wchar_t* keyPath, const wchar_t* valueName, REGSAM view, std::int32_t& raw);
// The raw install date for the platform family, trying the registry views in turn.
std::int32_t ReadInstallDateRaw(DWORD platformId, const InstallDateReader& read);

bool IsRunningUnderWow64();
std::wstring ComputerNameText();

// The root of the drive Windows is installed on (C:\ and the like) and its free bytes for this
// user; false when either cannot be had.
bool SystemDriveFreeSpace(std::wstring& drive, std::uint64_t& freeBytes);

struct OsFacts
{
    bool scanned = false;
    std::wstring versionText;
    std::int32_t installDateRaw = 0;
    std::wstring installDateText;
    std::wstring architecture;
    bool wow64 = false;
    std::wstring computerName;
    // Only for the free-space check of the findings; neither shown nor written into
    // the System section.
    std::wstring systemDrive; // empty when unknown
    std::uint64_t systemDriveFreeBytes = 0;

    void Reset();
    void Collect(IStatusInfo* status);
};
