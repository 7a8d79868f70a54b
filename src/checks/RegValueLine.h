#pragma once
// The text pieces of a ".reg" export, built only from what the registry returned:
// no registry call happens here.

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

// Backslashes doubled, then every double quote preceded by a backslash.
std::wstring EscapeRegText(std::wstring_view text);

// String data as UTF-16 code units: every trailing NUL and an odd last byte dropped.
// Programs often store a string padded with several NULs; the text ends at the first.
std::wstring RegStringData(const BYTE* data, std::size_t size);

// True when a line of a ".reg" file cannot hold the text as it is: it contains a line
// break (CR or LF, which every reader takes as the line's end), a NUL (which ends the
// value for every reader) or half of a surrogate pair (which has no UTF-8 form).
bool IsTextLineUnsafe(std::wstring_view text);

// A name that cannot be exported, shown on one diagnostic line: CR, LF and NUL as \r,
// \n and \0, a lone surrogate as \uXXXX and a backslash doubled, so that the line
// stays one line and names the value or key without doubt.
std::wstring ShowUnsafeName(std::wstring_view name);

// Appends each byte as "%02x", comma-separated, wrapped after column 75 with a
// backslash, a line feed and two spaces; `column` is the length of the line so far.
// Ends with a line feed.
void AppendRegByteList(std::wstring& text, std::size_t column, const BYTE* data, std::size_t size);

// One value line, ended by a line feed: `"name"=` (or `@=` for the default value)
// followed by the value in the form its type asks for. A REG_SZ whose text a line
// cannot hold keeps its exact bytes as "hex(1):". The name must be one for which
// IsTextLineUnsafe is false.
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
