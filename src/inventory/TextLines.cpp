#include "inventory/TextLines.h"

#include "misc/Handles.h"

#include <windows.h>

#include <algorithm>
#include <new>

namespace
{

constexpr wchar_t kEndOfText = 0x1A;
constexpr wchar_t kReplacement = 0xFFFD;

bool StartsWith(std::string_view bytes, const char* mark, std::size_t length)
{
    return bytes.size() >= length && bytes.compare(0, length, mark, length) == 0;
}

std::wstring DecodeUtf16(std::string_view bytes, std::size_t from)
{
    std::wstring text;
    text.reserve((bytes.size() - from) / 2 + 1);
    std::size_t i = from;
    for (; i + 1 < bytes.size(); i += 2)
    {
        const auto low = static_cast<unsigned char>(bytes[i]);
        const auto high = static_cast<unsigned char>(bytes[i + 1]);
        text.push_back(static_cast<wchar_t>(low | (high << 8)));
    }
    if (i < bytes.size()) // a dangling half character is shown, not dropped silently
        text.push_back(kReplacement);
    return text;
}

// The converter takes an int count: a text of 2 GiB or more goes in pieces, each
// ending before a byte that starts a character, so no character is split.
std::wstring DecodeUtf8(std::string_view bytes, std::size_t from)
{
    constexpr std::size_t kPiece = 1u << 30;
    std::wstring text;
    while (from < bytes.size())
    {
        std::size_t length = std::min(kPiece, bytes.size() - from);
        while (from + length < bytes.size() && length > 1 &&
               (static_cast<unsigned char>(bytes[from + length]) & 0xC0) == 0x80)
            --length;
        const char* data = bytes.data() + from;
        const int size = static_cast<int>(length);
        const int count = ::MultiByteToWideChar(CP_UTF8, 0, data, size, nullptr, 0);
        if (count > 0)
        {
            const std::size_t at = text.size();
            text.resize(at + static_cast<std::size_t>(count));
            ::MultiByteToWideChar(CP_UTF8, 0, data, size, text.data() + at, count);
        }
        from += length;
    }
    return text;
}

// Bytes as characters of the same code, up to the end-of-text byte.
std::wstring DecodeBytes(std::string_view bytes)
{
    std::wstring text;
    text.reserve(bytes.size());
    for (char byte : bytes)
    {
        const wchar_t c = static_cast<unsigned char>(byte);
        if (c == kEndOfText)
            break;
        text.push_back(c);
    }
    return text;
}

std::vector<std::wstring> SplitLines(const std::wstring& text)
{
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    while (start < text.size())
    {
        std::size_t end = text.find(L'\n', start);
        const bool complete = end != std::wstring::npos;
        if (!complete)
            end = text.size();
        std::size_t cut = end;
        if (complete && cut > start && text[cut - 1] == L'\r')
            --cut;
        // The runtime's text reading hands a line over as a C string: it ends at its
        // first zero, in the detail line, the Files tab and the report alike.
        cut = static_cast<std::size_t>(std::find(text.begin() + start, text.begin() + cut, L'\0') -
                                       text.begin());
        lines.push_back(text.substr(start, cut - start));
        start = complete ? end + 1 : end;
    }
    return lines;
}

} // namespace

std::vector<std::wstring> TextLines(std::string_view bytes)
{
    if (StartsWith(bytes, "\xFF\xFE", 2))
        return SplitLines(DecodeUtf16(bytes, 2));
    if (StartsWith(bytes, "\xEF\xBB\xBF", 3))
        return SplitLines(DecodeUtf8(bytes, 3));
    return SplitLines(DecodeBytes(bytes));
}

// Opened the way the runtime's text mode opens a file: reading, others may read and
// write meanwhile (the product may be writing its settings). A file too big for the
// memory left is a file that could not be read.
bool ReadTextFileLines(const std::wstring& path, std::vector<std::wstring>& lines) noexcept
{
    lines.clear();
    Misc::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    try
    {
        std::string bytes;
        char buffer[64 * 1024];
        for (;;)
        {
            DWORD read = 0;
            if (!::ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr))
                return false;
            if (read == 0)
                break;
            bytes.append(buffer, read);
        }
        lines = TextLines(bytes);
        return true;
    }
    catch (const std::bad_alloc&)
    {
        lines.clear();
        return false;
    }
}
