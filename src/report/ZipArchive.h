#pragma once
// The archive writer: a new ZIP file (no ZIP64) of whole files under flat entry
// names, stored or deflated at level 8, finished with its central directory.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace Misc
{

class ZipArchive
{
  public:
    ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;
    virtual ~ZipArchive();

    bool Open(const std::wstring& path);
    bool AddFile(const std::wstring& entryName, const std::wstring& sourcePath);
    bool Close();

    bool IsOpen() const noexcept { return m_mode == kModeWrite; }
    const std::wstring& Path() const noexcept { return m_path; }

    static constexpr int kModeClosed = 0;
    static constexpr int kModeWrite = 2;

  private:
    class Writer;

    std::wstring m_path;
    std::unique_ptr<Writer> m_writer;
    int m_mode = kModeClosed;
};

// The pieces of an entry's record that follow from the source alone.
namespace Zip
{
// Whether an entry of this name is stored rather than deflated (already packed data).
bool IsStoredName(const std::wstring& entryName);
// MS-DOS date and time of a UTC calendar time; years outside 1980..2107 are clamped.
void DosDateTime(const SYSTEMTIME& utc, std::uint16_t& date, std::uint16_t& time);
// Seconds since 1970-01-01 00:00 UTC, low 32 bits.
std::uint32_t UnixTime(const FILETIME& time);
std::uint32_t ExternalAttributes(DWORD windowsAttributes, bool executable);
// The executable test, first step: where the image signature would be in a file of
// `fileSize` bytes that begins with `head` (none when the header rules it out).
std::optional<std::uint32_t> ImageSignatureOffset(const unsigned char* head, std::size_t headSize,
                                                  std::uint64_t fileSize);
// Second step: the four bytes found there, little-endian.
bool IsImageSignature(std::uint32_t signature);
} // namespace Zip

} // namespace Misc
