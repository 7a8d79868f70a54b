#include "ZipReader.h"

#include "TestSupport.h"

#include <zlib.h>

namespace OrvoTest
{

namespace
{

constexpr std::uint32_t kEndSignature = 0x06054B50;
constexpr std::uint32_t kCentralSignature = 0x02014B50;
constexpr std::uint32_t kLocalSignature = 0x04034B50;
constexpr std::size_t kEndSize = 22, kCentralSize = 46, kLocalSize = 30;

bool Fits(const std::string& b, std::size_t at, std::size_t size)
{
    return at <= b.size() && size <= b.size() - at;
}

bool FindEnd(const std::string& b, ZipLayout& zip)
{
    if (b.size() < kEndSize)
        return false;
    std::size_t end = b.size() - kEndSize;
    while (end > 0 && Le32(b, end) != kEndSignature)
        --end;
    if (Le32(b, end) != kEndSignature)
        return false;
    zip.endOffset = end;
    zip.disk = Le16(b, end + 4);
    zip.directoryDisk = Le16(b, end + 6);
    zip.countOnDisk = Le16(b, end + 8);
    zip.countTotal = Le16(b, end + 10);
    zip.directorySize = Le32(b, end + 12);
    zip.directoryOffset = Le32(b, end + 16);
    const std::uint16_t commentLength = Le16(b, end + 20);
    if (!Fits(b, end + kEndSize, commentLength))
        return false;
    zip.comment = b.substr(end + kEndSize, commentLength);
    return true;
}

// Reads the central record at `at`; false when it is not one or leaves the file.
bool ReadCentral(const std::string& b, std::size_t& at, ZipRecord& r)
{
    if (!Fits(b, at, kCentralSize) || Le32(b, at) != kCentralSignature)
        return false;
    r.signature = Le32(b, at);
    r.madeBy = Le16(b, at + 4);
    r.needed = Le16(b, at + 6);
    r.flags = Le16(b, at + 8);
    r.method = Le16(b, at + 10);
    r.time = Le16(b, at + 12);
    r.date = Le16(b, at + 14);
    r.crc = Le32(b, at + 16);
    r.compressedSize = Le32(b, at + 20);
    r.size = Le32(b, at + 24);
    const std::size_t nameLength = Le16(b, at + 28), extraLength = Le16(b, at + 30),
                      commentLength = Le16(b, at + 32);
    r.disk = Le16(b, at + 34);
    r.internal = Le16(b, at + 36);
    r.external = Le32(b, at + 38);
    r.localOffset = Le32(b, at + 42);
    if (!Fits(b, at + kCentralSize, nameLength + extraLength + commentLength))
        return false;
    r.name = b.substr(at + kCentralSize, nameLength);
    r.extra = b.substr(at + kCentralSize + nameLength, extraLength);
    r.comment = b.substr(at + kCentralSize + nameLength + extraLength, commentLength);
    at += kCentralSize + nameLength + extraLength + commentLength;
    return true;
}

// Reads the local header the central record points to; false when it is not one or
// the header or the data leave the file.
bool ReadLocal(const std::string& b, ZipRecord& r)
{
    const std::size_t l = r.localOffset;
    if (!Fits(b, l, kLocalSize) || Le32(b, l) != kLocalSignature)
        return false;
    r.localSignature = Le32(b, l);
    r.localNeeded = Le16(b, l + 4);
    r.localFlags = Le16(b, l + 6);
    r.localMethod = Le16(b, l + 8);
    r.localTime = Le16(b, l + 10);
    r.localDate = Le16(b, l + 12);
    r.localCrc = Le32(b, l + 14);
    r.localCompressed = Le32(b, l + 18);
    r.localSize = Le32(b, l + 22);
    const std::size_t nameLength = Le16(b, l + 26), extraLength = Le16(b, l + 28);
    if (!Fits(b, l + kLocalSize, nameLength + extraLength))
        return false;
    r.localName = b.substr(l + kLocalSize, nameLength);
    r.localExtra = b.substr(l + kLocalSize + nameLength, extraLength);
    r.dataOffset = l + kLocalSize + nameLength + extraLength;
    return Fits(b, r.dataOffset, r.compressedSize);
}

bool Inflate(const std::string& packed, std::size_t size, std::string& out)
{
    out.assign(size, '\0');
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK)
        return false;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    z.avail_in = static_cast<uInt>(packed.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = inflate(&z, Z_FINISH);
    inflateEnd(&z);
    return rc == Z_STREAM_END && z.total_out == size;
}

} // namespace

std::uint16_t Le16(const std::string& b, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b.at(at)) |
                                      static_cast<unsigned char>(b.at(at + 1)) << 8);
}

