#include "logs/LogFilesInfo.h"

#include "report/TmpFileManager.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

using OrvoTest::Narrow;

std::vector<std::wstring> Paths(LogFilesInfo& info)
{
    std::vector<std::wstring> paths;
    for (LogFilesInfo::LogFileEntry* e = info.First(); e; e = info.Next())
        paths.push_back(e->Path());
    return paths;
}

class LogFilesModel : public ::testing::Test
{
};

TEST_F(LogFilesModel, AddKeepsOrderAndDropsCaseOnlyDuplicates)
{
    LogFilesInfo info;
    info.Add(L"C:\\Users\\me\\Temp\\Viewer.log");
    info.Add(L"C:\\Users\\me\\Temp\\Editor.log");
    info.Add(L"c:\\users\\ME\\temp\\VIEWER.LOG");
    info.Add(L"C:\\Users\\me\\Temp\\\u00C4.log");
    info.Add(L"C:\\Users\\me\\Temp\\\u00E4.log"); // differs beyond ASCII: a second entry
    EXPECT_EQ(info.Count(), 4u);
    EXPECT_EQ(Paths(info), (std::vector<std::wstring>{
                               L"C:\\Users\\me\\Temp\\Viewer.log", L"C:\\Users\\me\\Temp\\Editor.log",
                               L"C:\\Users\\me\\Temp\\\u00C4.log", L"C:\\Users\\me\\Temp\\\u00E4.log"}));
}

TEST_F(LogFilesModel, EntryDerivesFileNameAndFolder)
{
    LogFilesInfo info;
    info.Add(L"C:\\Users\\me\\AppData\\Local\\Temp\\VIEWER.log");
    info.Add(L"Editor.log");
    LogFilesInfo::LogFileEntry* e = info.First();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->FileName(), L"VIEWER.log");
    EXPECT_EQ(e->Folder(), L"C:\\Users\\me\\AppData\\Local\\Temp\\");
    EXPECT_FALSE(e->IsTemporary());
    e = info.Next();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->FileName(), L"Editor.log");
    EXPECT_EQ(e->Folder(), L"");
    EXPECT_EQ(info.Next(), nullptr);
}

// Each model has its own list: one collection's log files never show in another's.
TEST_F(LogFilesModel, EachModelOwnsItsListAndClearEmptiesIt)
{
    LogFilesInfo first;
    first.Add(L"C:\\Temp\\a.log");
    LogFilesInfo second;
    EXPECT_EQ(second.Count(), 0u);
    second.Add(L"C:\\TEMP\\A.LOG");
    EXPECT_EQ(first.Count(), 1u);
    EXPECT_EQ(second.Count(), 1u);
    first.Clear();
    EXPECT_EQ(first.Count(), 0u);
    EXPECT_EQ(first.First(), nullptr);
    EXPECT_EQ(second.Count(), 1u);
}

TEST_F(LogFilesModel, AddDuringIterationDoesNotMoveTheCursor)
{
    LogFilesInfo info;
    info.Add(L"C:\\Temp\\a.log");
    info.Add(L"C:\\Temp\\b.log");
    ASSERT_NE(info.First(), nullptr);
    info.Add(L"C:\\Temp\\A.log"); // the duplicate check walks the list itself
    LogFilesInfo::LogFileEntry* e = info.Next();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->Path(), L"C:\\Temp\\b.log");
}

class LogFilesOnDisk : public OrvoTest::TempDirTest
{
  protected:
    void SetUp() override { OrvoTest::TempDirTest::SetUp(); }
    void TearDown() override { OrvoTest::TempDirTest::TearDown(); }
};

TEST_F(LogFilesOnDisk, ProductLogsStayOnlyStagedFilesAreReleased)
{
    Misc::TmpFileManager holder; // the shared manager, staging in this test's folder
    Misc::AFileManager* shared = Misc::TmpFileManager::Shared();
    ASSERT_NE(shared, nullptr);
    const std::wstring staged = shared->Register(L"staged.log");
    ASSERT_FALSE(staged.empty());
    ASSERT_TRUE(OrvoTest::WriteBytes(staged, "staged"));
    const std::wstring product = PathOf(L"Viewer.log");
    ASSERT_TRUE(OrvoTest::WriteBytes(product, "product"));

    {
        LogFilesInfo info;
        info.Add(product);
        info.Clear();
        LogFilesInfo::LogFileEntry kept(product, false);
        LogFilesInfo::LogFileEntry released(staged, true);
        EXPECT_TRUE(released.IsTemporary());
    }
    EXPECT_TRUE(OrvoTest::Exists(product));
    EXPECT_FALSE(OrvoTest::Exists(staged));
    EXPECT_EQ(shared->RegisteredCount(), 0u);
}

TEST_F(LogFilesOnDisk, TemporaryEntryWithoutSharedManagerLeavesTheFile)
{
    ASSERT_EQ(Misc::TmpFileManager::Shared(), nullptr);
    const std::wstring path = PathOf(L"orphan.log");
    ASSERT_TRUE(OrvoTest::WriteBytes(path, "x"));
    {
        LogFilesInfo::LogFileEntry entry(path, true);
    }
    EXPECT_TRUE(OrvoTest::Exists(path));
}

} // namespace
