#pragma once
// The text pieces of a ".reg" export, built only from what the registry returned:
// no registry call happens here.

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

// Backslashes doubled, then every double quote preceded by a backslash.
std::wstring EscapeRegText(std::wstring_view text);

// String data as UTF-16 code units: one terminating NUL and an odd last byte dropped.
std::wstring RegStringData(const BYTE* data, std::size_t size);

// Appends each byte as "%02x", comma-separated, wrapped after column 75 with a
// backslash, a line feed and two spaces; `column` is the length of the line so far.
// Ends with a line feed.
void AppendRegByteList(std::wstring& text, std::size_t column, const BYTE* data, std::size_t size);

// One value line, ended by a line feed: `"name"=` (or `@=` for the default value)
// followed by the value in the form its type asks for.
std::wstring RegValueLine(std::wstring_view name, DWORD type, const BYTE* data, std::size_t size);

// True when a REG_DWORD cannot be written as "dword:": its data is not 4 bytes long.
inline bool IsWrongSizeDword(DWORD type, std::size_t size)
{
    return type == REG_DWORD && size != sizeof(DWORD);
}

// The standard name of a predefined key ("HKEY_LOCAL_MACHINE"), or null for any
// other key.
const wchar_t* RegHiveName(HKEY hive);

// Every line feed replaced by CR LF, also inside string data.
std::wstring ToCrLf(std::wstring_view text);
