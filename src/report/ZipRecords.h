#pragma once
// The archive's records: little-endian fields, what the central directory keeps of
// each entry, and the local header, central header and end record built from it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Misc::Zip
{

namespace Record
{
constexpr std::uint32_t kLocalHeaderSignature = 0x04034B50;
constexpr std::uint32_t kCentralHeaderSignature = 0x02014B50;
constexpr std::uint32_t kEndRecordSignature = 0x06054B50;
// Format version 2.3 (low byte 23) with host byte 11: the value every archive of this
// tool has carried, so that readers see the same records as ever.
constexpr std::uint16_t kVersionMadeBy = 0x0B17;
constexpr std::uint16_t kVersionNeeded = 20;
constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflated = 8;
constexpr std::uint16_t kFlagMaximumCompression = 0x0002;
constexpr std::uint16_t kFlagDataDescriptor = 0x0008;
constexpr std::uint16_t kTimestampId = 0x5455;
constexpr std::uint8_t kTimestampFlags = 7; // modification, access and creation time
constexpr std::size_t kLocalExtraSize = 17;
constexpr std::size_t kCentralHeaderSize = 46;
constexpr std::size_t kCentralExtraSize = 9;
constexpr std::size_t kEndRecordSize = 22;
} // namespace Record

// Little-endian record fields.
class Bytes
{
  public:
    void U8(std::uint8_t v) { m_data.push_back(v); }
    void U16(std::uint16_t v)
    {
        U8(static_cast<std::uint8_t>(v));
        U8(static_cast<std::uint8_t>(v >> 8));
    }
    void U32(std::uint32_t v)
    {
        U16(static_cast<std::uint16_t>(v));
        U16(static_cast<std::uint16_t>(v >> 16));
    }
    void Append(const std::string& s) { m_data.insert(m_data.end(), s.begin(), s.end()); }
    const unsigned char* Data() const noexcept { return m_data.data(); }
    std::size_t Size() const noexcept { return m_data.size(); }
    void Clear() noexcept { m_data.clear(); }

  private:
    std::vector<unsigned char> m_data;
};

// One entry as the central directory describes it; fixed once its data is written.
struct EntryRecord
{
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint16_t time = 0;
    std::uint16_t date = 0;
    std::uint32_t crc = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t size = 0;
    std::string name;
    std::uint32_t externalAttributes = 0;
    std::uint32_t localHeaderOffset = 0;
    std::uint32_t modified = 0;
    std::uint32_t accessed = 0;
    std::uint32_t created = 0;
};

void LocalHeader(const EntryRecord& entry, std::uint16_t flags, Bytes& out);
void CentralHeader(const EntryRecord& entry, Bytes& out);
void EndRecord(std::uint16_t entries, std::uint32_t directorySize, std::uint32_t directoryOffset, Bytes& out);

} // namespace Misc::Zip
