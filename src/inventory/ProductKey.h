#pragma once
// Reading the product's string values (installation paths) from its registry key
// SoftWare\<company>\<product>\<version> below HKEY_LOCAL_MACHINE, in one view.

#include "misc/Handles.h"

#include <windows.h>

#include <cstdint>
#include <string>

// The key parts shared by every reader of the process; the scan switches them
// between reads.
struct ProductKeyParts
{
    std::wstring company = L"Company";
    std::wstring product = L"Product";
    std::uint16_t version = 0; // major version in bits 8 to 11 (0x600 is 6)
    std::wstring subKey = L"Application";
};

// Empty texts keep their stored part; the version is always stored.
void SetProductKey(const std::wstring& subKey, std::uint16_t version, const std::wstring& product,
                   const std::wstring& company);
const ProductKeyParts& CurrentProductKey();

// "SoftWare\<company>\<product>\6.x" ("4.0" for major version 4).
std::wstring ProductKeyPath(const std::wstring& company, const std::wstring& product, std::uint16_t version);
// The registry data of a value taken as text: up to the first zero character, or all of it.
std::wstring RegistryDataText(const BYTE* data, DWORD size);

class ProductKeyReader
{
  public:
    static constexpr DWORD kView64 = KEY_WOW64_64KEY;
    static constexpr DWORD kView32 = KEY_WOW64_32KEY;

    explicit ProductKeyReader(DWORD view) : m_view(view) {}
    ProductKeyReader(const ProductKeyReader&) = delete;
    ProductKeyReader& operator=(const ProductKeyReader&) = delete;

    // The value's text, or defaultText with found false when the key or the value is missing.
    std::wstring ReadString(const std::wstring& valueName, const std::wstring& defaultText,
                            bool* found = nullptr);

    const std::wstring& KeyPath() const { return m_keyPath; }
    LONG Status() const { return m_status; }
    DWORD View() const { return m_view; }

  private:
    std::wstring ReadValueText(const std::wstring& valueName, const std::wstring& defaultText, bool* found);

    std::wstring m_keyPath;
    LONG m_status = ERROR_SUCCESS;
    Misc::RegKey m_key;
    DWORD m_view;
};
