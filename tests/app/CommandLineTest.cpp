// The command line: what each argument list asks for, and the archive path checked
// before anything is scanned.

#include "app/CommandLine.h"

#include "misc/Handles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace
{

using Mode = CommandLine::Mode;

struct ParseCase
{
    std::vector<std::wstring> args;
    Mode mode;
    std::wstring path;
    std::wstring error; // the beginning of the error line
};

TEST(CommandLineTest, ParsesEachForm)
{
    const ParseCase cases[] = {
        {{}, Mode::Window, L"", L""},
        {{L"/save"}, Mode::Save, L"", L""},
        {{L"/save", L"C:\\out\\demo.zip"}, Mode::Save, L"C:\\out\\demo.zip", L""},
        {{L"-SAVE", L"demo.zip"}, Mode::Save, L"demo.zip", L""},
        {{L"/SaVe", L"dir with blanks\\a.zip"}, Mode::Save, L"dir with blanks\\a.zip", L""},
        {{L"/?"}, Mode::Usage, L"", L""},
        {{L"-?"}, Mode::Usage, L"", L""},
        {{L"/HELP"}, Mode::Usage, L"", L""},
        {{L"-help"}, Mode::Usage, L"", L""},
        // Help wins: the caller asked what the program does, not for a scan.
        {{L"/save", L"a.zip", L"/?"}, Mode::Usage, L"", L""},
        {{L"/bogus"}, Mode::Error, L"", L"Unknown option: /bogus"},
        {{L"/save", L"/bogus"}, Mode::Error, L"", L"Unknown option: /bogus"},
        {{L"/saveas"}, Mode::Error, L"", L"Unknown option: /saveas"},
        {{L"--save"}, Mode::Error, L"", L"Unknown option: --save"},
        {{L"demo.zip"}, Mode::Error, L"", L"Unexpected argument: demo.zip"},
        {{L"demo.zip", L"/save"}, Mode::Error, L"", L"Unexpected argument: demo.zip"},
        {{L"/save", L"a.zip", L"b.zip"}, Mode::Error, L"", L"More than one archive path"},
        {{L"/save", L"/save"}, Mode::Error, L"", L"The option /save is given twice."},
        {{L"/save", L""}, Mode::Error, L"", L"The archive path is empty."},
        // A lone "/" or "-" is no option: taken as the path it was given as.
        {{L"/save", L"-"}, Mode::Save, L"-", L""},
        // A saved archive: named alone when it exists (the shell's "Open with"), or
        // after /open, where a missing file is the window's to report.
        {{L"C:\\in\\x.zip"}, Mode::Open, L"C:\\in\\x.zip", L""},
        {{L"/open", L"missing.zip"}, Mode::Open, L"missing.zip", L""},
        {{L"-OPEN", L"C:\\in\\x.zip"}, Mode::Open, L"C:\\in\\x.zip", L""},
        {{L"/open"}, Mode::Error, L"", L"The option /open needs the archive's path."},
        {{L"/open", L"a.zip", L"b.zip"}, Mode::Error, L"", L"More than one archive path"},
        {{L"/open", L"a.zip", L"/save"},
         Mode::Error,
         L"",
         L"The options /save and /open cannot be combined."},
        {{L"C:\\in\\x.zip", L"C:\\in\\x.zip"}, Mode::Error, L"", L"Unexpected argument"},
        {{L"/open", L"x.zip", L"/?"}, Mode::Usage, L"", L""},
    };
    const FileCheck onlyOneFile = [](const std::wstring& path) { return path == L"C:\\in\\x.zip"; };
    for (const ParseCase& c : cases)
    {
        std::wstring line;
        for (const std::wstring& a : c.args)
            line += L"[" + a + L"]";
        SCOPED_TRACE(OrvoTest::Narrow(line));
        const CommandLine parsed = ParseCommandLine(c.args, onlyOneFile);
        EXPECT_EQ(parsed.mode, c.mode);
        EXPECT_EQ(OrvoTest::Narrow(parsed.path), OrvoTest::Narrow(c.path));
        EXPECT_EQ(OrvoTest::Narrow(parsed.error.substr(0, c.error.size())), OrvoTest::Narrow(c.error));
        EXPECT_EQ(parsed.error.empty(), c.error.empty());
    }
}

class ArchivePathTest : public OrvoTest::TempDirTest
{
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        wchar_t old[MAX_PATH] = {};
        ::GetCurrentDirectoryW(MAX_PATH, old);
        m_oldDir = old;
        ASSERT_TRUE(::SetCurrentDirectoryW(Dir().c_str()));
    }
    void TearDown() override
    {
        ::SetCurrentDirectoryW(m_oldDir.c_str());
        TempDirTest::TearDown();
    }

  private:
    std::wstring m_oldDir;
};

