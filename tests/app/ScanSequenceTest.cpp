#include "app/ScanSequence.h"
#include "app/SequenceGuard.h"

#include "app/WaitCursor.h"
#include "report/TmpFileManager.h"
#include "resource.h"
#include "TestDialog.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <string>
#include <vector>

namespace
{

using AppTest::Events;
using AppTest::Record;
using AppTest::StatusDialog;

class RecordingCursor : public IWaitCursor
{
  public:
    void Begin() override
    {
        ++depth;
        Record("cursor on");
    }
    void Restore() override { Record("cursor restored"); }
    void End() override
    {
        --depth;
        Record("cursor off");
    }
    int depth = 0;
};

// A page or model that "finds" one item per scan, so that anything surviving from an
// earlier scan shows as a second item.
class FakePage : public ICollector
{
  public:
    FakePage(const char* name, IStatusInfo* expectedStatus, const wchar_t* activity = nullptr)
        : m_name(name), m_expected(expectedStatus), m_activity(activity)
    {
    }
    void Clear() override
    {
        Record(m_name + " clear");
        found.clear();
    }
    void Scan(IStatusInfo* status) override
    {
        Record(m_name + " scan");
        EXPECT_EQ(status, m_expected) << m_name << " gets the window as its sink";
        if (status && m_activity)
            status->ShowActivity(m_activity);
        found.push_back(m_name);
        if (onScan)
            onScan();
    }
    std::vector<std::string> found;
    std::function<void()> onScan;

  private:
    std::string m_name;
    IStatusInfo* m_expected;
    const wchar_t* m_activity;
};

class FakeFilesPage : public IFilesPageScan
{
  public:
    explicit FakeFilesPage(IStatusInfo* expectedStatus) : m_expected(expectedStatus) {}
    void Clear() override
    {
        Record("files clear");
        model.clear();
    }
    void DeleteTreeItems() override
    {
        Record("files delete tree items");
        tree.clear();
    }
    void ClearPainterItems() override { Record("files clear painter items"); }
    void ScanInstalledFiles(IStatusInfo* status) override
    {
        Record("files scan installed files");
        EXPECT_EQ(status, m_expected);
        model.push_back("Viewer.exe");
    }
    void SetPainterNeedsFill(bool needsFill) override
    {
        Record(std::string("files needs fill ") + (needsFill ? "true" : "false"));
    }
    void FillTree() override
    {
        Record("files fill tree");
        tree = model;
    }
    std::vector<std::string> model, tree;

  private:
    IStatusInfo* m_expected;
};

// Stages one export per scan in its own manager, as the registry export does.
class FakeOtherFiles : public IOtherFilesScan
{
  public:
    explicit FakeOtherFiles(IStatusInfo* expectedStatus) : m_expected(expectedStatus) {}
    ~FakeOtherFiles() { manager->ReleaseRef(); }
    void ClearEntries() override
    {
        Record("other clear entries");
        entries.clear();
    }
    void ReleaseStagedFiles() override
    {
        Record("other release staged files");
        manager->ReleaseAll();
    }
    void Scan(IStatusInfo* status) override
    {
        Record("other scan");
        EXPECT_EQ(status, m_expected);
        const std::wstring path = manager->Register(L"LM_Orvo_32.reg");
        EXPECT_FALSE(path.empty()) << "the previous scan's export was not released";
        if (!path.empty() && OrvoTest::WriteBytes(path, "REGEDIT4\r\n"))
            entries.push_back(path);
    }
    Misc::AFileManager* manager = new Misc::AFileManager();
    std::vector<std::wstring> entries;

  private:
    IStatusInfo* m_expected;
};

// The pauses are recorded in their place among the other events instead of slept.
void RecordPause(DWORD milliseconds)
{
    Record("pause " + std::to_string(milliseconds));
}

class ScanSequenceTest : public OrvoTest::TempDirTest
{
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        ASSERT_NE(dialog.Hwnd(), nullptr);
        m_previousPause = SetPaintPause(&RecordPause);
        m_previousCursor = SetWaitCursor(&cursor);
        holder = std::make_unique<Misc::TmpFileManager>();
        Events().clear();
        targets.window = dialog.Hwnd();
        targets.status = &dialog;
        targets.systemPage = &system;
        targets.filesPage = &files;
        targets.logFilesPage = &logs;
        targets.otherFiles = &other;
    }
    void TearDown() override
    {
        SetWaitCursor(m_previousCursor);
        SetPaintPause(m_previousPause);
        holder.reset();
        other.manager->ReleaseAll();
        EXPECT_EQ(cursor.depth, 0) << "the wait cursor is left on";
        TempDirTest::TearDown();
    }

