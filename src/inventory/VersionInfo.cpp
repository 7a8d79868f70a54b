#include "inventory/VersionInfo.h"

#include "misc/Text.h"

#include <new>

namespace Misc
{

// Everything an earlier load kept is released first, the string prefix included:
// an object loaded again from a file without translations must not go on finding
// strings under the language of the file before.
bool VersionInfo::Load(const std::wstring& path)
{
    m_data.reset();
    m_dataSize = 0;
    m_loaded = false;
    m_fixed = nullptr;
    m_stringPrefix.clear();

    m_fileName = path;
    if (path.empty())
        return false;

    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &handle);
    m_versionHandle = handle;
    if (size == 0)
        return false;

    std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[size]);
    if (!data)
        return false;
    if (::GetFileVersionInfoW(path.c_str(), handle, size, data.get()) != TRUE)
        return false;

    m_data = std::move(data);
    m_dataSize = size;
    m_loaded = true;

    void* value = nullptr;
    UINT length = 0;
    // A block shorter than the fixed structure would be read past its end.
    if (::VerQueryValueW(m_data.get(), L"\\", &value, &length) && value && length >= sizeof(VS_FIXEDFILEINFO))
        m_fixed = static_cast<const VS_FIXEDFILEINFO*>(value);

    value = nullptr;
    length = 0;
    if (::VerQueryValueW(m_data.get(), L"\\VarFileInfo\\Translation", &value, &length) && value &&
        length >= 4)
    {
        const auto* entry = static_cast<const uint16_t*>(value);
        m_stringPrefix = StringPrefixOf(entry[0], entry[1]);
    }
    return true;
}

bool VersionInfo::FileVersionText(std::wstring& text) const
{
    if (!m_loaded || !m_fixed)
    {
        text.clear();
        return false;
    }
    text = VersionText(m_fixed->dwFileVersionMS, m_fixed->dwFileVersionLS);
    return true;
}

// Without a translation the prefix is empty, and "\<name>" names no string.
bool VersionInfo::QueryString(const std::wstring& name, std::wstring& text) const
{
    text.clear();
    if (!m_loaded)
        return false;
    const std::wstring query = Format(L"%ls\\%ls", m_stringPrefix.c_str(), name.c_str());
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(m_data.get(), query.c_str(), &value, &length) || !value)
        return false;
    // The length counts characters; a string without its terminating zero stops
    // at the end of its value all the same.
    const auto* chars = static_cast<const wchar_t*>(value);
    std::size_t count = 0;
    while (count < length && chars[count] != L'\0')
        ++count;
    text.assign(chars, count);
    return true;
}

std::wstring VersionInfo::VersionText(uint32_t versionMS, uint32_t versionLS)
{
    const unsigned major = versionMS >> 16;
    const unsigned minor = versionMS & 0xFFFF;
    const unsigned build = versionLS >> 16;
    const unsigned revision = versionLS & 0xFFFF;
    return Format(IsDateStamp(build, revision) ? L"%u.%u.%04u.%05u" : L"%u.%u.%u.%u", major, minor, build,
                  revision);
}

// Builds made by the release machinery carry the date: build YYMM, revision DDnnn.
bool VersionInfo::IsDateStamp(unsigned build, unsigned revision)
{
    const unsigned year = (build / 100) % 256;
    const unsigned month = build % 100;
    const unsigned day = revision / 1000;
    return year >= 8 && month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

std::wstring VersionInfo::StringPrefixOf(uint16_t language, uint16_t codePage)
{
    return Format(L"\\StringFileInfo\\%04x%04x", static_cast<unsigned>(language),
                  static_cast<unsigned>(codePage));
}

} // namespace Misc
