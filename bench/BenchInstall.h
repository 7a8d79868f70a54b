#pragma once
// Registers a generated installation as the product's "InstallPathPro" in the 32-bit
// registry view of the benchmark's own Wine prefix, and removes it again.

#include "inventory/ProductKey.h"

#include <windows.h>

#include <string>

inline bool RegisterInstallation(const std::wstring& folder)
{
    const std::wstring path = ProductKeyPath(L"Varnholt Brevik", L"Orvo", 0x600);
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WOW64_32KEY | KEY_ALL_ACCESS,
                          nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const LONG set =
        ::RegSetValueExW(key, L"InstallPathPro", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                         static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
    return set == ERROR_SUCCESS;
}

inline void UnregisterInstallation()
{
    HKEY software = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SoftWare", 0, KEY_WOW64_32KEY | KEY_ALL_ACCESS, &software) ==
        ERROR_SUCCESS)
    {
        ::RegDeleteTreeW(software, L"Varnholt Brevik");
        ::RegCloseKey(software);
    }
}
