// The rows of a log as the view shows them: long lines over several rows without a
// character cut in two, rows found by number anywhere in a large log, and the search.

#include "logs/LogLines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

using namespace std::string_literals;

std::vector<std::wstring> RowsOf(const LogLines& lines)
{
    std::vector<std::wstring> rows;
    for (std::size_t row = 0; row < lines.Count(); ++row)
        rows.push_back(lines.Row(row));
    return rows;
}

LogLines Indexed(const std::string& bytes, LogEncoding encoding = LogEncoding::Ansi)
{
    LogLines lines;
    EXPECT_TRUE(lines.Index(bytes, encoding, 1252));
    return lines;
}

std::string Utf16(const std::wstring& text)
{
    std::string bytes;
    for (wchar_t c : text)
    {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

TEST(LogRows, LongLinesGoOnOverWholeCharacters)
{
    const std::size_t row = LogLines::kRowUnits;
    const std::wstring euro = L"\u20AC";
    struct Case
    {
        const char* what;
        std::string bytes;
        LogEncoding encoding;
        std::vector<std::size_t> rowLengths;
    };
    const Case cases[] = {
        {"a row long, then the line feed", std::string(row, 'a') + "\nb", LogEncoding::Ansi, {row, 1}},
        {"one more than a row", std::string(row + 1, 'a'), LogEncoding::Ansi, {row, 1}},
        {"UTF-8: a euro sign across the row's end is not cut",
         std::string(row - 1, 'a') + "\xE2\x82\xAC" + "z",
         LogEncoding::Utf8,
         {row - 1, 2}},
        {"UTF-16: a surrogate pair across the row's end is not cut",
         Utf16(std::wstring(row - 1, L'a') + L"\xD83D\xDE00" + L"z"),
         LogEncoding::Utf16,
         {row - 1, 3}},
        {"ANSI: cut after a byte that is no part of a double-byte character",
         std::string(row - 10, 'a') + " " + std::string(20, '\xE4'),
         LogEncoding::Ansi,
         {row - 9, 20}},
        {"a NUL in the first row skips the rest of the line",
         "ab\0"s + std::string(2 * row, 'c') + "\nnext",
         LogEncoding::Ansi,
         {2, 4}},
        {"a NUL in the second row ends the line there",
         std::string(row + 3, 'c') + "\0dd\r\nnext"s,
         LogEncoding::Ansi,
         {row, 3, 4}},
    };
    for (const Case& c : cases)
    {
        LogLines lines;
        ASSERT_TRUE(lines.Index(c.bytes, c.encoding, 1252)) << c.what;
        std::vector<std::size_t> lengths;
        std::wstring joined;
        for (const std::wstring& text : RowsOf(lines))
        {
            lengths.push_back(text.size());
            joined += text;
        }
        EXPECT_EQ(lengths, c.rowLengths) << c.what;
        EXPECT_EQ(joined.find(L'\uFFFD'), std::wstring::npos) << c.what << ": a character cut in two";
    }
    EXPECT_EQ(Indexed(std::string(row - 1, 'a') + "\xE2\x82\xAC", LogEncoding::Utf8).Row(1), euro);
}

// Rows far from a kept start are found by stepping, and give what reading them one
// after another gives; the widest row sets the view's width.
TEST(LogRows, AnyRowOfALargeLogIsFoundByItsNumber)
{
    std::string bytes;
    std::vector<std::wstring> expected;
    for (int i = 0; i < 1000; ++i)
    {
        const std::string line = std::string(static_cast<std::size_t>(i % 7), '-') + std::to_string(i);
        bytes += line + (i % 3 == 0 ? "\r\n" : "\n");
        expected.emplace_back(line.begin(), line.end());
    }
    LogLines lines = Indexed(bytes);
    lines.AddHead(L"note");
    ASSERT_EQ(lines.Count(), 1001u);
    EXPECT_EQ(lines.Row(0), L"note");
    for (std::size_t row : {1u, 63u, 64u, 65u, 128u, 999u, 1000u})
        EXPECT_EQ(lines.Row(row), expected[row - 1]) << row;
    EXPECT_EQ(lines.Row(1001), L"");
    EXPECT_EQ(lines.Text(0, 2), L"note\r\n" + expected[0] + L"\r\n" + expected[1]);
    EXPECT_EQ(lines.Text(999, 5000), expected[998] + L"\r\n" + expected[999]);
    EXPECT_EQ(lines.WidestUnits(), 9u); // "------" and three digits
}

TEST(LogRows, FindGoesBothWaysRoundTheEndsRegardlessOfCase)
{
    std::string bytes;
    for (int i = 0; i < 200; ++i)
        bytes += (i == 10 ? "Fehler: \xC4nderung" : i == 150 ? "ERROR found" : "ok") + std::string("\r\n");
    const LogLines ansi = Indexed(bytes);
    std::wstring wide;
    for (char c : bytes)
        wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
    const LogLines utf16 = Indexed(Utf16(wide), LogEncoding::Utf16);
    const std::size_t none = LogLines::npos;
    struct Case
    {
        const wchar_t* needle;
        std::size_t from;
        bool forward;
        std::size_t found;
    };
    const Case cases[] = {
        {L"error", none, true, 150},     {L"error", 150, true, 150}, // the only hit, found again
        {L"Error F", 199, true, 150},    {L"fehler", 150, true, 10}, // round the end
        {L"fehler", none, false, 10},    {L"error", 10, false, 150}, // round the start
        {L"\u00E4NDERUNG", 0, true, 10}, {L"\u00C4nd", 11, false, 10},
        {L"missing", 5, true, none},     {L"", 5, true, none},
        {L"ok\r", 0, true, none}, // the line end is no part of a row
    };
    for (const LogLines* lines : {&ansi, &utf16})
        for (const Case& c : cases)
            EXPECT_EQ(lines->Find(c.needle, c.from, c.forward), c.found)
                << (lines == &ansi ? "ANSI " : "UTF-16 ") << testing::PrintToString(std::wstring(c.needle));
}

TEST(LogRows, IndexingStopsWhenCancelled)
{
    std::atomic<bool> cancel{true};
    LogLines lines;
    EXPECT_FALSE(lines.Index("a\nb\n", LogEncoding::Ansi, 1252, 0, &cancel));
    EXPECT_TRUE(lines.Index("a\nb\n", LogEncoding::Ansi, 1252, 2));
    EXPECT_EQ(RowsOf(lines), std::vector<std::wstring>{L"b"}) << "indexed from the start given";
}

} // namespace
