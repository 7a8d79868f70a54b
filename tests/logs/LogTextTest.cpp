// The log text decoding and the tail of a large log, as pure functions over bytes,
// and the reader on real files.

#include "logs/LogText.h"
#include "logs/LogFileReader.h"
#include "misc/Handles.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

using namespace std::string_literals;
using OrvoTest::Narrow;

std::string Printable(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
    {
        if (c == L'\r')
            out += "\\r";
        else if (c == L'\n')
            out += "\\n";
        else if (c < 0x20 || c > 0x7E)
            out += "\\u" + std::to_string(static_cast<unsigned>(c));
        else
            out += static_cast<char>(c);
    }
    return out;
}

TEST(LogEncoding, AnnouncedByTheFirstBytes)
{
    struct Case
    {
        std::string head;
        LogEncoding encoding;
        std::size_t length;
    };
    const Case cases[] = {
        {"", LogEncoding::Ansi, 0},
        {"\xFF", LogEncoding::Ansi, 0},
        {"\xFF\xFE", LogEncoding::Utf16, 2},
        {"\xFF\xFE\x00"s, LogEncoding::Utf16, 2},
        {"\xFE\xFF\x00"s, LogEncoding::Ansi, 0}, // big-endian is not recognised
        {"\xEF\xBB\xBF", LogEncoding::Utf8, 3},
        {"\xEF\xBB", LogEncoding::Ansi, 0},
        {"\xEF\xBB\xBE", LogEncoding::Ansi, 0},
        {"abc", LogEncoding::Ansi, 0},
    };
    for (const Case& c : cases)
    {
        const LogMark mark = DetectLogEncoding(c.head);
        EXPECT_EQ(mark.encoding, c.encoding) << testing::PrintToString(c.head);
        EXPECT_EQ(mark.length, c.length) << testing::PrintToString(c.head);
    }
}

