#include "inventory/VersionInfo.h"

#include "inventory/VersionResource.h"
#include "misc/Handles.h"
#include "misc/Text.h"

#include <algorithm>
#include <cstring>
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
void VersionInfo::Reset(const std::wstring& path)
{
    m_data.reset();
    m_dataSize = 0;
    m_versionHandle = 0;
    m_loaded = false;
    m_fixed = nullptr;
    m_stringPrefix.clear();
    m_fileName = path;
}

// The platform's version functions trust the image's resource directory and crash on
// some damaged files: nothing goes to them, nor to the loader's resource lookup, unless
// every version entry of the image was found inside the file (CheckVersionEntries),
// and no block is queried unless it holds together inside the entry it came from.
//
// Which entry they take: they ask for the version (name 1) in the neutral language,
// which the loader's lookup resolves through a list of preferred languages (the
// thread's, the user's and the system's, then English (United States)) and else takes
// the name's first entry; the list and its order depend on the platform and its
// settings. The guard does not guess. Where there is one entry, every order comes to
// it, and it is read from the file's bytes. Where there are several, the loader's own
// lookup on the image loaded as a data file (the call the version functions make)
// names the entry, and it is taken only when it is one of the checked entries, at the
// same place and of the same size. Writers stay out while the file is looked at.
bool VersionInfo::Load(const std::wstring& path)
{
    Reset(path);
    if (path.empty())
        return false;
    FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    const FileBytes image(file.Get());
    VersionEntries entries;
    if (!CheckVersionEntries(image, entries))
        return false;
    if (entries.single)
        return ReadSingleEntry(image, entries) == ImageVersion::Read;
    const ModuleHandle module(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module)
        return ReadThroughVersionFunctions(path, image, entries);
    return ReadPickedEntry(module.Get(), entries);
}

ImageVersion VersionInfo::LoadFromImage(const std::wstring& path, const ByteSource& image)
{
    Reset(path);
    VersionEntries entries;
    if (path.empty() || !CheckVersionEntries(image, entries))
        return ImageVersion::None;
    if (!entries.single)
        return ImageVersion::Platform;
    return ReadSingleEntry(image, entries);
}

ImageVersion VersionInfo::ReadSingleEntry(const ByteSource& image, const VersionEntries& entries)
{
    const VersionEntry& entry = entries.named.front();
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[entry.size]);
    if (!bytes || !image.ReadAt(entry.fileOffset, bytes.get(), entry.size))
        return ImageVersion::None;
    return Accept(bytes.get(), entry.size) ? ImageVersion::Read : ImageVersion::None;
}

// A data file is mapped as it lies in the file, and its handle carries a low bit; an
// image the process has already loaded comes back mapped by its addresses.
bool VersionInfo::ReadPickedEntry(HMODULE module, const VersionEntries& entries)
{
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(VS_VERSION_INFO), VS_FILE_INFO);
    const DWORD size = found ? ::SizeofResource(module, found) : 0;
    const HGLOBAL resource = found ? ::LoadResource(module, found) : nullptr;
    const auto* at = static_cast<const uint8_t*>(resource ? ::LockResource(resource) : nullptr);
    if (!at)
        return false;
    const auto handle = reinterpret_cast<std::uintptr_t>(module);
    const std::uint64_t place = reinterpret_cast<std::uintptr_t>(at) - (handle & ~std::uintptr_t{3});
    const bool flat = (handle & 3) != 0;
    for (const VersionEntry& entry : entries.named)
        if (entry.size == size && (flat ? entry.fileOffset : entry.rva) == place)
            return Accept(at, size);
    return false;
}

// Where the image cannot be loaded as a data file, the version functions read it
// themselves; the entry they took is the checked one whose bytes they handed over.
bool VersionInfo::ReadThroughVersionFunctions(const std::wstring& path, const ByteSource& image,
                                              const VersionEntries& entries)
{
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &handle);
    m_versionHandle = handle;
    if (size < 6 || size > kMaxDataSize)
        return false;
    std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[size + kSlack]());
    if (!data || ::GetFileVersionInfoW(path.c_str(), handle, size, data.get()) != TRUE)
        return false;
    const std::size_t length = data[0] | (data[1] << 8);
    for (const VersionEntry& entry : entries.named)
    {
        std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[entry.size]);
        if (!bytes || length > entry.size || length > size ||
            !image.ReadAt(entry.fileOffset, bytes.get(), entry.size) ||
            !VersionBlockIsSound(bytes.get(), entry.size) ||
            std::memcmp(bytes.get(), data.get(), length) != 0)
            continue;
        m_data = std::move(data);
        m_dataSize = size;
        m_loaded = true;
        FindFixedPartAndTranslation();
        return true;
    }
    return false;
}

// The data as the version functions lay it out for a block in its wide form: the
// entry's bytes, as many again for the 8-bit copies of its strings, and the mark
// "FE2X" right behind the block's own length.
bool VersionInfo::Accept(const uint8_t* block, uint32_t size)
{
    const std::size_t dataSize = 2 * static_cast<std::size_t>(size) + 4;
    if (dataSize > kMaxDataSize)
        return false;
    std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[dataSize + kSlack]());
    if (!data)
        return false;
    std::memcpy(data.get(), block, size);
    if (!VersionBlockIsSound(data.get(), size))
        return false;
    static const char kMark[4] = {'F', 'E', '2', 'X'};
    const std::size_t length = data[0] | (data[1] << 8);
    std::memcpy(data.get() + length, kMark, sizeof kMark);
    m_data = std::move(data);
    m_dataSize = static_cast<DWORD>(dataSize);
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