std::uint32_t Le32(const std::string& b, std::size_t at)
{
    return Le16(b, at) | static_cast<std::uint32_t>(Le16(b, at + 2)) << 16;
}

ZipLayout ParseZip(const std::string& bytes)
{
    ZipLayout zip;
    if (!FindEnd(bytes, zip))
        return zip;
    std::size_t at = zip.directoryOffset;
    for (unsigned i = 0; i < zip.countTotal; ++i)
    {
        ZipRecord record;
        if (!ReadCentral(bytes, at, record) || !ReadLocal(bytes, record))
            return zip;
        zip.records.push_back(std::move(record));
    }
    zip.directoryEnd = at;
    zip.complete = true;
    return zip;
}

std::string Deflate(const std::string& bytes)
{
    z_stream z{};
    if (deflateInit2(&z, 8, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    std::string out(deflateBound(&z, static_cast<uLong>(bytes.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

namespace
{

void Put16(std::string& out, std::uint32_t v)
{
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, std::uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// The fields both headers share, from "version needed" to the name length.
void CommonFields(std::string& out, const ZipItem& item, std::uint32_t crc, std::uint32_t packed)
{
    Put16(out, 20);
    Put16(out, 0);
    Put16(out, item.method);
    Put16(out, 0);
    Put16(out, 0x5A21);
    Put32(out, crc);
    Put32(out, item.compressedSize ? item.compressedSize : packed);
    Put32(out, item.size ? item.size : static_cast<std::uint32_t>(item.data.size()));
    Put16(out, static_cast<std::uint32_t>(item.name.size()));
    Put16(out, 0);
}

} // namespace

std::string MakeZip(const std::vector<ZipItem>& items)
{
    std::string archive, directory;
    for (const ZipItem& item : items)
    {
        const std::string packed = !item.packed.empty() ? item.packed
                                   : item.method == 0   ? item.data
                                                        : Deflate(item.data);
        std::uint32_t crc =
            crc32(0, reinterpret_cast<const Bytef*>(item.data.data()), static_cast<uInt>(item.data.size()));
        if (item.lieCrc)
            crc ^= 0x00010000;
        const auto offset = static_cast<std::uint32_t>(archive.size());
        Put32(archive, 0x04034B50);
        CommonFields(archive, item, crc, static_cast<std::uint32_t>(packed.size()));
        archive += item.name + packed;
        Put32(directory, 0x02014B50);
        Put16(directory, 0x0B17);
        CommonFields(directory, item, crc, static_cast<std::uint32_t>(packed.size()));
        Put16(directory, 0); // comment
        Put16(directory, 0); // disk
        Put16(directory, 0); // internal attributes
        Put32(directory, 0x81800020);
        Put32(directory, offset);
        directory += item.name;
    }
    const auto directoryOffset = static_cast<std::uint32_t>(archive.size());
    archive += directory;
    Put32(archive, 0x06054B50);
    Put32(archive, 0);
    Put16(archive, static_cast<std::uint32_t>(items.size()));
    Put16(archive, static_cast<std::uint32_t>(items.size()));
    Put32(archive, static_cast<std::uint32_t>(directory.size()));
    Put32(archive, directoryOffset);
    Put16(archive, 0);
    return archive;
}

std::vector<ZipEntry> ReadZip(const std::wstring& path, bool* ok)
{
    if (ok)
        *ok = false;
    const std::string bytes = ReadBytes(path);
    const ZipLayout zip = ParseZip(bytes);
    if (!zip.complete)
        return {};
    std::vector<ZipEntry> entries;
    for (const ZipRecord& r : zip.records)
    {
        ZipEntry entry;
        entry.name = r.name;
        const std::string packed = bytes.substr(r.dataOffset, r.compressedSize);
        if (r.method == 0)
            entry.data = packed;
        else if (r.method != 8 || !Inflate(packed, r.size, entry.data))
            return {};
        entry.crcMatches = crc32(0, reinterpret_cast<const Bytef*>(entry.data.data()),
                                 static_cast<uInt>(entry.data.size())) == r.crc;
        entries.push_back(std::move(entry));
    }
    if (ok)
        *ok = true;
    return entries;
}

} // namespace OrvoTest