TEST(LogViewText, LinesEndInCrLfCutAtNulWithoutFinalCr)
{
    struct Case
    {
        std::string bytes;
        LogEncoding encoding;
        std::wstring text;
    };
    const Case cases[] = {
        {"", LogEncoding::Ansi, L""},
        {"a", LogEncoding::Ansi, L"a\r\n"},
        {"a\n", LogEncoding::Ansi, L"a\r\n"},
        {"a\r\nb\r\n", LogEncoding::Ansi, L"a\r\nb\r\n"},
        {"a\n\nb", LogEncoding::Ansi, L"a\r\n\r\nb\r\n"},
        {"\n", LogEncoding::Ansi, L"\r\n"},
        {"x\r", LogEncoding::Ansi, L"x\r\n"},
        {"a\r\r\n", LogEncoding::Ansi, L"a\r\r\n"}, // only the last CR goes
        {"a\rb\n", LogEncoding::Ansi, L"a\rb\r\n"},
        {"ab\0cd\r\nef"s, LogEncoding::Ansi, L"ab\r\nef\r\n"},
        {"ab\r\0cd\n"s, LogEncoding::Ansi, L"ab\r\n"},
        {"\0\n\0"s, LogEncoding::Ansi, L"\r\n\r\n"},
        {"\x80\xE4\n", LogEncoding::Ansi, L"\u20AC\u00E4\r\n"}, // code page 1252
        {"\xC3\xA4", LogEncoding::Ansi, L"\u00C3\u00A4\r\n"},   // UTF-8 without mark: as ANSI
        {"\xC3\xA4\r\n\xE2\x82\xAC", LogEncoding::Utf8, L"\u00E4\r\n\u20AC\r\n"},
        {"ok\xFF\n", LogEncoding::Utf8, L"ok\uFFFD\r\n"},
        {"a\0\r\0\n\0b\0"s, LogEncoding::Utf16, L"a\r\nb\r\n"},
        {"a\0\r\0\n\0b\0c"s, LogEncoding::Utf16, L"a\r\nb\r\n"}, // odd last byte
        {"a\0\0\0b\0\n\0c\0"s, LogEncoding::Utf16, L"a\r\nc\r\n"},
        {"\0\n\x0A\0"s, LogEncoding::Utf16, L"\u0A00\r\n"}, // 0x0A00 is no line feed
        {"=\xD8\0\xDE"s, LogEncoding::Utf16, L"\xD83D\xDE00\r\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Printable(LogViewText(c.bytes, c.encoding, 1252)), Printable(c.text))
            << testing::PrintToString(c.bytes);
}

TEST(LogTail, StartsOnTheLastLimitBytesAndOnAWholeUtf16Unit)
{
    const LogMark ansi{LogEncoding::Ansi, 0}, utf8{LogEncoding::Utf8, 3}, utf16{LogEncoding::Utf16, 2};
    struct Case
    {
        std::uint64_t size;
        LogMark mark;
        std::uint64_t limit;
        std::uint64_t offset;
    };
    const Case cases[] = {
        {0, ansi, 100, 0},
        {100, ansi, 100, 0},
        {101, ansi, 100, 0},
        {102, ansi, 100, 1},
        {1ull << 40, ansi, 16, (1ull << 40) - 17},
        {2, utf16, 100, 2},
        {102, utf16, 100, 2},
        {103, utf16, 100, 2},
        {104, utf16, 100, 2},
        {105, utf16, 100, 4},
        {1, utf8, 100, 3},
        {103, utf8, 100, 3},
        {104, utf8, 100, 3},
        {105, utf8, 100, 4},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LogTailOffset(c.size, c.mark, c.limit), c.offset) << c.size << " " << c.limit;

    EXPECT_EQ(PartialFirstLineLength("tial\nnext\n", LogEncoding::Ansi), 5u);
    EXPECT_EQ(PartialFirstLineLength("no line feed", LogEncoding::Utf8), 0u);
    EXPECT_EQ(PartialFirstLineLength("a\0\n\0b\0"s, LogEncoding::Utf16), 4u);
    EXPECT_EQ(PartialFirstLineLength("\0\n\x0A\x0A\0\0"s, LogEncoding::Utf16), 0u);
}

TEST(LogTail, NoteSaysHowMuchIsLeftOutAndWhereTheWholeFileIs)
{
    struct Case
    {
        std::uint64_t bytes;
        const wchar_t* text;
    };
    const Case cases[] = {
        {0, L"0 bytes"},
        {1023, L"1023 bytes"},
        {1024, L"1.0 KiB (1024 bytes)"},
        {1572864, L"1.5 MiB (1572864 bytes)"},
        {3ull << 30, L"3.0 GiB (3221225472 bytes)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ByteCountText(c.bytes), c.text);

    const LogMark ansi{LogEncoding::Ansi, 0};
    // Read from byte 1000 on: the partial line up to 1006 is left out as well.
    EXPECT_EQ(Printable(ComposeLogView("rtial\nline1\nline2", ansi, 1000, 1252)),
              Printable(LeftOutNote(1006) + L"\r\nline1\r\nline2\r\n"));
    EXPECT_EQ(Narrow(LeftOutNote(1006)), "[... The first 1006 bytes of this log file are not shown here. "
                                         "The whole file is in the archive that Save writes. ...]");
    // A log within the limit is shown whole.
    const LogMark utf8{LogEncoding::Utf8, 3};
    EXPECT_EQ(Printable(ComposeLogView("a\nb", utf8, 3, 1252)), "a\\r\\nb\\r\\n");
}

class LogReader : public OrvoTest::TempDirTest
{
};

// The product may hold its log open for writing and deleting while the view reads it.
TEST_F(LogReader, ReadsWhileTheProductWritesAndMayDelete)
{
    const std::wstring path = PathOf(L"Viewer.log");
    ASSERT_TRUE(OrvoTest::WriteBytes(path, "\xEF\xBB\xBFstart\r\n\xC3\xA4nd\r\n"));
    Misc::FileHandle writer(::CreateFileW(path.c_str(), GENERIC_WRITE | DELETE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer);
    std::wstring text;
    ASSERT_TRUE(ReadLogViewText(path, kWholeLog, text));
    EXPECT_EQ(Printable(text), "start\\r\\n\\u228nd\\r\\n");

    // A handle that shares nothing keeps the reader out.
    writer.Reset();
    Misc::FileHandle locked(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(locked);
    EXPECT_FALSE(ReadLogViewText(path, kWholeLog, text));
    locked.Reset();
    EXPECT_FALSE(ReadLogViewText(PathOf(L"missing.log"), kWholeLog, text));
    EXPECT_FALSE(ReadLogViewText(Dir(), kWholeLog, text)) << "a folder is no log";
}

TEST_F(LogReader, LargeUtf16LogShowsItsTailBelowTheNote)
{
    std::string bytes = "\xFF\xFE";
    for (int i = 0; i < 100; ++i)
        for (char c : "line " + std::to_string(i) + "\r\n")
            bytes += std::string{c, '\0'};
    const std::wstring path = PathOf(L"wide.log");
    ASSERT_TRUE(OrvoTest::WriteBytes(path, bytes));

    // The last 41 bytes start inside "line 97": an odd offset moves to the next unit,
    // and the rest of that line is left out with it.
    std::wstring text;
    ASSERT_TRUE(ReadLogViewText(path, 41, text));
    const std::uint64_t leftOut = bytes.size() - 2 * std::string("line 98\r\nline 99\r\n").size();
    EXPECT_EQ(Printable(text), Printable(LeftOutNote(leftOut) + L"\r\nline 98\r\nline 99\r\n"));

    ASSERT_TRUE(ReadLogViewText(path, bytes.size() - 2, text));
    EXPECT_EQ(text.rfind(L"line 0\r\nline 1\r\n", 0), 0u) << "within the limit: the whole log";
}

} // namespace
