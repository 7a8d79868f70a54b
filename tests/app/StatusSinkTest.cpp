#include "app/StatusSink.h"

#include "app/PumpMessages.h"

#include "resource.h"
#include "TestDialog.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

using AppTest::StatusDialog;
using OrvoTest::Narrow;

// Where the star of each frame stands: right along the nine cells and back.
int StarCell(int frame)
{
    return frame <= 8 ? frame : 16 - frame;
}

TEST(SpinnerFrames, RunRightAndBack)
{
    for (int frame = 0; frame < kSpinnerFrameCount; ++frame)
    {
        const std::wstring text = SpinnerFrames[frame];
        ASSERT_EQ(text.size(), 11u) << frame;
        EXPECT_EQ(text.front(), L'[');
        EXPECT_EQ(text.back(), L']');
        std::wstring expected(9, L' ');
        expected[static_cast<std::size_t>(StarCell(frame))] = L'*';
        EXPECT_EQ(text.substr(1, 9), expected) << frame;
    }
}

TEST(AdvanceSpinner, FollowsTheRuleFromEveryState)
{
    for (int position = 0; position < kSpinnerPositions; ++position)
        for (int shown = 0; shown < kSpinnerFrameCount; ++shown)
            for (bool big : {false, true})
            {
                SpinnerState state{static_cast<std::uint8_t>(position), static_cast<std::uint8_t>(shown)};
                const int written = AdvanceSpinner(state, big);
                const int expectedPosition = (position + (big ? 5 : 1)) % 80;
                const int expectedFrame = expectedPosition / 5;
                ASSERT_EQ(state.position, expectedPosition);
                ASSERT_EQ(state.shownFrame, expectedFrame);
                ASSERT_EQ(written, expectedFrame == shown ? -1 : expectedFrame)
                    << "position " << position << " shown " << shown << " big " << big;
            }
}

TEST(AdvanceSpinner, EightySmallTicksAreOneRoundWithSixteenWrites)
{
    SpinnerState state;
    std::vector<int> writes;
    for (int i = 0; i < 80; ++i)
        if (int frame = AdvanceSpinner(state, false); frame >= 0)
            writes.push_back(frame);
    std::vector<int> expected;
    for (int frame = 1; frame < 16; ++frame)
        expected.push_back(frame);
    expected.push_back(0);
    EXPECT_EQ(writes, expected);
    EXPECT_EQ(state.position, 0);
}

class StatusSinkTest : public ::testing::Test
{
  protected:
    StatusDialog dialog;

    void SetUp() override { ASSERT_NE(dialog.Hwnd(), nullptr); }
    std::vector<std::wstring> SpinnerWrites() const { return dialog.Writes(IDC_SPINNER); }
};

TEST_F(StatusSinkTest, WritesTheSpinnerOnlyWhenTheFrameChanges)
{
    for (int i = 0; i < 4; ++i)
        dialog.Tick(false);
    EXPECT_TRUE(SpinnerWrites().empty()) << "four small ticks stay in frame 0";
    dialog.Tick(false);
    ASSERT_EQ(SpinnerWrites().size(), 1u);
    EXPECT_EQ(SpinnerWrites().back(), L"[ *       ]");
    EXPECT_EQ(dialog.Text(IDC_SPINNER), L"[ *       ]");
    EXPECT_EQ(dialog.Spinner().position, 5);
}

TEST_F(StatusSinkTest, ShowActivityFramesTheTextAndTicksBig)
{
    dialog.ShowActivity(L"SCANNING SYSTEM ...");
    EXPECT_EQ(dialog.Text(IDC_STATUS), L"<<< SCANNING SYSTEM ... >>>");
    EXPECT_EQ(dialog.Spinner().position, 5);
    EXPECT_EQ(SpinnerWrites(), std::vector<std::wstring>{L"[ *       ]"});

    dialog.ShowActivity(nullptr);
    EXPECT_EQ(dialog.Text(IDC_STATUS), L"<<<  >>>");
    EXPECT_EQ(dialog.Spinner().position, 10);
}

TEST_F(StatusSinkTest, BigTickFromTheLastPositionWrapsToFrameZero)
{
    for (int i = 0; i < 79; ++i)
        dialog.Tick(false);
    ASSERT_EQ(dialog.Spinner().position, 79);
    ASSERT_EQ(dialog.Text(IDC_SPINNER), L"[ *       ]"); // frame 15
    dialog.Tick(true);
    EXPECT_EQ(dialog.Spinner().position, 4);
    EXPECT_EQ(dialog.Text(IDC_SPINNER), L"[*        ]");
    EXPECT_EQ(SpinnerWrites().size(), 16u);
}

