#include "logs/LogLines.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace
{

// Every this many rows the index keeps where a row starts; a row between two of them
// is found by stepping over at most kStride - 1 rows. Even a log of empty lines so
// needs no more than an eighth of its size for its index.
constexpr std::size_t kStride = 64;

unsigned UnitAt(const char* bytes, std::size_t offset)
{
    return static_cast<unsigned char>(bytes[offset]) | (static_cast<unsigned char>(bytes[offset + 1]) << 8);
}

// Bytes of UTF-16 text: where the unit `value` first stands in [from, to), or `to`.
std::size_t FindUnit(const char* bytes, std::size_t from, std::size_t to, unsigned value)
{
    for (std::size_t at = from; at < to; at += 2)
    {
        if (UnitAt(bytes, at) == value)
            return at;
    }
    return to;
}

std::size_t FindByte(const char* bytes, std::size_t from, std::size_t to, char value)
{
    const void* found = std::memchr(bytes + from, value, to - from);
    return found ? static_cast<std::size_t>(static_cast<const char*>(found) - bytes) : to;
}

// Where the first line feed or NUL stands in [from, to), or `to`. Every row of a log
// is looked for this way, so whole words of eight bytes are tried first: a word with
// a zero byte (or zero unit) in itself or in its XOR with line feeds holds one.
std::size_t FindStop(const char* bytes, std::size_t from, std::size_t to, bool wide)
{
    const std::uint64_t ones = wide ? 0x0001000100010001ull : 0x0101010101010101ull;
    const std::uint64_t high = ones << (wide ? 15 : 7);
    const std::uint64_t feeds = ones * '\n';
    std::size_t at = from;
    for (; at + 8 <= to; at += 8)
    {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes + at, 8);
        const std::uint64_t feed = word ^ feeds;
        if ((((word - ones) & ~word) | ((feed - ones) & ~feed)) & high)
            break;
    }
    for (const std::size_t unit = wide ? 2 : 1; at < to; at += unit)
    {
        const unsigned value = wide ? UnitAt(bytes, at) : static_cast<unsigned char>(bytes[at]);
        if (value == '\n' || value == 0)
            return at;
    }
    return to;
}

// Where a row of a line longer than a row may end without cutting a character in two:
// not before a UTF-8 continuation byte, not after a lead surrogate, and in an ANSI code
// page right after a byte below 0x40, which is never part of a double-byte character.
std::size_t SplitPoint(const char* bytes, std::size_t begin, std::size_t limit, LogEncoding encoding)
{
    if (encoding == LogEncoding::Utf16)
    {
        const unsigned last = UnitAt(bytes, limit - 2);
        return last >= 0xD800 && last < 0xDC00 && limit - 2 > begin ? limit - 2 : limit;
    }
    const auto byteAt = [&](std::size_t at) { return static_cast<unsigned char>(bytes[at]); };
    if (encoding == LogEncoding::Utf8)
    {
        std::size_t at = limit;
        while (at > begin + 1 && limit - at < 4 && (byteAt(at) & 0xC0) == 0x80)
            --at;
        return at;
    }
    for (std::size_t at = limit; at > begin + 1 && limit - at < 64; --at)
    {
        if (byteAt(at - 1) < 0x40)
            return at;
    }
    return limit;
}

std::wstring Folded(std::wstring text)
{
    if (!text.empty())
        ::CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// An ASCII needle can only match ASCII letters of 8-bit text: those bytes are searched
// first, and only a row where they stand is decoded to be sure.
bool HoldsAscii(std::string_view row, std::string_view folded)
{
    if (folded.size() > row.size())
        return false;
    for (std::size_t at = 0; at + folded.size() <= row.size(); ++at)
    {
        std::size_t i = 0;
        while (i < folded.size() && AsciiLower(row[at + i]) == folded[i])
            ++i;
        if (i == folded.size())
            return true;
    }
    return false;
}

} // namespace

