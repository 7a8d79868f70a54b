#include "inventory/VersionInfo.h"

#include "inventory/VersionResource.h"
#include "misc/Handles.h"
#include "misc/Text.h"

#include <algorithm>

#include <new>

namespace Misc
{

namespace
{

// Room behind the data that the platform's key comparisons may touch when a key
// ends right at the end of the last block; zero, so that such a comparison stops.
constexpr std::size_t kSlack = 64;

// A value found by the query, as a range inside the data; none when the query fails
// or the platform hands back a place outside the data.
bool QueryRange(const uint8_t* data, std::size_t size, const wchar_t* query, const uint8_t*& value,
                std::size_t& available, UINT& length)
{
    void* found = nullptr;
    length = 0;
    if (!::VerQueryValueW(data, query, &found, &length) || !found)
        return false;
    const auto* at = static_cast<const uint8_t*>(found);
    if (at < data || at >= data + size)
        return false;
    value = at;
    available = static_cast<std::size_t>(data + size - at);
    return true;
}

} // namespace

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

    // The platform's version functions trust the image's resource directory and crash
    // on some damaged files: only an image whose version entries were found inside the
    // file goes to them. Writers stay out while the file is looked at and read.
    FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    const uint32_t resourceSize = CheckedVersionResourceSize(FileBytes(file.Get()));
    if (resourceSize == 0)
        return false;

    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &handle);
    m_versionHandle = handle;
    if (size == 0 || size > kMaxDataSize)
        return false;

    std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[size + kSlack]());
    if (!data)
        return false;
    if (::GetFileVersionInfoW(path.c_str(), handle, size, data.get()) != TRUE)
        return false;
    if (!VersionBlockIsSound(data.get(), std::min<std::size_t>(size, resourceSize)))
        return false;

    m_data = std::move(data);
    m_dataSize = size;
    m_loaded = true;
    FindFixedPartAndTranslation();
    return true;
}

void VersionInfo::FindFixedPartAndTranslation()
{
    const uint8_t* value = nullptr;
    std::size_t available = 0;
    UINT length = 0;
    // A block shorter than the fixed structure would be read past its end.
    if (QueryRange(m_data.get(), m_dataSize, L"\\", value, available, length) &&
        length >= sizeof(VS_FIXEDFILEINFO) && available >= sizeof(VS_FIXEDFILEINFO))
        m_fixed = reinterpret_cast<const VS_FIXEDFILEINFO*>(value);

    if (QueryRange(m_data.get(), m_dataSize, L"\\VarFileInfo\\Translation", value, available, length) &&
        length >= 4 && available >= 4)
        m_stringPrefix = StringPrefixOf(static_cast<uint16_t>(value[0] | (value[1] << 8)),
                                        static_cast<uint16_t>(value[2] | (value[3] << 8)));
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
    const uint8_t* value = nullptr;
    std::size_t available = 0;
    UINT length = 0;
    if (!QueryRange(m_data.get(), m_dataSize, query.c_str(), value, available, length))
        return false;
    // The length counts characters; a string without its terminating zero, or one whose
    // length runs past the data, stops at the end of what is there.
    const std::size_t count = std::min<std::size_t>(length, available / sizeof(wchar_t));
    for (std::size_t i = 0; i < count; ++i)
    {
        const wchar_t c = static_cast<wchar_t>(value[2 * i] | (value[2 * i + 1] << 8));
        if (c == L'\0')
            break;
        text.push_back(c);
    }
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
