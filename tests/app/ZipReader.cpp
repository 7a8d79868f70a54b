#include "ZipReader.h"

#include "TestSupport.h"

#include <zlib.h>

#include <cstdint>

namespace AppTest
{

namespace
{

std::uint32_t U16(const std::string& b, std::size_t at)
{
    return static_cast<unsigned char>(b[at]) | (static_cast<unsigned char>(b[at + 1]) << 8);
}

std::uint32_t U32(const std::string& b, std::size_t at)
{
    return U16(b, at) | (U16(b, at + 2) << 16);
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

std::vector<ZipEntry> ReadZip(const std::wstring& path, bool* ok)
{
    if (ok)
        *ok = false;
    const std::string b = OrvoTest::ReadBytes(path);
    std::vector<ZipEntry> entries;
    if (b.size() < 22)
        return entries;
    std::size_t end = b.size() - 22;
    while (end > 0 && U32(b, end) != 0x06054b50)
        --end;
    if (U32(b, end) != 0x06054b50)
        return entries;
    const std::uint32_t count = U16(b, end + 10);
    std::size_t at = U32(b, end + 16);
    for (std::uint32_t i = 0; i < count; ++i)
    {
        if (at + 46 > b.size() || U32(b, at) != 0x02014b50)
            return {};
        const std::uint32_t method = U16(b, at + 10), crc = U32(b, at + 16), packedSize = U32(b, at + 20),
                            size = U32(b, at + 24), nameLength = U16(b, at + 28), extra = U16(b, at + 30),
                            comment = U16(b, at + 32), local = U32(b, at + 42);
        ZipEntry entry;
        entry.name = b.substr(at + 46, nameLength);
        if (local + 30 > b.size())
            return {};
        const std::size_t data = local + 30 + U16(b, local + 26) + U16(b, local + 28);
        const std::string packed = b.substr(data, packedSize);
        if (method == 0)
            entry.data = packed;
        else if (method != 8 || !Inflate(packed, size, entry.data))
            return {};
        entry.crcMatches = crc32(0, reinterpret_cast<const Bytef*>(entry.data.data()),
                                 static_cast<uInt>(entry.data.size())) == crc;
        entries.push_back(std::move(entry));
        at += 46 + nameLength + extra + comment;
    }
    if (ok)
        *ok = true;
    return entries;
}

} // namespace AppTest
