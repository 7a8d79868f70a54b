#include "report/TextLogWriter.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace
{

using OrvoTest::ReadBytes;

std::string Utf16(const std::wstring& text)
{
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

const std::string kBom("\xFF\xFE", 2);

class TextLogWriterTest : public OrvoTest::TempDirTest
{
};

TEST_F(TextLogWriterTest, NewFileGetsOneByteOrderMarkAndRawUtf16)
{
    const std::wstring path = PathOf(L"report.txt");
    {
        Misc::TextLogWriter log;
        EXPECT_FALSE(log.IsOpen());
        EXPECT_STREQ(log.Path(), L"");
        ASSERT_TRUE(log.Open(path));
        EXPECT_EQ(log.Path(), path);
        EXPECT_FALSE(log.Open(path)) << "a second Open is refused while a file is open";
        EXPECT_TRUE(log.Write(L"line one\r\n"));
        EXPECT_TRUE(log.Write(L"bare\nlf"));
        EXPECT_FALSE(log.Write(nullptr));
        // Flushed after every write: a reader sees the bytes while the writer is open.
        EXPECT_EQ(ReadBytes(path), kBom + Utf16(L"line one\r\nbare\nlf"));
    }
    {
        Misc::TextLogWriter log;
        ASSERT_TRUE(log.Open(path));
        EXPECT_TRUE(log.Printf(L" %ls=%d", L"n", 7));
    }
    EXPECT_EQ(ReadBytes(path), kBom + Utf16(L"line one\r\nbare\nlf n=7")) << "appended, no second mark";
}

TEST_F(TextLogWriterTest, EmptyExistingFileGetsTheMark)
{
    const std::wstring path = PathOf(L"empty.txt");
    ASSERT_TRUE(OrvoTest::WriteBytes(path, ""));
    Misc::TextLogWriter log;
    ASSERT_TRUE(log.Open(path));
    log.Close();
    EXPECT_EQ(ReadBytes(path), kBom);
    EXPECT_STREQ(log.Path(), L"");
    EXPECT_FALSE(log.Write(L"after close"));
}

TEST_F(TextLogWriterTest, PrintfCutsAt1023Characters)
{
    const std::wstring path = PathOf(L"long.txt");
    Misc::TextLogWriter log;
    ASSERT_TRUE(log.Open(path));
    const std::wstring longText(3000, L'z');
    EXPECT_TRUE(log.Printf(L"%ls", longText.c_str()));
    log.Close();
    EXPECT_EQ(ReadBytes(path), kBom + Utf16(std::wstring(1023, L'z')));
}

TEST_F(TextLogWriterTest, OpenFailureShowsTheWarningBox)
{
    OrvoTest::MessageBoxCapture boxes;
    const std::wstring path = PathOf(L"no\\such\\folder\\x.txt");
    Misc::TextLogWriter log;
    EXPECT_FALSE(log.Open(path));
    EXPECT_FALSE(log.IsOpen());
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].caption, L"WARNING");
    EXPECT_EQ(boxes.Boxes()[0].text, L"Error while opening\n\t" + path);
    EXPECT_EQ(boxes.Boxes()[0].type, static_cast<UINT>(MB_OK | MB_ICONINFORMATION | MB_TASKMODAL));
    EXPECT_EQ(boxes.Boxes()[0].owner, nullptr);

    // The box text is cut to 289 characters.
    const std::wstring longPath = PathOf(L"missing\\" + std::wstring(400, L'n') + L".txt");
    EXPECT_FALSE(log.Open(longPath));
    ASSERT_EQ(boxes.Boxes().size(), 2u);
    EXPECT_EQ(boxes.Boxes()[1].text.size(), 289u);
}

TEST_F(TextLogWriterTest, FailedOpenLeavesTheWriterClosedAndTheFileUntouched)
{
    // A real file whose path has exactly 260 characters, with content of its own.
    std::wstring dir = PathOf(L"d");
    ASSERT_TRUE(::CreateDirectoryW(dir.c_str(), nullptr));
    const std::size_t nameLength = 260 - dir.size() - 1;
    ASSERT_GT(nameLength, 8u);
    const std::wstring path = dir + L"\\" + std::wstring(nameLength - 4, L'p') + L".txt";
    ASSERT_EQ(path.size(), 260u);
    const std::string existing = "existing content";
    ASSERT_TRUE(OrvoTest::WriteBytes(L"\\\\?\\" + path, existing));

    OrvoTest::MessageBoxCapture boxes;
    Misc::TextLogWriter log;
    EXPECT_FALSE(log.Open(path));
    EXPECT_FALSE(log.IsOpen());
    EXPECT_STREQ(log.Path(), L"");
    EXPECT_FALSE(log.Write(L"XY")) << "a writer whose Open failed writes nothing";
    EXPECT_FALSE(log.Printf(L"%d", 42));
    EXPECT_EQ(ReadBytes(L"\\\\?\\" + path), existing);
    EXPECT_TRUE(boxes.Boxes().empty());

    // Nothing is left behind for a path that does not fit.
    const std::wstring fresh = dir + L"\\" + std::wstring(nameLength - 4, L'q') + L".txt";
    EXPECT_FALSE(log.Open(fresh));
    EXPECT_FALSE(OrvoTest::Exists(L"\\\\?\\" + fresh));

    const std::wstring fits = dir + L"\\" + std::wstring(nameLength - 5, L'p') + L".txt";
    ASSERT_EQ(fits.size(), 259u);
    EXPECT_TRUE(log.Open(fits));
    EXPECT_EQ(log.Path(), fits);
}

} // namespace
