#pragma once
// Small string helpers shared by every subsystem.

#include <cstdarg>
#include <string>

namespace Misc
{

// printf-style formatting into a wide string. Use %ls for wide string arguments.
std::wstring Format(const wchar_t* format, ...);
std::wstring FormatV(const wchar_t* format, va_list args);

// Like Format, but cut to at most maxChars characters (the fixed buffers of the
// program's texts).
std::wstring FormatLimited(std::size_t maxChars, const wchar_t* format, ...);

// The current local time formatted with strftime conventions ("Scanned at %H:%M:%S").
std::wstring LocalTimeText(const wchar_t* format);

// UTF-16 to a code page, at the program's edges (console lines, .reg files, driver strings).
std::string ToCodePage(const std::wstring& text, unsigned codePage);

// The two halves of a UTF-16 surrogate pair.
constexpr bool IsHighSurrogate(wchar_t c) noexcept
{
    return c >= 0xD800 && c <= 0xDBFF;
}
constexpr bool IsLowSurrogate(wchar_t c) noexcept
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Case-insensitive equality of paths and names (the platform's ordinal rules).
bool EqualsNoCase(const std::wstring& a, const std::wstring& b);
// Equality with only A-Z folded to a-z; every other character must match exactly.
bool EqualsAsciiNoCase(const std::wstring& a, const std::wstring& b);

} // namespace Misc
