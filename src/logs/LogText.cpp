#include "logs/LogText.h"

#include "logs/LogLines.h"
#include "misc/Text.h"

#include <windows.h>

#include <algorithm>

LogMark DetectLogEncoding(std::string_view head)
{
    if (head.substr(0, 2) == "\xFF\xFE")
        return {LogEncoding::Utf16, 2};
    if (head.substr(0, 3) == "\xEF\xBB\xBF")
        return {LogEncoding::Utf8, 3};
    return {LogEncoding::Ansi, 0};
}

// The rows of the view, each followed by CR LF: the text the view shows, whole.
std::wstring LogViewText(std::string_view bytes, LogEncoding encoding, unsigned ansiCodePage)
{
    LogLines lines;
    lines.Index(std::string(bytes), encoding, ansiCodePage);
    return lines.Count() == 0 ? std::wstring() : lines.Text(0, lines.Count() - 1) + L"\r\n";
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
    return LeftOutNote(offset + partial) + L"\r\n" +
           LogViewText(bytes.substr(partial), mark.encoding, ansiCodePage);
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
