#pragma once
// Registers a generated installation as the product's "InstallPathPro" in the 32-bit
// registry view of the benchmark's own Wine prefix, and removes it again.

#include "inventory/ProductKey.h"
#include "misc/Handles.h"

#include <windows.h>

#include <string>

inline bool RegisterInstallation(const std::wstring& folder)
{
    const std::wstring path = ProductKeyPath(L"Varnholt Brevik", L"Orvo", 0x600);
    Misc::RegKey key;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WOW64_32KEY | KEY_ALL_ACCESS,
                          nullptr, key.Put(), nullptr) != ERROR_SUCCESS)
        return false;
    const LONG set = ::RegSetValueExW(key.Get(), L"InstallPathPro", 0, REG_SZ,
                                      reinterpret_cast<const BYTE*>(folder.c_str()),
                                      static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
    return set == ERROR_SUCCESS;
}

inline void UnregisterInstallation()
{
    Misc::RegKey software;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SoftWare", 0, KEY_WOW64_32KEY | KEY_ALL_ACCESS,
                        software.Put()) == ERROR_SUCCESS)
        ::RegDeleteTreeW(software.Get(), L"Varnholt Brevik");
}
