#include "checks/RegValueLine.h"

#include "misc/Text.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

std::vector<BYTE> Bytes(std::size_t count, BYTE first = 0)
{
    std::vector<BYTE> bytes(count);
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<BYTE>(first + i);
    return bytes;
}

std::vector<BYTE> TextBytes(const std::wstring& text, bool terminated = true)
{
    const std::size_t units = text.size() + (terminated ? 1 : 0);
    const BYTE* begin = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(begin, begin + units * sizeof(wchar_t));
}

std::vector<BYTE> DwordBytes(DWORD value)
{
    const BYTE* begin = reinterpret_cast<const BYTE*>(&value);
    return std::vector<BYTE>(begin, begin + sizeof(value));
}

TEST(RegValueLine, EachTypeInItsForm)
{
    struct Case
    {
        const char* what;
        std::wstring name;
        DWORD type;
        std::vector<BYTE> data;
        std::wstring expected;
    };
    const Case cases[] = {
        {"plain string", L"Path", REG_SZ, TextBytes(L"C:\\Orvo"), L"\"Path\"=\"C:\\\\Orvo\"\n"},
        {"backslash and quote", L"S", REG_SZ, TextBytes(L"\\\""), L"\"S\"=\"\\\\\\\"\"\n"},
        // A line break, a NUL before the end or half a surrogate pair: the exact bytes
        // (the export's hostile table has the other kinds).
        {"line feed", L"S", REG_SZ, TextBytes(L"a\nb"), L"\"S\"=hex(1):61,00,0a,00,62,00,00,00\n"},
        {"lone high surrogate at the end", L"S", REG_SZ, TextBytes(L"\xDBFF"), L"\"S\"=hex(1):ff,db,00,00\n"},
        // Padding NULs after the text are not part of it.
        {"padding of two NULs", L"S", REG_SZ, {'a', 0, 0, 0, 0, 0}, L"\"S\"=\"a\"\n"},
        {"only NULs", L"S", REG_SZ, {0, 0, 0, 0}, L"\"S\"=\"\"\n"},
        {"NUL before the padding",
         L"S",
         REG_SZ,
         {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0},
         L"\"S\"=hex(1):61,00,00,00,62,00,00,00,00,00\n"},
        {"padded expandable text keeps its bytes",
         L"E",
         REG_EXPAND_SZ,
         {'a', 0, 0, 0, 0, 0},
         L"\"E\"=hex(2):61,00,00,00,00,00\n"},
        {"no terminating NUL", L"S", REG_SZ, TextBytes(L"ab", false), L"\"S\"=\"ab\"\n"},
        {"odd byte dropped", L"S", REG_SZ, {'a', 0, 'b', 0, 'c'}, L"\"S\"=\"ab\"\n"},
        {"NUL inside", L"S", REG_SZ, {'a', 0, 0, 0, 'b', 0}, L"\"S\"=hex(1):61,00,00,00,62,00\n"},
        {"empty string data", L"S", REG_SZ, {}, L"\"S\"=\"\"\n"},
        {"non-ASCII text", L"Gr\u00fc\u00dfe", REG_SZ, TextBytes(L"\u65e5\u672c"),
         L"\"Gr\u00fc\u00dfe\"=\"\u65e5\u672c\"\n"},
        {"default value", L"", REG_SZ, TextBytes(L"x"), L"@=\"x\"\n"},
        {"name with quote and backslash", L"a\"b\\c", REG_SZ, TextBytes(L"x"), L"\"a\\\"b\\\\c\"=\"x\"\n"},
        {"dword 42", L"D", REG_DWORD, DwordBytes(42), L"\"D\"=dword:0000002a\n"},
        {"dword all bits", L"D", REG_DWORD, DwordBytes(0xFFFFFFFF), L"\"D\"=dword:ffffffff\n"},
        {"dword too short", L"D", REG_DWORD, {1, 2}, L"\"D\"=hex(4):01,02\n"},
        {"dword too long", L"D", REG_DWORD, Bytes(5, 1), L"\"D\"=hex(4):01,02,03,04,05\n"},
        {"dword empty", L"D", REG_DWORD, {}, L"\"D\"=hex(4):\n"},
        {"binary", L"B", REG_BINARY, {0x00, 0xAB, 0xFF}, L"\"B\"=hex:00,ab,ff\n"},
        {"binary empty", L"B", REG_BINARY, {}, L"\"B\"=hex:\n"},
        {"expand string", L"E", REG_EXPAND_SZ, TextBytes(L"%A%"), L"\"E\"=hex(2):25,00,41,00,25,00,00,00\n"},
        {"multi string", L"M", REG_MULTI_SZ, {'a', 0, 0, 0, 0, 0}, L"\"M\"=hex(7):61,00,00,00,00,00\n"},
        {"qword", L"Q", REG_QWORD, Bytes(8, 1), L"\"Q\"=hex(b):01,02,03,04,05,06,07,08\n"},
        {"none with data", L"N", REG_NONE, {7}, L"\"N\"=hex(0):07\n"},
        {"none empty", L"N", REG_NONE, {}, L"\"N\"=hex(0):\n"},
        {"unknown type", L"U", 0x12345, {1}, L"\"U\"=hex(12345):01\n"},
        {"default value binary", L"", REG_BINARY, {1}, L"@=hex:01\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RegValueLine(c.name, c.type, c.data.data(), c.data.size()), c.expected) << c.what;
}

// The counter starts at the line's length so far and wraps once past column 75.
TEST(RegValueLine, ByteListsWrapAfterColumn75)
{
    const std::vector<BYTE> blob = Bytes(30);
    const std::wstring line = RegValueLine(L"Blob", REG_BINARY, blob.data(), blob.size());
    const std::size_t wrap = line.find(L"\\\n");
    ASSERT_NE(wrap, std::wstring::npos);
    const std::wstring first = line.substr(0, wrap);
    const std::wstring second = line.substr(wrap + 2);
    EXPECT_EQ(first, L"\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,");
    EXPECT_EQ(second, L"  16,17,18,19,1a,1b,1c,1d\n");
    EXPECT_EQ(line.find(L"\\\n", wrap + 1), std::wstring::npos);

    std::wstring twentySix;
    for (int i = 0; i < 26; ++i)
        twentySix += Misc::Format(L"%02x,", i);
    struct Case
    {
        std::size_t column;
        std::size_t count;
        std::wstring expected;
    };
    const Case cases[] = {
        {0, 0, L"\n"},
        {74, 1, L"00\n"},                         // 76 after the last byte: nothing follows, no wrap
        {72, 2, L"00,01\n"},                      // 75 is not past the limit; 77 comes with the last byte
        {73, 2, L"00,\\\n  01\n"},                // 76 after the first byte
        {0, 26, twentySix.substr(0, 77) + L"\n"}, // the 26th byte is the last: 77, no wrap
        {0, 27, twentySix + L"\\\n  1a\n"},       // 78 after the 26th byte
    };
    for (const Case& c : cases)
    {
        const std::vector<BYTE> data = Bytes(c.count);
        std::wstring text;
        AppendRegByteList(text, c.column, data.data(), data.size());
        EXPECT_EQ(text, c.expected) << c.column << "+" << c.count;
    }
}

// A name left out is shown on one line and without doubt which one it is.
TEST(RegText, UnsafeNamesAreShownOnOneLine)
{
    struct Case
    {
        std::wstring name;
        bool unsafe;
        std::wstring shown;
    };
    const Case cases[] = {
        {L"plain [x] \"q\" =", false, L"plain [x] \"q\" ="},
        {L"a\nb\rc", true, L"a\\nb\\rc"},
        {std::wstring(L"a\0b", 3), true, L"a\\0b"},
        {L"back\\n\n", true, L"back\\\\n\\n"},
        {L"\xD800", true, L"\\uD800"},
        {L"x\xDFFFy", true, L"x\\uDFFFy"},
        {L"\xD83D\xDE00", false, L"\xD83D\xDE00"},
        {L"\xDE00\xD83D", true, L"\\uDE00\\uD83D"},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(IsTextLineUnsafe(c.name), c.unsafe) << Misc::ToCodePage(c.shown, CP_UTF8);
        EXPECT_EQ(ShowUnsafeName(c.name), c.shown);
    }
}

TEST(RegText, EscapesBackslashesBeforeQuotes)
{
    EXPECT_EQ(EscapeRegText(L"\\\""), L"\\\\\\\"");
    EXPECT_EQ(EscapeRegText(L"plain"), L"plain");
    EXPECT_EQ(EscapeRegText(L""), L"");
    EXPECT_EQ(ToCrLf(L"a\nb\n\n"), L"a\r\nb\r\n\r\n");
    EXPECT_EQ(ToCrLf(L"no line feed"), L"no line feed");
}

} // namespace