    StatusDialog dialog;
    RecordingCursor cursor;
    std::unique_ptr<Misc::TmpFileManager> holder;
    FakePage system{"system", &dialog, L"SCANNING SYSTEM ..."};
    FakeFilesPage files{&dialog};
    FakePage logs{"logs", &dialog};
    FakeOtherFiles other{&dialog};
    ScanTargets targets;

  private:
    IWaitCursor* m_previousCursor = nullptr;
    PaintPause m_previousPause = nullptr;
};

// A text the status sink wrote into a control, and a control switched on or off, as
// the test dialog records them.
std::string Wrote(int id, const std::string& text)
{
    return std::to_string(id) + "=" + text;
}
std::string Switched(const char* how, int id)
{
    return std::string(how) + " " + std::to_string(id);
}

const std::regex kScannedAt(Wrote(IDC_STATUS, "Scanned at [0-2][0-9]:[0-5][0-9]:[0-5][0-9]"));

TEST_F(ScanSequenceTest, ClearsAndRunsTheCollectorsInOrder)
{
    ASSERT_TRUE(ScanSequence(targets));

    std::vector<std::string> events = Events();
    ASSERT_FALSE(events.empty());
    auto scanned = std::find_if(events.begin(), events.end(),
                                [](const std::string& e) { return std::regex_match(e, kScannedAt); });
    ASSERT_NE(scanned, events.end());
    *scanned = Wrote(IDC_STATUS, "Scanned at <time>");

    const std::vector<std::string> expected = {
        Wrote(IDC_STATUS, "<<< SCANNING ... >>>"),
        Wrote(IDC_SPINNER, "[ *       ]"),
        Switched("disable", IDC_TAB_STRIP),
        Switched("disable", IDC_SCAN),
        Switched("disable", IDC_SAVE),
        Switched("disable", IDCANCEL),
        "pause 500",
        // ClearAll
        "cursor on",
        Wrote(IDC_STATUS, ""),
        Wrote(IDC_SPINNER, " "),
        "system clear",
        "files clear",
        "logs clear",
        "other clear entries",
        "other release staged files",
        "cursor off",
        "pause 500",
        // the collectors
        "cursor on",
        "system scan",
        Wrote(IDC_STATUS, "<<< SCANNING SYSTEM ... >>>"),
        Wrote(IDC_SPINNER, "[  *      ]"),
        "cursor restored",
        "files delete tree items",
        "files clear painter items",
        "files scan installed files",
        "files needs fill true",
        "files fill tree",
        "cursor restored",
        "logs scan",
        "cursor restored",
        "other scan",
        "cursor restored",
        Wrote(IDC_STATUS, "Scanned at <time>"),
        Wrote(IDC_SPINNER, " "),
        Switched("enable", IDC_TAB_STRIP),
        Switched("enable", IDC_SCAN),
        Switched("enable", IDC_SAVE),
        Switched("enable", IDCANCEL),
        "pause 500",
        "cursor off",
    };
    EXPECT_EQ(events, expected);
    EXPECT_EQ(files.tree, std::vector<std::string>{"Viewer.exe"});
    for (int id : {IDC_TAB_STRIP, IDC_SCAN, IDC_SAVE, IDCANCEL})
        EXPECT_TRUE(dialog.IsEnabled(id)) << id;
}

TEST_F(ScanSequenceTest, ControlsAreDisabledWhileTheCollectorsRun)
{
    bool checked = false;
    logs.onScan = [&]
    {
        for (int id : {IDC_TAB_STRIP, IDC_SCAN, IDC_SAVE, IDCANCEL})
            EXPECT_FALSE(dialog.IsEnabled(id)) << id;
        EXPECT_TRUE(SequenceGuard::Running());
        checked = true;
    };
    ASSERT_TRUE(ScanSequence(targets));
    EXPECT_TRUE(checked);
    EXPECT_FALSE(SequenceGuard::Running());
}