bool LogLines::Index(std::string bytes, LogEncoding encoding, unsigned ansiCodePage, std::size_t start,
                     const std::atomic<bool>* cancel)
{
    m_bytes = std::move(bytes);
    m_encoding = encoding;
    m_codePage = ansiCodePage;
    if (encoding == LogEncoding::Utf16 && m_bytes.size() % 2 != 0)
        m_bytes.pop_back(); // half a character is none
    m_rows = 0;
    m_widestBytes = 0;
    m_checkpoints.clear();
    for (std::size_t offset = std::min(start, m_bytes.size()); offset < m_bytes.size();)
    {
        if (m_rows % kStride == 0)
        {
            if (m_rows >= kMaxRows || (cancel && cancel->load(std::memory_order_relaxed)))
                return false;
            m_checkpoints.push_back(offset);
        }
        const Span span = RowAt(offset);
        m_widestBytes = std::max(m_widestBytes, span.end - span.begin);
        offset = span.next;
        ++m_rows;
    }
    return true;
}

// A row ends at a line feed, or where the line has been a row long; what a NUL cuts
// off is skipped up to the line feed, and a carriage return that ends a line is not
// shown.
LogLines::Span LogLines::RowAt(std::size_t offset) const
{
    const char* bytes = m_bytes.data();
    const std::size_t size = m_bytes.size();
    const bool wide = m_encoding == LogEncoding::Utf16;
    const std::size_t unit = wide ? 2 : 1;
    const std::size_t limit = size - offset > kRowUnits * unit ? offset + kRowUnits * unit : size;
    // A line a row long ends in its CR LF, not in an empty row after it.
    const std::size_t searchEnd = std::min(size, limit + 2 * unit);
    const std::size_t stop = FindStop(bytes, offset, searchEnd, wide);
    const bool nul = stop < searchEnd && (wide ? UnitAt(bytes, stop) == 0 : bytes[stop] == '\0');
    Span span{offset, stop, stop + unit};
    bool endsLine = true;
    if (nul && stop <= limit)
    {
        const std::size_t feed = wide ? FindUnit(bytes, stop, size, '\n') : FindByte(bytes, stop, size, '\n');
        span.next = std::min(size, feed + unit);
    }
    else if (nul || stop == searchEnd)
    {
        endsLine = limit >= size;
        span.end = endsLine ? size : SplitPoint(bytes, offset, limit, m_encoding);
        span.next = span.end;
    }
    if (endsLine && span.end - offset >= unit &&
        (wide ? UnitAt(bytes, span.end - 2) == '\r' : bytes[span.end - 1] == '\r'))
        span.end -= unit;
    return span;
}

std::size_t LogLines::RowOffset(std::size_t logRow) const
{
    std::size_t offset = m_checkpoints[logRow / kStride];
    for (std::size_t step = logRow % kStride; step > 0; --step)
        offset = RowAt(offset).next;
    return offset;
}

std::wstring LogLines::Decode(const Span& span) const
{
    const char* bytes = m_bytes.data() + span.begin;
    const std::size_t count = span.end - span.begin;
    if (m_encoding == LogEncoding::Utf16)
    {
        std::wstring text(count / 2, L'\0');
        for (std::size_t i = 0; i < text.size(); ++i)
            text[i] = static_cast<wchar_t>(UnitAt(bytes, 2 * i));
        return text;
    }
    if (count == 0)
        return {};
    const unsigned codePage = m_encoding == LogEncoding::Utf8 ? CP_UTF8 : m_codePage;
    const int length = static_cast<int>(count); // a row is never longer than kRowUnits bytes
    std::wstring text(static_cast<std::size_t>(::MultiByteToWideChar(codePage, 0, bytes, length, nullptr, 0)),
                      L'\0');
    if (!text.empty())
        ::MultiByteToWideChar(codePage, 0, bytes, length, text.data(), static_cast<int>(text.size()));
    return text;
}

std::size_t LogLines::WidestUnits() const noexcept
{
    std::size_t widest = m_encoding == LogEncoding::Utf16 ? m_widestBytes / 2 : m_widestBytes;
    for (const std::wstring& row : m_head)
        widest = std::max(widest, row.size());
    return widest;
}

