#pragma once
// Reads the entries of an archive that came from outside, for showing them: nothing is
// ever extracted to disk, entry names are only compared with the names asked for, and
// no size the archive declares is trusted. Stored and deflated entries, each checked
// against its CRC-32.

#include "misc/Handles.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Misc
{

class ZipReader
{
  public:
    // An entry larger than this, or whose data would expand by more than kMaxRatio to
    // one, is refused before anything is inflated.
    static constexpr std::uint64_t kMaxEntrySize = 1ull << 30;
    static constexpr std::uint64_t kMaxRatio = 1000;

    struct Entry
    {
        std::string name; // as stored: the system's ANSI code page, "/" as separator
        std::uint16_t flags = 0;
        std::uint16_t method = 0;
        std::uint32_t crc = 0;
        std::uint32_t compressedSize = 0;
        std::uint32_t size = 0;
        std::uint32_t localHeaderOffset = 0;
    };

    // Called now and then while an entry is read, so that a window can answer.
    using Progress = std::function<void()>;

    ZipReader() = default;
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;
    virtual ~ZipReader() = default;

    // Opens the file for reading (others may still read and delete it) and reads the
    // central directory. False, with Error() saying why, when it is no archive this
    // reader can read.
    bool Open(const std::wstring& path);
    const std::vector<Entry>& Entries() const noexcept { return m_entries; }
    // The `occurrence`-th entry (0 the first) whose stored name equals `name` in the
    // ANSI code page exactly; nullptr when there is none.
    const Entry* Find(const std::wstring& name, std::size_t occurrence = 0) const;
    // The entry's uncompressed bytes, checked against its size and CRC-32. False, with
    // Error() saying why, when the entry is damaged or refused.
    bool Read(const Entry& entry, std::string& data, const Progress& progress = {});
    // Why the last Open or Read failed, as the end of "Cannot open NAME: ...".
    const std::wstring& Error() const noexcept { return m_error; }

  private:
    bool Fail(const std::wstring& reason);
    bool ReadAt(std::uint64_t offset, void* buffer, std::uint32_t size);
    bool ReadDirectory(std::uint64_t offset, std::uint32_t size, std::uint16_t count);
    bool DataOffset(const Entry& entry, std::uint64_t& offset);
    bool Inflate(const Entry& entry, std::uint64_t offset, std::string& data, const Progress& progress);
    bool Copy(const Entry& entry, std::uint64_t offset, std::string& data, const Progress& progress);

    FileHandle m_file;
    std::uint64_t m_fileSize = 0;
    std::uint64_t m_directoryOffset = 0;
    std::vector<Entry> m_entries;
    std::wstring m_error;
};

// Why an entry is refused before it is read (too large, expands too much, encrypted, an
// unknown method), or empty when it may be read.
std::wstring ZipEntryRefusal(const ZipReader::Entry& entry);

} // namespace Misc