TEST_F(ScanSequenceTest, ASecondScanStartsFromEmptyCollectors)
{
    // Leftovers of an earlier save in the shared manager go as well.
    const std::wstring staged = Misc::TmpFileManager::Shared()->Register(L"OrvoDiag.xml");
    ASSERT_TRUE(OrvoTest::WriteBytes(staged, "<Root/>"));

    ASSERT_TRUE(ScanSequence(targets));
    ASSERT_EQ(other.entries.size(), 1u);
    const std::wstring firstExport = other.entries[0];
    EXPECT_TRUE(OrvoTest::Exists(firstExport));
    EXPECT_FALSE(OrvoTest::Exists(staged));

    ASSERT_TRUE(ScanSequence(targets));
    EXPECT_EQ(system.found, std::vector<std::string>{"system"});
    EXPECT_EQ(logs.found, std::vector<std::string>{"logs"});
    EXPECT_EQ(files.model, std::vector<std::string>{"Viewer.exe"});
    EXPECT_EQ(files.tree, std::vector<std::string>{"Viewer.exe"});
    ASSERT_EQ(other.entries.size(), 1u) << "the second export was staged afresh";
    EXPECT_TRUE(OrvoTest::Exists(other.entries[0]));
    EXPECT_EQ(std::regex_match(Wrote(IDC_STATUS, OrvoTest::Narrow(dialog.Text(IDC_STATUS))), kScannedAt),
              true);
}

// The one case that waits for the real pauses.
TEST_F(ScanSequenceTest, TheThreePausesAreThere)
{
    SetPaintPause(nullptr);
    ScanTargets bare; // instant: no collectors at all
    bare.window = dialog.Hwnd();
    bare.status = &dialog;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(ScanSequence(bare));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 1500);
    EXPECT_TRUE(std::regex_match(Wrote(IDC_STATUS, OrvoTest::Narrow(dialog.Text(IDC_STATUS))), kScannedAt));
}

TEST_F(ScanSequenceTest, RunsOnThePostedScanCommandAndRefusesToNest)
{
    // The window posts Scan to itself; a second Scan that arrives while the first one
    // dispatches messages is refused, not run inside it.
    int started = 0, refused = 0;
    dialog.onScanCommand = [&]
    {
        ++started;
        if (!ScanSequence(targets))
            ++refused;
    };
    system.onScan = [&] { ::PostMessageW(dialog.Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_SCAN, BN_CLICKED), 0); };
    ::PostMessageW(dialog.Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_SCAN, BN_CLICKED), 0);
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        ::DispatchMessageW(&msg);
    EXPECT_EQ(started, 2);
    EXPECT_EQ(refused, 1);
    EXPECT_EQ(system.found.size(), 1u);
    EXPECT_TRUE(std::regex_match(Wrote(IDC_STATUS, OrvoTest::Narrow(dialog.Text(IDC_STATUS))), kScannedAt));
}

TEST_F(ScanSequenceTest, ClearAllReleasesBothManagers)
{
    const std::wstring exported = other.manager->Register(L"LM_Orvo_64.reg");
    const std::wstring staged = Misc::TmpFileManager::Shared()->Register(L"OrvoDiag.xml");
    ASSERT_TRUE(OrvoTest::WriteBytes(exported, "x"));
    ASSERT_TRUE(OrvoTest::WriteBytes(staged, "x"));
    const std::wstring otherFolder = other.manager->FolderPath();

    ClearAll(targets);
    EXPECT_FALSE(OrvoTest::Exists(exported));
    EXPECT_FALSE(OrvoTest::Exists(staged));
    EXPECT_FALSE(OrvoTest::Exists(otherFolder));
    EXPECT_EQ(dialog.Text(IDC_STATUS), L"");
    EXPECT_EQ(dialog.Text(IDC_SPINNER), L" ");
    EXPECT_EQ(cursor.depth, 0);
}

} // namespace
