#include "report/ZipFields.h"

#include "misc/Text.h"

namespace Misc::Zip
{

namespace
{

constexpr std::int64_t kUnixEpochAsFileTime = 116444736000000000;

const wchar_t* const StoredSuffixes[] = {L".Z", L".zip", L".zoo", L".arc", L".lzh", L".arj", L".gz", L".tgz"};

std::int64_t FileTimeValue(const FILETIME& time) noexcept
{
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) |
                                     time.dwLowDateTime);
}

} // namespace

std::uint32_t Le32(const unsigned char* p) noexcept
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// The test looks at the name only: packed data does not shrink, whatever it holds.
bool IsStoredName(const std::wstring& entryName)
{
    const std::size_t dot = entryName.rfind(L'.');
    if (dot == std::wstring::npos)
        return false;
    const std::wstring suffix = entryName.substr(dot);
    for (const wchar_t* stored : StoredSuffixes)
        if (Misc::EqualsNoCase(suffix, stored))
            return true;
    return false;
}

// MS-DOS dates cover 1980 to 2107 only; a file dated outside gets the nearest end
// rather than a date that wraps into another century.
void DosDateTime(const SYSTEMTIME& utc, std::uint16_t& date, std::uint16_t& time)
{
    if (utc.wYear < 1980)
    {
        date = (1 << 5) | 1; // 1 January 1980
        time = 0;
        return;
    }
    if (utc.wYear > 2107)
    {
        date = static_cast<std::uint16_t>((127 << 9) | (12 << 5) | 31);
        time = static_cast<std::uint16_t>((23 << 11) | (59 << 5) | (58 / 2));
        return;
    }
    date = static_cast<std::uint16_t>(((utc.wYear - 1980) % 128) * 512 + utc.wMonth * 32 + utc.wDay);
    time = static_cast<std::uint16_t>(utc.wHour * 2048 + utc.wMinute * 32 + utc.wSecond / 2);
}

std::uint32_t UnixTime(const FILETIME& time)
{
    return static_cast<std::uint32_t>((FileTimeValue(time) - kUnixEpochAsFileTime) / 10000000);
}

// Low byte: the DOS attributes; high 16 bits: a Unix mode (regular file or
// directory, owner read, write unless read-only, execute for program images).
std::uint32_t ExternalAttributes(DWORD windowsAttributes, bool executable)
{
    std::uint32_t value = (windowsAttributes & 0x37) | 0x01000000;
    value |= (windowsAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0x40000000 : 0x80000000;
    if (!(windowsAttributes & FILE_ATTRIBUTE_READONLY))
        value |= 0x00800000;
    if (executable)
        value |= 0x00400000;
    return value;
}

std::optional<std::uint32_t> ImageSignatureOffset(const unsigned char* head, std::size_t headSize,
                                                  std::uint64_t fileSize)
{
    if (fileSize <= 40 || headSize < 64 || head[0] != 'M' || head[1] != 'Z')
        return std::nullopt;
    const std::uint32_t offset = Le32(head + 60);
    if (static_cast<std::uint64_t>(offset) + 52 >= fileSize)
        return std::nullopt;
    return offset;
}

// "PE" (Windows programs and libraries), "NE" (16-bit Windows), "LE" (virtual device
// drivers) and a second "MZ": the images that a Unix host should be able to run.
bool IsImageSignature(std::uint32_t signature)
{
    return signature == 0x00004550 || signature == 0x0000454E || signature == 0x0000454C ||
           signature == 0x00005A4D;
}

} // namespace Misc::Zip
