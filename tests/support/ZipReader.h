#pragma once
// Reads back the archives that the program writes, independently of its writer: the
// records as the bytes lay them out (for tests of the format) and the entries with
// their inflated contents (for tests of what a save packed).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace OrvoTest
{

std::uint16_t Le16(const std::string& bytes, std::size_t at);
std::uint32_t Le32(const std::string& bytes, std::size_t at);

// One entry's central record and the local header it points to, field by field.
struct ZipRecord
{
    std::uint32_t signature = 0;
    std::uint16_t madeBy = 0, needed = 0, flags = 0, method = 0, time = 0, date = 0;
    std::uint32_t crc = 0, compressedSize = 0, size = 0;
    std::uint16_t disk = 0, internal = 0;
    std::uint32_t external = 0, localOffset = 0;
    std::string name, extra, comment;

    std::uint32_t localSignature = 0;
    std::uint16_t localNeeded = 0, localFlags = 0, localMethod = 0, localTime = 0, localDate = 0;
    std::uint32_t localCrc = 0, localCompressed = 0, localSize = 0;
    std::string localName, localExtra;
    std::size_t dataOffset = 0; // the first byte of the entry's data
};

struct ZipLayout
{
    bool complete = false; // end record found, every record and its data inside the file
    std::size_t endOffset = 0;
    std::uint16_t disk = 0, directoryDisk = 0, countOnDisk = 0, countTotal = 0;
    std::uint32_t directorySize = 0, directoryOffset = 0;
    std::string comment;
    std::size_t directoryEnd = 0; // where the last central record read ends
    std::vector<ZipRecord> records;
};

// The end record is looked for from the file's end backwards; reading stops at the
// first record that is not where the directory says or does not fit the file.
ZipLayout ParseZip(const std::string& bytes);

struct ZipEntry
{
    std::string name;
    std::string data;
    bool crcMatches = false;
};

// Entry names in central-directory order with their inflated contents. Empty, and
// *ok false, when the file is not a readable archive.
std::vector<ZipEntry> ReadZip(const std::wstring& path, bool* ok = nullptr);

// One entry of an archive made by hand, for archives the program's writer never makes.
struct ZipItem
{
    std::string name;
    std::string data;                 // the uncompressed bytes
    std::uint16_t method = 8;         // 8 deflated, 0 stored, anything else as given
    std::string packed;               // when not empty: the entry's data as stored, instead of `data` packed
    bool lieCrc = false;              // a CRC-32 that does not fit the data
    std::uint32_t size = 0;           // when not 0: the declared uncompressed size
    std::uint32_t compressedSize = 0; // when not 0: the declared compressed size
};

// Local headers with data, the central directory and the end record, as the format lays
// them out, with the fields of each item as given.
std::string MakeZip(const std::vector<ZipItem>& items);
// A raw deflate stream of `bytes` (level 8).
std::string Deflate(const std::string& bytes);

} // namespace OrvoTest
