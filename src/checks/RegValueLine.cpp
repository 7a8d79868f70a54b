#include "checks/RegValueLine.h"

#include "misc/Text.h"

#include <cstring>
#include <cwchar>

namespace
{

using Misc::IsHighSurrogate;
using Misc::IsLowSurrogate;

constexpr std::size_t kWrapColumn = 75;
constexpr std::size_t kContinuationColumn = 2;

// The name part of a value line. Names are escaped like string data: the registry
// editor reads a name holding a quote or a backslash back only in that form.
void AppendNamePart(std::wstring& line, std::wstring_view name)
{
    if (name.empty())
    {
        line += L"@=";
        return;
    }
    line += L'"';
    line += EscapeRegText(name);
    line += L"\"=";
}

void AppendHexByte(std::wstring& text, BYTE value)
{
    static const wchar_t kDigits[] = L"0123456789abcdef";
    text += kDigits[value >> 4];
    text += kDigits[value & 0x0F];
}

} // namespace

std::wstring EscapeRegText(std::wstring_view text)
{
    std::wstring escaped;
    escaped.reserve(text.size() + 8);
    for (wchar_t c : text)
    {
        if (c == L'\\')
            escaped += L"\\\\";
        else if (c == L'"')
            escaped += L"\\\"";
        else
            escaped += c;
    }
    return escaped;
}

std::wstring RegStringData(const BYTE* data, std::size_t size)
{
    if (!data)
        return {};
    std::size_t units = size / sizeof(wchar_t);
    std::wstring text(units, L'\0');
    if (units > 0)
        std::memcpy(text.data(), data, units * sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0')
        text.pop_back();
    return text;
}

bool IsTextLineUnsafe(std::wstring_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        const wchar_t c = text[i];
        if (c == L'\r' || c == L'\n' || c == L'\0' || IsLowSurrogate(c))
            return true;
        if (IsHighSurrogate(c))
        {
            if (i + 1 == text.size() || !IsLowSurrogate(text[i + 1]))
                return true;
            ++i;
        }
    }
    return false;
}

std::wstring ShowUnsafeName(std::wstring_view name)
{
    std::wstring shown;
    for (std::size_t i = 0; i < name.size(); ++i)
    {
        const wchar_t c = name[i];
        const bool pair = IsHighSurrogate(c) && i + 1 < name.size() && IsLowSurrogate(name[i + 1]);
        if (c == L'\\')
            shown += L"\\\\";
        else if (c == L'\r')
            shown += L"\\r";
        else if (c == L'\n')
            shown += L"\\n";
        else if (c == L'\0')
            shown += L"\\0";
        else if (pair)
            shown.append(name.substr(i++, 2));
        else if (IsHighSurrogate(c) || IsLowSurrogate(c))
            shown += Misc::Format(L"\\u%04X", unsigned(c));
        else
            shown += c;
    }
    return shown;
}

// The counter grows by the characters of each byte (3 with its comma, 2 for the
// last); once past column 75 the line is continued on the next one, indented by two.
void AppendRegByteList(std::wstring& text, std::size_t column, const BYTE* data, std::size_t size)
{
    text.reserve(text.size() + size * 3 + size / 24 * 4 + 1);
    for (std::size_t i = 0; data && i < size; ++i)
    {
        const bool last = i + 1 == size;
        AppendHexByte(text, data[i]);
        if (!last)
            text += L',';
        column += last ? 2 : 3;
        if (column > kWrapColumn)
        {
            column = kContinuationColumn;
            if (!last)
                text += L"\\\n  ";
        }
    }
    text += L'\n';
}

// A REG_DWORD of another size than 4 bytes keeps its bytes as "hex(4):", so that no
// line is ever left without its value and its line end.
std::wstring RegValueLine(std::wstring_view name, DWORD type, const BYTE* data, std::size_t size)
{
    std::wstring line;
    AppendNamePart(line, name);
    // A string that a line cannot hold keeps its exact bytes, written as for other
    // types (hex(1)): a line break in it would start a new line of the file, which a
    // crafted value could fill with a key or value of its own.
    const std::wstring text = type == REG_SZ ? RegStringData(data, size) : std::wstring();
    if (type == REG_SZ && !IsTextLineUnsafe(text))
    {
        line += L'"';
        line += EscapeRegText(text);
        line += L"\"\n";
        return line;
    }
    if (type == REG_DWORD && !IsWrongSizeDword(type, size) && data)
    {
        DWORD value = 0;
        std::memcpy(&value, data, sizeof(value));
        wchar_t digits[16] = {};
        std::swprintf(digits, 16, L"%08lx", static_cast<unsigned long>(value));
        line += L"dword:";
        line += digits;
        line += L'\n';
        return line;
    }
    if (type == REG_BINARY)
    {
        line += L"hex:";
    }
    else
    {
        wchar_t prefix[24] = {};
        std::swprintf(prefix, 24, L"hex(%lx):", static_cast<unsigned long>(type));
        line += prefix;
    }
    AppendRegByteList(line, line.size(), data, size);
    return line;
}

const wchar_t* RegHiveName(HKEY hive)
{
    struct Hive
    {
        HKEY key;
        const wchar_t* name;
    };
    static const Hive kHives[] = {
        {HKEY_CLASSES_ROOT, L"HKEY_CLASSES_ROOT"},
        {HKEY_CURRENT_USER, L"HKEY_CURRENT_USER"},
        {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE"},
        {HKEY_USERS, L"HKEY_USERS"},
        {HKEY_PERFORMANCE_DATA, L"HKEY_PERFORMANCE_DATA"},
        {HKEY_CURRENT_CONFIG, L"HKEY_CURRENT_CONFIG"},
        {HKEY_DYN_DATA, L"HKEY_DYN_DATA"},
    };
    for (const Hive& h : kHives)
        if (h.key == hive)
            return h.name;
    return nullptr;
}

std::wstring ToCrLf(std::wstring_view text)
{
    std::wstring out;
    out.reserve(text.size() + text.size() / 16 + 16);
    for (wchar_t c : text)
    {
        if (c == L'\n')
            out += L'\r';
        out += c;
    }
    return out;
}
