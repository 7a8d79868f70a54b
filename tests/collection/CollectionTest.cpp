#include "collection/Collection.h"

#include "misc/Handles.h"
#include "TestSupport.h"
#include "ZipReader.h"

#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace
{

using OrvoTest::Exists;
using OrvoTest::Narrow;
using FolderContent = ApplicationsInfo::FolderContent;

class RecordingStatus : public IStatusInfo
{
  public:
    void ShowActivity(const wchar_t* text) override { texts.push_back("<<< " + Narrow(text) + " >>>"); }
    void SetStatus(const wchar_t* text) override { texts.push_back(Narrow(text)); }
    void Tick(bool) override {}
    std::vector<std::string> texts;
};

BOOL CALLBACK CountWindow(HWND, LPARAM count)
{
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

// Windows of this thread, top-level ones included (hidden or not).
int ThreadWindows()
{
    int count = 0;
    ::EnumThreadWindows(::GetCurrentThreadId(), &CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

class CollectionTest : public OrvoTest::TempDirTest
{
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        m_com = std::make_unique<Misc::ComScope>(COINIT_APARTMENTTHREADED);
        ASSERT_TRUE(m_com->Started());
        collection = std::make_unique<Collection>(); // stages in this test's folder
    }
    void TearDown() override
    {
        collection.reset();
        EXPECT_TRUE(StagingFolders().empty()) << "the collection's end leaves no staging folder";
        m_com.reset();
        TempDirTest::TearDown();
    }
    std::vector<std::wstring> StagingFolders() const
    {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW entry{};
        Misc::FindHandle find(::FindFirstFileW(PathOf(L"tmp_Orvo_*").c_str(), &entry));
        if (find)
            do
                names.push_back(entry.cFileName);
            while (::FindNextFileW(find.Get(), &entry));
        return names;
    }
    // An export staged by the other-files collector's own manager, as the registry
    // export stages it.
    std::wstring StageOtherFile(const wchar_t* name, const std::string& bytes)
    {
        Misc::AFileManager* manager = collection->OtherFiles().FileManager();
        const std::wstring path = manager->Register(name);
        EXPECT_TRUE(OrvoTest::WriteBytes(path, bytes));
        collection->OtherFiles().Add(std::make_unique<OtherFilesInfo::FileEntry>(path, manager));
        return path;
    }

    std::unique_ptr<Collection> collection;

  private:
    std::unique_ptr<Misc::ComScope> m_com;
};

const std::regex kScannedAt("Scanned at [0-2][0-9]:[0-5][0-9]:[0-5][0-9]");
const std::regex kSavedAt("Saved at [0-2][0-9]:[0-5][0-9]:[0-5][0-9]");

// The same texts as the window's scan, in its order, and the same for a second scan:
// it starts from empty models. No window is made on the way.
TEST_F(CollectionTest, AScanRunsEveryStepInOrderWithoutAWindow)
{
    const int windowsBefore = ThreadWindows();
    for (int scan = 0; scan < 2; ++scan)
    {
        RecordingStatus status;
        collection->Scan(&status);
        ASSERT_EQ(status.texts.size(), 9u) << scan;
        const std::vector<std::string> expected = {
            "<<< SCANNING ... >>>",          "",
            "<<< SCANNING SYSTEM ... >>>",   "<<< SCANNING ADAPTERS ... >>>",
            "<<< SCANNING FILES ... >>>",    "<<< SCANNING LOG FILES ... >>>",
            "<<< SCANNING REGISTRY ... >>>", "<<< SCANNING DRIVERS ... >>>",
        };
        EXPECT_EQ(std::vector<std::string>(status.texts.begin(), status.texts.end() - 1), expected) << scan;
        EXPECT_TRUE(std::regex_match(status.texts.back(), kScannedAt)) << status.texts.back();
        EXPECT_TRUE(collection->System().Os().scanned);
        std::vector<std::wstring> own;
        collection->InstalledFiles().Root().Folders().ForEach(
            [&](const FolderContent& f)
            {
                if (f.Name() == L"Orvo Diag")
                    own.push_back(f.Name());
            });
        EXPECT_EQ(own.size(), 1u) << "the program's own folder, once: " << scan;
    }
    EXPECT_EQ(ThreadWindows(), windowsBefore);
}

// What the viewer does: models filled from elsewhere are saved like a scan's, the log
// and other files before the report, the sections in their order.
TEST_F(CollectionTest, ACollectionFilledByHandIsSavedLikeAScan)
{
    const std::wstring log = PathOf(L"Viewer.log");
    ASSERT_TRUE(OrvoTest::WriteBytes(log, "log line\r\n"));
    collection->LogFiles().Add(log);
    const std::wstring exported = StageOtherFile(L"CU_Orvo.reg", "REGEDIT4\r\n");
    FolderContent* top = collection->InstalledFiles().Root().AddFolder(
        std::make_unique<FolderContent>(Dir(), L"", L"Velmora 6 Pro [64]", 6u, false));
    ASSERT_NE(FolderContent::RecordFile(top, Dir(), L"", L"Viewer.log"), nullptr);

    for (const wchar_t* name : {L"first.zip", L"second.zip"})
    {
        RecordingStatus status;
        const std::wstring archive = PathOf(name);
        ASSERT_EQ(collection->Save(archive, &status), SaveOutcome::Saved);
        ASSERT_EQ(status.texts.size(), 2u);
        EXPECT_EQ(status.texts[0], "<<< SAVING DATA ... >>>");
        EXPECT_TRUE(std::regex_match(status.texts[1], kSavedAt)) << status.texts[1];

        bool ok = false;
        const std::vector<OrvoTest::ZipEntry> entries = OrvoTest::ReadZip(archive, &ok);
        ASSERT_TRUE(ok);
        ASSERT_EQ(entries.size(), 3u);
        EXPECT_EQ(entries[0].name, "Viewer.log");
        EXPECT_EQ(entries[1].name, "CU_Orvo.reg");
        EXPECT_EQ(entries[2].name, "OrvoDiag.xml");
        const std::string& report = entries[2].data;
        std::size_t at = 0;
        for (const char* section : {"<System", "<Applications", "<LogFiles", "<OtherFiles"})
        {
            const std::size_t found = report.find(section, at);
            ASSERT_NE(found, std::string::npos) << section << " in order in " << report;
            at = found;
        }
        EXPECT_NE(report.find("Name=\"Velmora 6 Pro [64]\""), std::string::npos) << report;
        EXPECT_EQ(StagingFolders().size(), 1u) << "only the other files' folder stays, for the next save";
        EXPECT_TRUE(Exists(exported));
    }
}

TEST_F(CollectionTest, ClearEmptiesEveryModelAndBothStagingFolders)
{
    collection->LogFiles().Add(PathOf(L"Viewer.log"));
    collection->InstalledFiles().DriverFileList().Add(
        std::make_unique<ApplicationsInfo::FileInfo>(PathOf(L"TarvikUSB.dll"), L"TarvikUSB.dll"));
    collection->InstalledFiles().Root().AddFolder(
        std::make_unique<FolderContent>(Dir(), L"", L"Orvo Diag", 14u, false));
    collection->System().Os().scanned = true;
    const std::wstring exported = StageOtherFile(L"LM_Orvo_64.reg", "x");
    const std::wstring staged = Misc::TmpFileManager::Shared()->Register(kReportName);
    ASSERT_TRUE(OrvoTest::WriteBytes(staged, "<Root/>"));
    ASSERT_EQ(StagingFolders().size(), 2u);

    collection->Clear();
    EXPECT_EQ(collection->LogFiles().Count(), 0u);
    EXPECT_TRUE(collection->InstalledFiles().DriverFileList().IsEmpty());
    EXPECT_TRUE(collection->InstalledFiles().Root().Folders().IsEmpty());
    EXPECT_FALSE(collection->System().Os().scanned);
    EXPECT_EQ(collection->OtherFiles().Count(), 0u);
    EXPECT_FALSE(Exists(exported));
    EXPECT_FALSE(Exists(staged));
    EXPECT_TRUE(StagingFolders().empty());
}

} // namespace
