#include "TestDialogs.h"
#include "UiTestSupport.h"

#include "ui/SizeDialog.h"

#include <gtest/gtest.h>

using UI::RelativeLayout;

namespace
{

struct PlaceCase
{
    const char* name;
    double moveX, moveY, growX, growY;
    int gx, gy;
    RECT expected; // from the initial rectangle 10, 20, 110, 70
};

TEST(RelativeLayoutPlace, MovesAndGrowsByTruncatedShares)
{
    const PlaceCase cases[] = {
        {"corner rule moves by the whole growth", 1, 1, 0, 0, 100, 50, {110, 70, 210, 120}},
        {"fill rule grows by the whole growth", 0, 0, 1, 1, 100, 50, {10, 20, 210, 120}},
        {"a fifth of the growth to the right", 0.2, 1, 0, 0, 100, 50, {30, 70, 130, 120}},
        {"bottom edge, widening by a fifth", 0, 1, 0.2, 0, 100, 50, {10, 70, 130, 120}},
        {"bottom edge, stretching", 0, 1, 1, 0, 100, 50, {10, 70, 210, 120}},
        {"7 x 0.2 is truncated to 1", 0.2, 0.2, 0.2, 0.2, 7, 7, {11, 21, 112, 72}},
        {"1.5 is truncated to 1", 0.5, 0.5, 0, 0, 3, 3, {11, 21, 111, 71}},
        {"negative fractions have no effect", -1, -0.5, -1, -2, 100, 50, {10, 20, 110, 70}},
        {"a smaller window lays out as initially", 1, 1, 1, 1, -40, -30, {10, 20, 110, 70}},
        {"no growth, no change", 1, 1, 1, 1, 0, 0, {10, 20, 110, 70}},
        {"width shrink, height growth", 1, 1, 1, 1, -5, 9, {10, 29, 110, 88}},
    };
    for (const auto& c : cases)
    {
        RelativeLayout::Item item;
        item.valid = true;
        item.initial = {10, 20, 110, 70};
        item.moveX = c.moveX;
        item.moveY = c.moveY;
        item.growX = c.growX;
        item.growY = c.growY;
        const RECT at = RelativeLayout::PlaceItem(item, c.gx, c.gy);
        EXPECT_EQ(at.left, c.expected.left) << c.name;
        EXPECT_EQ(at.top, c.expected.top) << c.name;
        EXPECT_EQ(at.right, c.expected.right) << c.name;
        EXPECT_EQ(at.bottom, c.expected.bottom) << c.name;
    }
}

TEST(RelativeLayoutPlace, ShareIsTruncatedTowardZero)
{
    EXPECT_EQ(RelativeLayout::Share(7, 0.2), 1);
    EXPECT_EQ(RelativeLayout::Share(9, 0.2), 1);
    EXPECT_EQ(RelativeLayout::Share(10, 0.2), 2);
    EXPECT_EQ(RelativeLayout::Share(100, 1), 100);
    EXPECT_EQ(RelativeLayout::Share(100, 0), 0);
    EXPECT_EQ(RelativeLayout::Share(100, -1), 0);
    EXPECT_EQ(RelativeLayout::Share(-7, 0.2), -1); // toward zero, not down
}

TEST(RelativeLayoutPlace, GrowthPairKeepsItsSigns)
{
    const int pairs[][2] = {{0, 0}, {10, 20}, {-1, 5}, {7, -300}, {-32768, 32767}};
    for (const auto& p : pairs)
    {
        const POINT back = UI::SizeDialog::UnpackGrowth(UI::SizeDialog::PackGrowth(p[0], p[1]));
        EXPECT_EQ(back.x, p[0]);
        EXPECT_EQ(back.y, p[1]);
    }
}

TEST(RelativeLayoutPlace, NothingHappensBeforeAttach)
{
    RelativeLayout layout;
    layout.AddItem(1, 1, 1, 0, 0);
    layout.OnSize(nullptr, SIZE_RESTORED, 100, 100);
    EXPECT_EQ(layout.RelayoutCount(), 0u);
    EXPECT_EQ(layout.CurrentSize().cx, -1);
    MINMAXINFO info = {};
    info.ptMinTrackSize = {5, 6};
    layout.OnGetMinMaxInfo(nullptr, &info); // no minimum yet: unchanged
    EXPECT_EQ(info.ptMinTrackSize.x, 5);
    EXPECT_EQ(info.ptMinTrackSize.y, 6);
}

// A resizable test dialog with the typical rules.
class LayoutDialog : public UI::SizeDialog
{
  public:
    LayoutDialog() : SizeDialog(IDD_TEST_LAYOUT, HWND(nullptr))
    {
        Layout()->AddItem(IDC_TEST_FILL, 0, 0, 1, 1);
        Layout()->AddItem(IDC_TEST_CORNER, 1, 1, 0, 0);
        Layout()->AddItem(IDC_TEST_FIFTH, 0.2, 1, 0, 0);
        Layout()->AddItem(IDC_TEST_BOTTOM, 0, 1, 1, 0);
        Layout()->AddItem(IDC_TEST_MISSING, 1, 1, 1, 1);
    }
};

class SizeDialogTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dialog.Create(nullptr));
        m_hwnd = m_dialog.GetHwnd();
        ::ShowWindow(m_hwnd, SW_SHOWNORMAL);
        UiTest::Pump(50);
        m_initial = UiTest::ClientSize(m_hwnd);
        for (int id : {IDC_TEST_FILL, IDC_TEST_CORNER, IDC_TEST_FIFTH, IDC_TEST_BOTTOM})
            m_start[id - IDC_TEST_FILL] = Rect(id);
    }

    RECT Rect(int id) const { return UiTest::ChildRect(::GetDlgItem(m_hwnd, id)); }
    const RECT& Start(int id) const { return m_start[id - IDC_TEST_FILL]; }
    void Resize(int dx, int dy)
    {
        UiTest::SetClientSize(m_hwnd, m_initial.cx + dx, m_initial.cy + dy);
        UiTest::Pump(20);
    }
    void ExpectMovedBy(int id, int left, int top, int grownX, int grownY)
    {
        const RECT now = Rect(id);
        const RECT& was = Start(id);
        EXPECT_EQ(now.left - was.left, left) << "control " << id;
        EXPECT_EQ(now.top - was.top, top) << "control " << id;
        EXPECT_EQ((now.right - now.left) - (was.right - was.left), grownX) << "control " << id;
        EXPECT_EQ((now.bottom - now.top) - (was.bottom - was.top), grownY) << "control " << id;
    }

    LayoutDialog m_dialog;
    HWND m_hwnd = nullptr;
    SIZE m_initial = {};
    RECT m_start[4] = {};
};

