#pragma once
// The content of a text or settings file as detail lines.

#include <string>
#include <string_view>
#include <vector>

// Splits file content into lines. Without a byte order mark every byte is the
// character of the same code, a carriage return before a line feed is dropped and
// the byte 0x1A ends the text. A file starting with FF FE is UTF-16 little-endian,
// one starting with EF BB BF is UTF-8; the mark itself is not part of the text.
// A line ends at its first zero character; a final line break gives no extra empty
// line.
std::vector<std::wstring> TextLines(std::string_view bytes);

// Reads the whole file and splits it with TextLines; false when it cannot be read.
bool ReadTextFileLines(const std::wstring& path, std::vector<std::wstring>& lines) noexcept;
