#include "inventory/ProductKey.h"

#include "misc/Text.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace
{

ProductKeyParts g_productKey;

} // namespace

void SetProductKey(const std::wstring& subKey, std::uint16_t version, const std::wstring& product,
                   const std::wstring& company)
{
    if (!subKey.empty())
        g_productKey.subKey = subKey;
    if (!product.empty())
        g_productKey.product = product;
    if (!company.empty())
        g_productKey.company = company;
    g_productKey.version = version;
}

const ProductKeyParts& CurrentProductKey()
{
    return g_productKey;
}

// Only the major version names the key level: releases 5 and 6 keep their values
// under "5.x" and "6.x", the old release 4 under "4.0".
std::wstring ProductKeyPath(const std::wstring& company, const std::wstring& product, std::uint16_t version)
{
    const int major = (version >> 8) & 0x0F;
    const std::wstring level = Misc::Format(major == 4 ? L"%d.0" : L"%d.x", major);
    return L"SoftWare\\" + company + L"\\" + product + L"\\" + level;
}

// The type of the value is not looked at: whatever bytes it holds are read as
// wide characters, an odd last byte is dropped.
std::wstring RegistryDataText(const BYTE* data, DWORD size)
{
    if (!data)
        return {};
    const std::size_t chars = size / sizeof(wchar_t);
    std::wstring text(chars, L'\0');
    if (chars > 0)
        std::memcpy(text.data(), data, chars * sizeof(wchar_t));
    const std::size_t zero = text.find(L'\0');
    if (zero != std::wstring::npos)
        text.resize(zero);
    return text;
}

// Memory running out while the value is read is one more way of not finding it.
std::wstring ProductKeyReader::ReadString(const std::wstring& valueName, const std::wstring& defaultText,
                                          bool* found)
{
    if (found)
        *found = false;
    try
    {
        return ReadValueText(valueName, defaultText, found);
    }
    catch (const std::bad_alloc&)
    {
        m_key.Reset();
        if (found)
            *found = false;
        return defaultText;
    }
}

std::wstring ProductKeyReader::ReadValueText(const std::wstring& valueName, const std::wstring& defaultText,
                                             bool* found)
{
    std::wstring result = defaultText;
    if (valueName.empty())
        return result;

    const ProductKeyParts& parts = CurrentProductKey();
    m_keyPath = ProductKeyPath(parts.company, parts.product, parts.version);
    m_status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, m_keyPath.c_str(), 0, m_view | KEY_READ, m_key.Put());
    if (m_status != ERROR_SUCCESS)
        return result;

    DWORD size = 0;
    m_status = ::RegQueryValueExW(m_key.Get(), valueName.c_str(), nullptr, nullptr, nullptr, &size);
    if (m_status == ERROR_SUCCESS)
    {
        // One spare element so that an empty value still gets a buffer to write into.
        std::vector<BYTE> data(static_cast<std::size_t>(size) + 1, 0);
        DWORD read = size;
        m_status = ::RegQueryValueExW(m_key.Get(), valueName.c_str(), nullptr, nullptr, data.data(), &read);
        if (m_status == ERROR_SUCCESS)
        {
            result = RegistryDataText(data.data(), std::min<DWORD>(read, size));
            if (found)
                *found = true;
        }
    }
    m_key.Reset();
    return result;
}
