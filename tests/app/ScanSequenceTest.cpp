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

const char* StepName(CollectionStep step)
{
    switch (step)
    {
    case CollectionStep::System:
        return "system";
    case CollectionStep::InstalledFiles:
        return "files";
    case CollectionStep::LogFiles:
        return "logs";
    case CollectionStep::OtherFiles:
        return "other";
    }
    return "?";
}

// A collection whose steps each "find" one item per scan, so that anything surviving
// from an earlier scan shows as a second item; its other-files step stages one export
// per scan in its own manager, as the registry export does.
class FakeCollection : public ICollectionScan
{
  public:
    explicit FakeCollection(IStatusInfo* expectedStatus) : m_expected(expectedStatus) {}
    ~FakeCollection() { manager->ReleaseRef(); }
    void Clear() override
    {
        Record("collection clear");
        found.clear();
        entries.clear();
        manager->ReleaseAll();
        if (Misc::AFileManager* shared = Misc::TmpFileManager::Shared())
            shared->ReleaseAll();
    }
    void ScanStep(CollectionStep step, IStatusInfo* status) override
    {
        Record(std::string(StepName(step)) + " scan");
        EXPECT_EQ(status, m_expected) << StepName(step) << " gets the window as its sink";
        if (step == CollectionStep::System && status)
            status->ShowActivity(L"SCANNING SYSTEM ...");
        found.push_back(StepName(step));
        if (step == CollectionStep::OtherFiles)
        {
            const std::wstring path = manager->Register(L"LM_Orvo_32.reg");
            EXPECT_FALSE(path.empty()) << "the previous scan's export was not released";
            if (!path.empty() && OrvoTest::WriteBytes(path, "REGEDIT4\r\n"))
                entries.push_back(path);
        }
        if (onScan)
            onScan(step);
    }
    std::vector<std::string> found;
    std::vector<std::wstring> entries;
    std::function<void(CollectionStep)> onScan;
    Misc::AFileManager* manager = new Misc::AFileManager();

  private:
    IStatusInfo* m_expected;
};

// The pages: each shows what its step found.
class FakeViews : public ICollectionViews
{
  public:
    explicit FakeViews(const FakeCollection& collection) : m_collection(collection) {}
    void ClearViews() override
    {
        Record("views clear");
        shown.clear();
    }
    void ShowStep(CollectionStep step) override
    {
        Record(std::string(StepName(step)) + " show");
        shown = m_collection.found;
    }
    std::vector<std::string> shown;

  private:
    const FakeCollection& m_collection;
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
        targets.collection = &collection;
        targets.views = &views;
    }
    void TearDown() override
    {
        SetWaitCursor(m_previousCursor);
        SetPaintPause(m_previousPause);
        holder.reset();
        collection.manager->ReleaseAll();
        EXPECT_EQ(cursor.depth, 0) << "the wait cursor is left on";
        TempDirTest::TearDown();
    }

    StatusDialog dialog;
    RecordingCursor cursor;
    std::unique_ptr<Misc::TmpFileManager> holder;
    FakeCollection collection{&dialog};
    FakeViews views{collection};
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
        "views clear",
        "collection clear",
        "cursor off",
        "pause 500",
        // the collection's steps, each shown as it ends
        "cursor on",
        "system scan",
        Wrote(IDC_STATUS, "<<< SCANNING SYSTEM ... >>>"),
        Wrote(IDC_SPINNER, "[  *      ]"),
        "system show",
        "cursor restored",
        "files scan",
        "files show",
        "cursor restored",
        "logs scan",
        "logs show",
        "cursor restored",
        "other scan",
        "other show",
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
    EXPECT_EQ(views.shown, (std::vector<std::string>{"system", "files", "logs", "other"}));
    for (int id : {IDC_TAB_STRIP, IDC_SCAN, IDC_SAVE, IDCANCEL})
        EXPECT_TRUE(dialog.IsEnabled(id)) << id;
}

TEST_F(ScanSequenceTest, ControlsAreDisabledWhileTheCollectorsRun)
{
    bool checked = false;
    collection.onScan = [&](CollectionStep)
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
    ASSERT_EQ(collection.entries.size(), 1u);
    const std::wstring firstExport = collection.entries[0];
    EXPECT_TRUE(OrvoTest::Exists(firstExport));
    EXPECT_FALSE(OrvoTest::Exists(staged));

    ASSERT_TRUE(ScanSequence(targets));
    const std::vector<std::string> once = {"system", "files", "logs", "other"};
    EXPECT_EQ(collection.found, once);
    EXPECT_EQ(views.shown, once);
    ASSERT_EQ(collection.entries.size(), 1u) << "the second export was staged afresh";
    EXPECT_TRUE(OrvoTest::Exists(collection.entries[0]));
    EXPECT_EQ(std::regex_match(Wrote(IDC_STATUS, OrvoTest::Narrow(dialog.Text(IDC_STATUS))), kScannedAt),
              true);
}

// The one case that waits for the real pauses.
TEST_F(ScanSequenceTest, TheThreePausesAreThere)
{
    SetPaintPause(nullptr);
    ScanTargets bare; // instant: no collection at all
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
    collection.onScan = [&](CollectionStep step)
    {
        if (step == CollectionStep::System)
            ::PostMessageW(dialog.Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_SCAN, BN_CLICKED), 0);
    };
    ::PostMessageW(dialog.Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_SCAN, BN_CLICKED), 0);
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        ::DispatchMessageW(&msg);
    EXPECT_EQ(started, 2);
    EXPECT_EQ(refused, 1);
    EXPECT_EQ(collection.found.size(), 4u);
    EXPECT_TRUE(std::regex_match(Wrote(IDC_STATUS, OrvoTest::Narrow(dialog.Text(IDC_STATUS))), kScannedAt));
}

// The pages let go of the collection before it is emptied.
TEST_F(ScanSequenceTest, ClearAllClearsTheViewsBeforeTheCollection)
{
    ClearAll(targets);
    const std::vector<std::string> expected = {
        "cursor on",   Wrote(IDC_STATUS, ""), Wrote(IDC_SPINNER, " "),
        "views clear", "collection clear",    "cursor off",
    };
    EXPECT_EQ(Events(), expected);
    EXPECT_EQ(dialog.Text(IDC_STATUS), L"");
    EXPECT_EQ(dialog.Text(IDC_SPINNER), L" ");
    EXPECT_EQ(cursor.depth, 0);
}

} // namespace
