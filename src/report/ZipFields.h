#pragma once
// The pieces of an archive entry's record that follow from the source alone.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace Misc::Zip
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
// A little-endian 32-bit value.
std::uint32_t Le32(const unsigned char* p) noexcept;

} // namespace Misc::Zip