TEST_F(ArchivePathTest, ResolvesAgainstTheCurrentFolder)
{
    ASSERT_TRUE(::CreateDirectoryW(PathOf(L"outbox").c_str(), nullptr));
    const struct
    {
        std::wstring given;
        std::wstring expected;
    } cases[] = {
        {L"", PathOf(L"Default.zip")},
        {L"demo.zip", PathOf(L"demo.zip")},
        {L"sub\\..\\demo.zip", PathOf(L"demo.zip")},
        {L"new\\", PathOf(L"new\\Default.zip")},
        {L"outbox", PathOf(L"outbox\\Default.zip")},
        {PathOf(L"abs.zip"), PathOf(L"abs.zip")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OrvoTest::Narrow(ResolveArchivePath(c.given, L"Default.zip")), OrvoTest::Narrow(c.expected))
            << OrvoTest::Narrow(c.given);
}

TEST_F(ArchivePathTest, CreatesMissingFoldersAndLeavesNoFileBehind)
{
    const std::wstring archive = PathOf(L"a\\b\\c\\demo.zip");
    EXPECT_EQ(OrvoTest::Narrow(PrepareArchivePath(archive)), "");
    EXPECT_TRUE(OrvoTest::Exists(PathOf(L"a\\b\\c")));
    EXPECT_FALSE(OrvoTest::Exists(archive)) << "the probe left a file";

    ASSERT_TRUE(OrvoTest::WriteBytes(PathOf(L"old.zip"), "old"));
    EXPECT_EQ(OrvoTest::Narrow(PrepareArchivePath(PathOf(L"old.zip"))), "");
    EXPECT_EQ(OrvoTest::ReadBytes(PathOf(L"old.zip")), "old") << "an existing file changed before the save";
}

TEST_F(ArchivePathTest, SaysWhyAPathCannotBeWritten)
{
    ASSERT_TRUE(OrvoTest::WriteBytes(PathOf(L"plainfile"), "x"));
    ASSERT_TRUE(OrvoTest::WriteBytes(PathOf(L"locked.zip"), "x"));
    Misc::FileHandle lock(
        ::CreateFileW(PathOf(L"locked.zip").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock);
    const struct
    {
        std::wstring path;
        std::string begins;
    } cases[] = {
        {PathOf(L"plainfile\\demo.zip"),
         "Cannot create the folder " + OrvoTest::Narrow(PathOf(L"plainfile\\"))},
        {PathOf(L"locked.zip"), "Cannot write the archive " + OrvoTest::Narrow(PathOf(L"locked.zip")) + ": "},
        {Dir(), "The archive path is a folder: "},
        {L"", "The archive path cannot be used."},
    };
    for (const auto& c : cases)
    {
        const std::string problem = OrvoTest::Narrow(PrepareArchivePath(c.path));
        EXPECT_EQ(problem.substr(0, c.begins.size()), c.begins) << problem;
        EXPECT_EQ(problem.find('\n'), std::string::npos) << "one line: " << problem;
    }
}

} // namespace