TEST_F(SizeDialogTest, AttachTakesTheTemplateArrangement)
{
    const RelativeLayout* layout = m_dialog.Layout();
    ASSERT_NE(layout, nullptr);
    ASSERT_EQ(layout->ItemCount(), 5u);
    EXPECT_TRUE(layout->ItemAt(0)->valid);
    EXPECT_FALSE(layout->ItemAt(4)->valid); // the template has no control 999
    EXPECT_EQ(layout->InitialSize().cx, m_initial.cx);
    EXPECT_EQ(layout->InitialSize().cy, m_initial.cy);
    RECT window = {};
    ::GetWindowRect(m_hwnd, &window);
    EXPECT_EQ(layout->MinTrackSize().cx, window.right - window.left);
    EXPECT_EQ(layout->MinTrackSize().cy, window.bottom - window.top);
}

TEST_F(SizeDialogTest, GrowingMovesAndStretchesByTheRules)
{
    Resize(100, 50);
    ExpectMovedBy(IDC_TEST_FILL, 0, 0, 100, 50);
    ExpectMovedBy(IDC_TEST_CORNER, 100, 50, 0, 0);
    ExpectMovedBy(IDC_TEST_FIFTH, 20, 50, 0, 0);
    ExpectMovedBy(IDC_TEST_BOTTOM, 0, 50, 100, 0);
    Resize(7, 7);
    ExpectMovedBy(IDC_TEST_FIFTH, 1, 7, 0, 0);
}

TEST_F(SizeDialogTest, ShrinkingBackRestoresTheInitialArrangement)
{
    Resize(60, 40);
    Resize(0, 0);
    for (int id : {IDC_TEST_FILL, IDC_TEST_CORNER, IDC_TEST_FIFTH, IDC_TEST_BOTTOM})
        ExpectMovedBy(id, 0, 0, 0, 0);
}