std::wstring LogLines::Row(std::size_t row) const
{
    if (row < m_head.size())
        return m_head[row];
    row -= m_head.size();
    return row < m_rows ? Decode(RowAt(RowOffset(row))) : std::wstring();
}

std::wstring LogLines::Text(std::size_t first, std::size_t last) const
{
    std::wstring text;
    last = std::min(last, Count() - 1);
    for (std::size_t row = first; row <= last && row < m_head.size(); ++row)
        text += (row > first ? L"\r\n" : L"") + m_head[row];
    if (last < m_head.size() || m_rows == 0)
        return text;
    const std::size_t firstLog = std::max(first, m_head.size()) - m_head.size();
    std::size_t offset = RowOffset(firstLog);
    for (std::size_t row = firstLog; row + m_head.size() <= last; ++row)
    {
        const Span span = RowAt(offset);
        if (row + m_head.size() > first)
            text += L"\r\n";
        text += Decode(span);
        offset = span.next;
    }
    return text;
}

bool LogLines::Holds(const Span& span, std::wstring_view folded, std::string_view asciiFolded) const
{
    if (!asciiFolded.empty() &&
        !HoldsAscii(std::string_view(m_bytes).substr(span.begin, span.end - span.begin), asciiFolded))
        return false;
    return Folded(Decode(span)).find(folded) != std::wstring::npos;
}

// Log rows [begin, end), first to last or last to first; backwards a block of rows
// between two checkpoints is stepped through forwards and then tried from its end.
std::size_t LogLines::FindIn(std::size_t begin, std::size_t end, bool forward, std::wstring_view folded,
                             std::string_view asciiFolded) const
{
    if (begin >= end)
        return npos;
    if (forward)
    {
        std::size_t offset = RowOffset(begin);
        for (std::size_t row = begin; row < end; ++row)
        {
            const Span span = RowAt(offset);
            if (Holds(span, folded, asciiFolded))
                return row;
            offset = span.next;
        }
        return npos;
    }
    Span spans[kStride];
    for (std::size_t block = (end - 1) / kStride + 1; block-- > begin / kStride;)
    {
        const std::size_t first = std::max(begin, block * kStride);
        const std::size_t last = std::min(end, (block + 1) * kStride);
        std::size_t offset = RowOffset(first);
        for (std::size_t row = first; row < last; ++row)
        {
            spans[row - first] = RowAt(offset);
            offset = spans[row - first].next;
        }
        for (std::size_t row = last; row-- > first;)
        {
            if (Holds(spans[row - first], folded, asciiFolded))
                return row;
        }
    }
    return npos;
}

std::size_t LogLines::Find(std::wstring_view needle, std::size_t from, bool forward) const
{
    const std::size_t count = Count();
    if (needle.empty() || count == 0)
        return npos;
    const std::wstring folded = Folded(std::wstring(needle));
    std::string asciiFolded;
    if (m_encoding != LogEncoding::Utf16 &&
        std::all_of(folded.begin(), folded.end(), [](wchar_t c) { return c < 0x80; }))
        asciiFolded.assign(folded.begin(), folded.end());
    const std::size_t head = m_head.size();
    // Rows [begin, end) in the direction of the search: the head rows come first.
    const auto range = [&](std::size_t begin, std::size_t end) -> std::size_t
    {
        const auto inHead = [&](std::size_t row)
        { return Folded(m_head[row]).find(folded) != std::wstring::npos; };
        for (std::size_t row = begin; forward && row < std::min(end, head); ++row)
            if (inHead(row))
                return row;
        const std::size_t found =
            FindIn(std::max(begin, head) - head, std::max(end, head) - head, forward, folded, asciiFolded);
        if (found != npos)
            return found + head;
        for (std::size_t row = std::min(end, head); !forward && row-- > begin;)
            if (inHead(row))
                return row;
        return npos;
    };
    if (from >= count)
        return range(0, count);
    const std::size_t found = forward ? range(from + 1, count) : range(0, from);
    if (found != npos)
        return found;
    return forward ? range(0, from + 1) : range(from, count);
}
