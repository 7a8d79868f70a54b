#include "logs/LogText.h"

#include "misc/Text.h"

#include <windows.h>

#include <algorithm>

namespace
{

// Both text forms are split the same way once they are UTF-16.
void AppendLines(std::wstring_view text, std::wstring& out)
{
    std::size_t start = 0;
    while (start < text.size())
    {
        std::size_t end = text.find(L'\n', start);
        const std::size_t next = end == std::wstring_view::npos ? text.size() : end + 1;
        if (end == std::wstring_view::npos)
            end = text.size();
        std::wstring_view line = text.substr(start, end - start);
        line = line.substr(0, line.find(L'\0'));
        if (!line.empty() && line.back() == L'\r')
            line.remove_suffix(1);
        out.append(line);
        out.append(L"\r\n");
        start = next;
    }
}

// Lines become longer by at most one character (CR LF instead of LF), plus the CR LF of
// an unterminated last line: the text is built in one allocation.
std::size_t ViewLength(std::wstring_view text)
{
    return text.size() + static_cast<std::size_t>(std::count(text.begin(), text.end(), L'\n')) + 2;
}

std::wstring Utf16Units(std::string_view bytes)
{
    std::wstring units(bytes.size() / 2, L'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                        (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    return units;
}

std::wstring FromBytes(std::string_view bytes, unsigned codePage)
{
    if (bytes.empty())
        return {};
    // The converter takes an int count: a very large text goes in pieces that end
    // after a line feed, which is never part of a multi-byte character.
    constexpr std::size_t kPiece = 1u << 30;
    std::wstring text;
    std::size_t start = 0;
    while (start < bytes.size())
    {
        std::size_t length = std::min(kPiece, bytes.size() - start);
        if (start + length < bytes.size())
        {
            const std::size_t lf = bytes.substr(start, length).rfind('\n');
            if (lf != std::string_view::npos)
                length = lf + 1;
        }
        const char* piece = bytes.data() + start;
        const int n = ::MultiByteToWideChar(codePage, 0, piece, static_cast<int>(length), nullptr, 0);
        if (n > 0)
        {
            const std::size_t at = text.size();
            text.resize(at + static_cast<std::size_t>(n));
            ::MultiByteToWideChar(codePage, 0, piece, static_cast<int>(length), text.data() + at, n);
        }
        start += length;
    }
    return text;
}

void AppendView(std::string_view bytes, LogEncoding encoding, unsigned ansiCodePage, std::wstring& view)
{
    const std::wstring text = encoding == LogEncoding::Utf16
                                  ? Utf16Units(bytes)
                                  : FromBytes(bytes, encoding == LogEncoding::Utf8 ? CP_UTF8 : ansiCodePage);
    view.reserve(view.size() + ViewLength(text));
    AppendLines(text, view);
}

} // namespace

LogMark DetectLogEncoding(std::string_view head)
{
    if (head.substr(0, 2) == "\xFF\xFE")
        return {LogEncoding::Utf16, 2};
    if (head.substr(0, 3) == "\xEF\xBB\xBF")
        return {LogEncoding::Utf8, 3};
    return {LogEncoding::Ansi, 0};
}

std::wstring LogViewText(std::string_view bytes, LogEncoding encoding, unsigned ansiCodePage)
{
    std::wstring view;
    AppendView(bytes, encoding, ansiCodePage, view);
    return view;
}

std::uint64_t LogTailOffset(std::uint64_t fileSize, const LogMark& mark, std::uint64_t limit)
{
    if (fileSize <= mark.length || fileSize - mark.length <= limit)
        return mark.length;
    const std::uint64_t unit = mark.encoding == LogEncoding::Utf16 ? 2 : 1;
    std::uint64_t offset = fileSize - limit;
    if ((offset - mark.length) % unit != 0)
        ++offset;
    // One unit more: when it is the line feed before the last part, that part starts
    // with a whole line, which is then shown.
    return offset - unit;
}

// A line feed byte is never part of a multi-byte character of UTF-8 or of an ANSI
// code page; in UTF-16 it is the code unit 0x000A.
std::size_t PartialFirstLineLength(std::string_view tail, LogEncoding encoding)
{
    if (encoding != LogEncoding::Utf16)
    {
        const std::size_t lf = tail.find('\n');
        return lf == std::string_view::npos ? 0 : lf + 1;
    }
    for (std::size_t i = 0; i + 1 < tail.size(); i += 2)
    {
        if (tail[i] == '\n' && tail[i + 1] == '\0')
            return i + 2;
    }
    return 0;
}

std::wstring ComposeLogView(std::string_view bytes, const LogMark& mark, std::uint64_t offset,
                            unsigned ansiCodePage)
{
    if (offset <= mark.length)
        return LogViewText(bytes, mark.encoding, ansiCodePage);
    const std::size_t partial = PartialFirstLineLength(bytes, mark.encoding);
    std::wstring view = LeftOutNote(offset + partial) + L"\r\n";
    AppendView(bytes.substr(partial), mark.encoding, ansiCodePage, view);
    return view;
}

std::wstring ByteCountText(std::uint64_t bytes)
{
    const unsigned long long count = bytes;
    if (bytes < 1024)
        return Misc::Format(L"%llu bytes", count);
    const wchar_t* unit = L"KiB";
    double value = static_cast<double>(bytes) / 1024.0;
    if (bytes >= (1ull << 30))
    {
        unit = L"GiB";
        value /= 1024.0 * 1024.0;
    }
    else if (bytes >= (1ull << 20))
    {
        unit = L"MiB";
        value /= 1024.0;
    }
    return Misc::Format(L"%.1f %ls (%llu bytes)", value, unit, count);
}

std::wstring LeftOutNote(std::uint64_t leftOut)
{
    return L"[... The first " + ByteCountText(leftOut) +
           L" of this log file are not shown here. The whole file is in the archive that Save writes. ...]";
}