TEST_F(StatusSinkTest, SetStatusBlanksTheSpinnerButKeepsItsPosition)
{
    for (int i = 0; i < 7; ++i)
        dialog.Tick(false);
    dialog.SetStatus(L"Scanned at 14:05:09");
    EXPECT_EQ(dialog.Text(IDC_STATUS), L"Scanned at 14:05:09");
    EXPECT_EQ(dialog.Text(IDC_SPINNER), L" ");
    EXPECT_EQ(dialog.Spinner().position, 7);
    EXPECT_EQ(dialog.Spinner().shownFrame, 1);

    dialog.Tick(true);
    EXPECT_EQ(dialog.Spinner().position, 12);
    EXPECT_EQ(dialog.Text(IDC_SPINNER), L"[  *      ]");

    dialog.SetStatus(nullptr);
    EXPECT_EQ(dialog.Text(IDC_STATUS), L"");
    dialog.SetStatus(L"");
    EXPECT_EQ(dialog.Writes(IDC_STATUS).size(), 3u);
}

TEST_F(StatusSinkTest, SetStatusDrainsTheQueue)
{
    ::PostMessageW(dialog.Hwnd(), WM_COMMAND, MAKEWPARAM(4711, BN_CLICKED), 0);
    ::PostMessageW(dialog.Hwnd(), WM_COMMAND, MAKEWPARAM(4712, BN_CLICKED), 0);
    dialog.SetStatus(L"x");
    EXPECT_EQ(dialog.commands, (std::vector<int>{4711, 4712}));
    MSG msg;
    EXPECT_FALSE(::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
}

TEST(TickDrainDue, OnlyOnceTheIntervalHasPassed)
{
    struct Case
    {
        unsigned long long now, last;
        bool due;
    };
    const Case cases[] = {{1000, 1000, false}, {1099, 1000, false}, {1100, 1000, true},
                          {5000, 1000, true},  {99, 0, false},      {100, 0, true}};
    for (const Case& c : cases)
        EXPECT_EQ(TickDrainDue(c.now, c.last), c.due) << c.now << " after " << c.last;
}

// The clock is the test's: time, not the number of ticks, decides when a tick drains.
class ClockedDialog : public StatusDialog
{
  public:
    unsigned long long now = 1000;

  protected:
    unsigned long long Milliseconds() const override { return now; }
};

TEST(StatusSinkTick, DrainsTheQueueWhenTheIntervalHasPassedSinceTheLastDrain)
{
    ClockedDialog dialog;
    ASSERT_NE(dialog.Hwnd(), nullptr);
    dialog.SetStatus(L"x"); // drained at 1000
    ::PostMessageW(dialog.Hwnd(), WM_COMMAND, MAKEWPARAM(4711, BN_CLICKED), 0);
    for (int i = 0; i < 500; ++i)
        dialog.Tick(false);
    dialog.now = 1099;
    dialog.Tick(true);
    EXPECT_TRUE(dialog.commands.empty()) << "ticks within the interval leave the queue alone";

    dialog.now = 1100;
    dialog.Tick(false);
    EXPECT_EQ(dialog.commands, (std::vector<int>{4711}));

    ::PostMessageW(dialog.Hwnd(), WM_COMMAND, MAKEWPARAM(4712, BN_CLICKED), 0);
    dialog.now = 1150;
    dialog.Tick(false);
    EXPECT_EQ(dialog.commands.size(), 1u) << "the interval counts from the last drain";
    dialog.now = 1200;
    dialog.Tick(false);
    EXPECT_EQ(dialog.commands, (std::vector<int>{4711, 4712}));
}

// A sink used before its window exists, or after it is gone, writes nothing and
// does not fail.
class DetachedSink : public StatusSink
{
  protected:
    HWND StatusWindow() const override { return nullptr; }
};

TEST(StatusSink, WithoutAWindowOnlyCounts)
{
    DetachedSink sink;
    sink.ShowActivity(L"SCANNING ...");
    sink.SetStatus(L"x");
    sink.Tick(false);
    EXPECT_EQ(sink.Spinner().position, 6);
}

TEST(PumpMessages, DispatchesEverythingAndKeepsTheQuitRequest)
{
    StatusDialog dialog;
    ASSERT_NE(dialog.Hwnd(), nullptr);
    ::PostMessageW(dialog.Hwnd(), WM_COMMAND, MAKEWPARAM(1, BN_CLICKED), 0);
    ::PostQuitMessage(7);
    ::PostMessageW(dialog.Hwnd(), WM_COMMAND, MAKEWPARAM(3, BN_CLICKED), 0);
    PumpMessages();
    EXPECT_EQ(dialog.commands, (std::vector<int>{1, 3})) << "the loop goes on after the quit request";

    // The quit request is posted again for the modal loop, once.
    MSG msg{};
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 7u);
    // Whatever the system queues meanwhile (a paint, a message of Wine's own) may follow;
    // a second quit request may not.
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        EXPECT_NE(msg.message, static_cast<UINT>(WM_QUIT)) << "the quit request was posted twice";
}

TEST(PumpMessages, LetsTheDialogManagerHandleKeys)
{
    StatusDialog dialog;
    ASSERT_NE(dialog.Hwnd(), nullptr);
    HWND scan = ::GetDlgItem(dialog.Hwnd(), IDC_SCAN);
    ::PostMessageW(scan, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PumpMessages();
    ASSERT_FALSE(dialog.commands.empty()) << "Escape reaches the dialog as its cancel command";
    EXPECT_EQ(dialog.commands.front(), IDCANCEL);
}

} // namespace
