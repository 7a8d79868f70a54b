#include "report/FileSystem.h"

#include "misc/Handles.h"
#include "TestSupport.h"
#include "WineHost.h"

#include <gtest/gtest.h>

namespace
{

using OrvoTest::MessageBoxCapture;
using OrvoTest::Narrow;

TEST(SplitPath, SeparatesDriveDirectoryNameAndExtension)
{
    struct Case
    {
        std::wstring path, drive, directory, name, extension;
    };
    const Case cases[] = {
        {L"C:dir/sub\\x.y", L"C:", L"dir/sub\\", L"x", L"y"},
        {L"C:\\dir\\file.tar.gz", L"C:", L"\\dir\\", L"file.tar", L"gz"},
        {L"README", L"", L"", L"README", L""},
        {L".profile", L"", L"", L"", L"profile"},
        {L"\\\\server\\share\\a.b", L"", L"\\\\server\\share\\", L"a", L"b"},
        {L"D:\\dir.d\\noext", L"D:", L"\\dir.d\\", L"noext", L""},
        {L"", L"", L"", L"", L""},
        {L"a/b\\c/d.e", L"", L"a/b\\c/", L"d", L"e"},
    };
    for (const Case& c : cases)
    {
        std::wstring d = L"junk", dir = L"junk", n = L"junk", e = L"junk";
        Misc::SplitPath(c.path, d, dir, n, e);
        EXPECT_EQ(d, c.drive) << Narrow(c.path);
        EXPECT_EQ(dir, c.directory) << Narrow(c.path);
        EXPECT_EQ(n, c.name) << Narrow(c.path);
        EXPECT_EQ(e, c.extension) << Narrow(c.path);
    }
}

TEST(ComposePath, SelectsParts)
{
    struct Case
    {
        std::wstring path;
        unsigned parts;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"C:\\dir\\file.tar.gz", 12, L"file.tar.gz"},
        {L"C:\\dir\\file.tar.gz", 8, L"gz"},
        {L"C:\\dir\\file.tar.gz", 4, L"file.tar"},
        {L"C:\\dir\\file.tar.gz", 3, L"C:\\dir\\"},
        {L"C:\\dir\\file.tar.gz", 15, L"C:\\dir\\file.tar.gz"},
        {L"C:\\dir\\file.tar.gz", 9, L"C:gz"},
        {L"README", 12, L"README"},
        {L"C:\\x\\.profile", 12, L".profile"},
        {L"C:\\x\\a.", 12, L"a"},
        {L"C:\\x\\y.exe", 0, L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Misc::ComposePath(c.path, c.parts), c.expected) << Narrow(c.path) << " parts " << c.parts;
}

TEST(JoinPath, OneBackslashAtTheSeamAndNormalised)
{
    struct Case
    {
        std::wstring first, second, expected;
    };
    const Case cases[] = {
        {L"C:\\a\\", L"\\b", L"C:\\a\\b"},
        {L"C:\\a", L"b", L"C:\\a\\b"},
        {L"C:\\a\\", L"b", L"C:\\a\\b"},
        {L"C:\\a", L"\\b", L"C:\\a\\b"},
        {L"", L"x", L"x"},
        {L"x", L"", L"x"},
        {L"", L"", L""},
        {L"X:\\a\\b", L"..\\d", L"X:\\a\\d"},
        {L"X:\\a", L".\\b", L"X:\\a\\b"},
        {L"X:\\a", L".", L"X:\\a"},
        {L"C:\\", L".", L"C:\\"},
        {L"C:\\Program Files\\Orvo\\", L"", L"C:\\Program Files\\Orvo\\"},
        {L"C:/a", L"b", L"C:/a\\b"}, // only the backslash counts at the seam
        {L"X:\\a\\b\\c", L"..\\..\\d", L"X:\\a\\d"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Misc::JoinPath(c.first, c.second), c.expected)
            << Narrow(c.first) << " + " << Narrow(c.second);
}

TEST(NormalisePath, SubstringRules)
{
    struct Case
    {
        std::wstring in, out;
    };
    const Case cases[] = {
        {L"A\\B\\..\\D", L"A\\D"},
        {L"x\\..\\..\\y", L"x\\..\\..\\y"},
        {L"\\..\\y", L"\\..\\y"},
        {L"C:\\a\\..x", L"C:x"}, // a name that starts with two dots folds like ".."
        {L"C:\\a\\.\\.\\b", L"C:\\a\\b"},
        {L"\\.\\a", L"\\.\\a"}, // at position 0 it stays
        {L"C:\\.", L"C:\\"},
        {L"C:\\A\\.", L"C:\\A"},
        {L"C:\\A\\B\\..", L"C:\\A"},
        {L"plain", L"plain"},
        {L"", L""},
    };
    for (const Case& c : cases)
    {
        std::wstring path = c.in;
        Misc::NormalisePath(path);
        EXPECT_EQ(path, c.out) << Narrow(c.in);
    }
}

class FileSystemTest : public OrvoTest::TempDirTest
{
};

bool SetLastWrite(const std::wstring& path, WORD year, WORD month, WORD day, WORD hour, WORD minute)
{
    const FILETIME ft = OrvoTest::UtcFileTime(year, month, day, hour, minute, 0);
    Misc::FileHandle file(::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
    return file && ::SetFileTime(file.Get(), nullptr, nullptr, &ft);
}

TEST_F(FileSystemTest, FileDateTextShowsUtcLastWriteTime)
{
    struct Case
    {
        WORD year, month, day, hour, minute;
        std::wstring expected;
    };
    const Case cases[] = {
        {2022, 12, 31, 23, 30, L"31-12-2022 23:30"},
        {2023, 3, 7, 14, 5, L"07-03-2023 14:05"},
        {2024, 2, 29, 0, 0, L"29-02-2024 00:00"},
        {2023, 7, 1, 1, 59, L"01-07-2023 01:59"}, // summer time elsewhere, still UTC here
    };
    const std::wstring path = PathOf(L"dated.txt");
    ASSERT_TRUE(OrvoTest::WriteBytes(path, "x"));
    for (const Case& c : cases)
    {
        ASSERT_TRUE(SetLastWrite(path, c.year, c.month, c.day, c.hour, c.minute));
        std::wstring text = L"junk";
        EXPECT_TRUE(Misc::FileDateText(path, text));
        EXPECT_EQ(text, c.expected);
    }
}

TEST_F(FileSystemTest, FileDateTextFailsForMissingOrLockedFile)
{
    std::wstring text = L"junk";
    EXPECT_FALSE(Misc::FileDateText(PathOf(L"missing.txt"), text));
    EXPECT_EQ(text, L"");

    const std::wstring path = PathOf(L"locked.txt");
    ASSERT_TRUE(OrvoTest::WriteBytes(path, "x"));
    Misc::FileHandle holder(
        ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    text = L"junk";
    EXPECT_FALSE(Misc::FileDateText(path, text));
    EXPECT_EQ(text, L"");
}

TEST(SystemErrorText, SystemMessageOrFallback)
{
    std::wstring text;
    Misc::SystemErrorText(ERROR_FILE_NOT_FOUND, text);
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text.find(L"Could not Format"), std::wstring::npos);

    Misc::SystemErrorText(0x2badf00du, text);
    EXPECT_EQ(text, L"2BADF00D [Could not Format Message to readable error text.]");
}

TEST_F(FileSystemTest, CreateDirWalksUpAndDownWithoutAMessage)
{
    MessageBoxCapture boxes;
    const std::wstring deep = PathOf(L"a\\b\\c");
    EXPECT_EQ(Misc::CreateDir(deep), 0);
    EXPECT_TRUE(OrvoTest::Exists(PathOf(L"a\\b")));
    EXPECT_TRUE(OrvoTest::Exists(deep));
    EXPECT_EQ(Misc::CreateDir(deep), 0) << "an existing directory is no failure";
    EXPECT_EQ(Misc::CreateDir(PathOf(L"a\\\\d")), 0) << "a doubled backslash is walked over";
    EXPECT_TRUE(OrvoTest::Exists(PathOf(L"a\\d")));
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(FileSystemTest, CreateDirFailuresShowTheirExactBox)
{
    MessageBoxCapture boxes;
    EXPECT_EQ(Misc::CreateDir(L""), -1);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"CreateDir(  ) failed due to error -1 :\nUnknown error");
    EXPECT_EQ(boxes.Boxes()[0].caption, L"Error");
    EXPECT_EQ(boxes.Boxes()[0].type, static_cast<UINT>(MB_OK));
    EXPECT_EQ(boxes.Boxes()[0].owner, nullptr);

    // A file stands where a folder level should be.
    const std::wstring file = PathOf(L"blocker");
    ASSERT_TRUE(OrvoTest::WriteBytes(file, "x"));
    const std::wstring below = file + L"\\sub\\deeper";
    const int code = Misc::CreateDir(below);
    EXPECT_GT(code, 0);
    ASSERT_EQ(boxes.Boxes().size(), 2u);
    std::wstring reason;
    Misc::SystemErrorText(static_cast<unsigned long>(code), reason);
    EXPECT_EQ(boxes.Boxes()[1].text,
              L"CreateDir( " + below + L" ) failed due to error " + std::to_wstring(code) + L" :\n" + reason);
}

// The same codes as CreateDir, and no box: the caller says what went wrong its own way.
TEST_F(FileSystemTest, CreateFoldersGivesTheCodeAndShowsNothing)
{
    MessageBoxCapture boxes;
    const std::wstring file = PathOf(L"blocker");
    ASSERT_TRUE(OrvoTest::WriteBytes(file, "x"));
    struct Case
    {
        std::wstring path;
        bool made;
    };
    const Case cases[] = {
        {L"", false},
        {PathOf(L"p\\q\\r"), true},
        {PathOf(L"p\\q\\r\\"), true}, // a folder path ends in its backslash
        {file + L"\\sub", false},
    };
    for (const Case& c : cases)
    {
        const int code = Misc::CreateFolders(c.path);
        EXPECT_EQ(code == 0, c.made) << Narrow(c.path) << ": " << code;
        EXPECT_EQ(Misc::DirectoryExists(c.path), c.made) << Narrow(c.path);
        EXPECT_EQ(Misc::PathExists(c.path), c.made) << Narrow(c.path);
    }
    EXPECT_EQ(Misc::CreateFolders(L""), -1);
    EXPECT_TRUE(Misc::PathExists(file));
    EXPECT_FALSE(Misc::DirectoryExists(file));
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(FileSystemTest, DeleteDirectoryTreeRemovesEverythingOrStopsAtReadOnly)
{
    ASSERT_EQ(Misc::CreateDir(PathOf(L"tree\\x\\y")), 0);
    ASSERT_TRUE(OrvoTest::WriteBytes(PathOf(L"tree\\1.txt"), "1"));
    ASSERT_TRUE(OrvoTest::WriteBytes(PathOf(L"tree\\x\\2.txt"), "2"));
    ASSERT_TRUE(OrvoTest::WriteBytes(PathOf(L"tree\\x\\y\\3.txt"), "3"));
    EXPECT_TRUE(Misc::DeleteDirectoryTree(PathOf(L"tree")));
    EXPECT_FALSE(OrvoTest::Exists(PathOf(L"tree")));

    ASSERT_EQ(Misc::CreateDir(PathOf(L"ro")), 0);
    const std::wstring locked = PathOf(L"ro\\locked.txt");
    ASSERT_TRUE(OrvoTest::WriteBytes(locked, "x"));
    ASSERT_TRUE(::SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(Misc::DeleteDirectoryTree(PathOf(L"ro")));
    EXPECT_TRUE(OrvoTest::Exists(locked));

    EXPECT_FALSE(Misc::DeleteDirectoryTree(PathOf(L"never_made")));
}

TEST_F(FileSystemTest, DeleteDirectoryTreeRemovesLinksNotWhatTheyPointTo)
{
    ASSERT_EQ(Misc::CreateDir(PathOf(L"outside\\inner")), 0);
    ASSERT_TRUE(OrvoTest::WriteBytes(PathOf(L"outside\\keep.txt"), "keep"));
    ASSERT_TRUE(OrvoTest::WriteBytes(PathOf(L"outside\\inner\\keep2.txt"), "keep"));
    ASSERT_EQ(Misc::CreateDir(PathOf(L"tree\\sub")), 0);
    ASSERT_TRUE(OrvoTest::WriteBytes(PathOf(L"tree\\sub\\own.txt"), "own"));
    if (!OrvoTest::MakeDirectoryLink(PathOf(L"tree\\sub\\link"), PathOf(L"outside")))
        GTEST_SKIP() << "no directory link can be made here";

    const bool removed = Misc::DeleteDirectoryTree(PathOf(L"tree"));
    EXPECT_TRUE(OrvoTest::Exists(PathOf(L"outside\\keep.txt")));
    EXPECT_TRUE(OrvoTest::Exists(PathOf(L"outside\\inner\\keep2.txt")));
    // Windows removes the link itself; Wine cannot, and then the tree stays.
    EXPECT_EQ(removed, !OrvoTest::Exists(PathOf(L"tree")));
    OrvoTest::RemoveDirectoryLink(PathOf(L"tree\\sub\\link"));
}

} // namespace