// A window without a sizing border can be made smaller than at Attach: the layout
// still never shrinks its controls below the initial arrangement.
TEST(RelativeLayoutWindow, SmallerThanInitialLaysOutAsInitially)
{
    HWND host = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 300, 200, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(host, nullptr);
    HWND button = ::CreateWindowExW(0, L"BUTTON", L"x", WS_CHILD | WS_VISIBLE, 200, 150, 50, 20, host,
                                    reinterpret_cast<HMENU>(5), nullptr, nullptr);
    RelativeLayout layout;
    layout.AddItem(5, 1, 1, 1, 1);
    layout.Attach(host, false);
    ::SetWindowPos(host, nullptr, 0, 0, 340, 230, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    layout.OnSize(host, SIZE_RESTORED, 0, 0);
    RECT rect = UiTest::ChildRect(button);
    EXPECT_EQ(rect.left, 240);
    EXPECT_EQ(rect.top, 180);
    EXPECT_EQ(rect.bottom, 230);
    ::SetWindowPos(host, nullptr, 0, 0, 250, 120, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    layout.OnSize(host, SIZE_RESTORED, 0, 0);
    rect = UiTest::ChildRect(button);
    EXPECT_EQ(rect.left, 200);
    EXPECT_EQ(rect.top, 150);
    EXPECT_EQ(rect.right, 250);
    EXPECT_EQ(rect.bottom, 170);
    ::DestroyWindow(host);
}

TEST_F(SizeDialogTest, CannotBeMadeSmallerThanInitially)
{
    RECT before = {};
    ::GetWindowRect(m_hwnd, &before);
    ::SetWindowPos(m_hwnd, nullptr, 0, 0, 80, 60, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    UiTest::Pump(20);
    MINMAXINFO info = {};
    info.ptMinTrackSize = {10, 10};
    ::SendMessageW(m_hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, before.right - before.left);
    EXPECT_EQ(info.ptMinTrackSize.y, before.bottom - before.top);
    // A larger minimum of the system's own stays.
    info.ptMinTrackSize = {5000, 4000};
    ::SendMessageW(m_hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, 5000);
    EXPECT_EQ(info.ptMinTrackSize.y, 4000);
    // Whatever the window manager allowed, the controls are never laid out smaller.
    for (int id : {IDC_TEST_FILL, IDC_TEST_CORNER, IDC_TEST_FIFTH, IDC_TEST_BOTTOM})
        ExpectMovedBy(id, 0, 0, 0, 0);
}

TEST_F(SizeDialogTest, MinimizingAndRestoringLaysOutAgain)
{
    Resize(100, 50);
    ::ShowWindow(m_hwnd, SW_MINIMIZE);
    UiTest::Pump(50);
    if (::IsIconic(m_hwnd))
    {
        ExpectMovedBy(IDC_TEST_CORNER, 0, 0, 0, 0);
        ::ShowWindow(m_hwnd, SW_RESTORE);
        UiTest::Pump(50);
    }
    ExpectMovedBy(IDC_TEST_CORNER, 100, 50, 0, 0);
}

TEST_F(SizeDialogTest, TwoEqualSizeMessagesGiveOneRelayout)
{
    const unsigned before = m_dialog.Layout()->RelayoutCount();
    Resize(30, 30);
    EXPECT_EQ(m_dialog.Layout()->RelayoutCount(), before + 1);
    const SIZE now = UiTest::ClientSize(m_hwnd);
    ::SendMessageW(m_hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(now.cx, now.cy));
    ::SendMessageW(m_hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(now.cx, now.cy));
    EXPECT_EQ(m_dialog.Layout()->RelayoutCount(), before + 1);
}

TEST_F(SizeDialogTest, ContentGrowthMovesRightNeighboursAndGrowsTheDialog)
{
    // The list grows by 30 pixels to the right on its own.
    HWND fill = ::GetDlgItem(m_hwnd, IDC_TEST_FILL);
    const RECT list = Rect(IDC_TEST_FILL);
    ::MoveWindow(fill, list.left, list.top, list.right - list.left + 30, list.bottom - list.top, FALSE);
    RECT windowBefore = {};
    ::GetWindowRect(m_hwnd, &windowBefore);
    ::SendMessageW(m_hwnd, UI::SizeDialog::ContentResizedMessage(), reinterpret_cast<WPARAM>(fill),
                   UI::SizeDialog::PackGrowth(0, 0));
    UiTest::Pump(20);
    RECT windowAfter = {};
    ::GetWindowRect(m_hwnd, &windowAfter);
    EXPECT_EQ((windowAfter.right - windowAfter.left) - (windowBefore.right - windowBefore.left), 30);
    EXPECT_EQ(windowAfter.bottom - windowAfter.top, windowBefore.bottom - windowBefore.top);
    // The corner button lay right of the list: it moved along. The bottom line and
    // the fifth button lay below it and only keep their rules.
    ExpectMovedBy(IDC_TEST_FILL, 0, 0, 30, 0);
    ExpectMovedBy(IDC_TEST_CORNER, 30, 0, 0, 0);
    ExpectMovedBy(IDC_TEST_FIFTH, 0, 0, 0, 0);
    EXPECT_EQ(m_dialog.Layout()->InitialSize().cx, m_initial.cx + 30);
    // Nothing overlaps the grown list.
    RECT overlap = {};
    const RECT grown = Rect(IDC_TEST_FILL);
    for (int id : {IDC_TEST_CORNER, IDC_TEST_FIFTH, IDC_TEST_BOTTOM})
    {
        const RECT other = Rect(id);
        EXPECT_FALSE(::IntersectRect(&overlap, &grown, &other)) << "control " << id;
    }
}

TEST_F(SizeDialogTest, ContentMessageForAStrangerChangesNothing)
{
    HWND stranger =
        ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    RECT before = {};
    ::GetWindowRect(m_hwnd, &before);
    const LRESULT handled =
        ::SendMessageW(m_hwnd, UI::SizeDialog::ContentResizedMessage(), reinterpret_cast<WPARAM>(stranger),
                       UI::SizeDialog::PackGrowth(40, 40));
    RECT after = {};
    ::GetWindowRect(m_hwnd, &after);
    EXPECT_EQ(handled, 0);
    EXPECT_EQ(after.right - after.left, before.right - before.left);
    ::DestroyWindow(stranger);
}

} // namespace
