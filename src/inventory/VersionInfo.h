#pragma once
// The version resource of one file: its fixed file version and its named strings.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

namespace Misc
{

class ByteSource;
struct VersionEntries;

// How far the version could be read from an image's bytes alone.
enum class ImageVersion
{
    None,     // the image has no version the platform would give, or one that is not sound
    Read,     // read and checked
    Platform, // only the platform's own lookup can tell which of its entries is the version
};

class VersionInfo
{
  public:
    VersionInfo() = default;
    VersionInfo(const VersionInfo&) = delete;
    VersionInfo& operator=(const VersionInfo&) = delete;
    virtual ~VersionInfo() = default;

    // Opens the file (writers stay out meanwhile) and reads its version, asking the
    // platform only where the image leaves the choice of entry to it.
    bool Load(const std::wstring& path);
    // Reads the version from the bytes of an image that is already open; the path
    // only names it. Never calls the platform's version functions.
    ImageVersion LoadFromImage(const std::wstring& path, const ByteSource& image);
    bool FileVersionText(std::wstring& text) const;
    bool QueryString(const std::wstring& name, std::wstring& text) const;

    bool IsLoaded() const noexcept { return m_loaded; }
    const std::wstring& FileName() const noexcept { return m_fileName; }
    const std::wstring& StringPrefix() const noexcept { return m_stringPrefix; }
    // The version data as the platform's functions hand it over.
    const uint8_t* Data() const noexcept { return m_data.get(); }
    DWORD DataSize() const noexcept { return m_dataSize; }

    // The version text of the fixed version words (most and least significant).
    static std::wstring VersionText(uint32_t versionMS, uint32_t versionLS);
    // Whether build and revision read as a date stamp (year 2008 or later, month, day).
    static bool IsDateStamp(unsigned build, unsigned revision);
    // "\StringFileInfo\" with the language and code page of a translation entry.
    static std::wstring StringPrefixOf(uint16_t language, uint16_t codePage);

  private:
    // Version data beyond this is not a version resource: its lengths are 16-bit.
    static constexpr DWORD kMaxDataSize = 4 * 1024 * 1024;
    void Reset(const std::wstring& path);
    ImageVersion ReadSingleEntry(const ByteSource& image, const VersionEntries& entries);
    bool ReadPickedEntry(HMODULE module, const VersionEntries& entries);
    bool ReadThroughVersionFunctions(const std::wstring& path, const ByteSource& image,
                                     const VersionEntries& entries);
    bool Accept(const uint8_t* block, uint32_t size);
    void FindFixedPartAndTranslation();

    bool m_loaded = false;
    std::wstring m_fileName;
    DWORD m_versionHandle = 0;
    DWORD m_dataSize = 0;
    std::unique_ptr<uint8_t[]> m_data;
    const VS_FIXEDFILEINFO* m_fixed = nullptr;
    std::wstring m_stringPrefix;
};

} // namespace Misc
