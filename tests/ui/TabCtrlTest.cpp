#include "UiTestSupport.h"

#include "misc/Handles.h"
#include "resource.h"
#include "ui/TabCtrlStyle.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace
{

class Recorder : public UI::TabCtrlNotify
{
  public:
    void OnTabSelected(UI::TabCtrl* ctrl, UI::HTAB item) override
    {
        selected.push_back(item);
        // The page is already shown when the owner hears of the switch.
        pageVisibleOnNotify = ::IsWindowVisible(ctrl->GetItemWindow(item)) != FALSE;
    }
    void OnCloseButtonClicked(UI::TabCtrl*, const RECT* rect, POINT) override
    {
        ++closeClicks;
        if (rect)
            closeRect = *rect;
    }
    std::vector<UI::HTAB> selected;
    bool pageVisibleOnNotify = false;
    int closeClicks = 0;
    RECT closeRect = {};
};

LPARAM PointOf(const RECT& r)
{
    return MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

class TabCtrlTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        m_host =
            ::CreateWindowExW(WS_EX_CONTROLPARENT, L"STATIC", L"", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN,
                              10, 10, 640, 420, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(m_host, nullptr);
        m_placeholder =
            ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_GRAYRECT, 5, 6, 600, 380, m_host,
                              reinterpret_cast<HMENU>(IDC_TAB_STRIP), nullptr, nullptr);
        ASSERT_TRUE(m_strip.Create(m_host, WS_VISIBLE, RECT{}, IDC_TAB_STRIP_NEW));
        for (const wchar_t* title : {L"System", L"Files", L"Log Files"})
        {
            HWND page = ::CreateWindowExW(0, L"STATIC", title, WS_CHILD | WS_VISIBLE, 0, 0, 10, 10,
                                          m_strip.GetHwnd(), nullptr, nullptr, nullptr);
            m_pages.push_back(page);
        }
        ASSERT_TRUE(m_strip.PlaceOver(m_host, IDC_TAB_STRIP));
        for (std::size_t i = 0; i < m_pages.size(); ++i)
            m_items.push_back(m_strip.Add(m_pages[i], i == 0 ? L"System" : i == 1 ? L"Files" : L"Log Files"));
        m_strip.SetPageBorder(false);
        m_strip.SetEqualTabWidths(true);
        m_strip.SetNotifyManager(&m_recorder);
        m_strip.Update();
        UiTest::Pump(30);
    }
    void TearDown() override
    {
        m_strip.DestroyWindow();
        ::DestroyWindow(m_host);
    }

    void Click(const RECT& at)
    {
        ::SendMessageW(m_strip.GetHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, PointOf(at));
        ::SendMessageW(m_strip.GetHwnd(), WM_LBUTTONUP, 0, PointOf(at));
    }
    void CtrlTab(bool shift)
    {
        UiTest::KeyState keys = shift ? UiTest::KeyState{VK_CONTROL, VK_SHIFT} : UiTest::KeyState{VK_CONTROL};
        // The key goes to a window inside the strip's window, as when a page has the focus.
        ::PostMessageW(m_pages[static_cast<std::size_t>(m_strip.GetIndex(m_strip.GetSel()))], WM_KEYDOWN,
                       VK_TAB, 0);
        UiTest::Pump(30);
    }

    UI::TabCtrlEx<UI::TabCtrlStyle_VS2010_bars> m_strip;
    Recorder m_recorder;
    HWND m_host = nullptr;
    HWND m_placeholder = nullptr;
    std::vector<HWND> m_pages;
    std::vector<UI::HTAB> m_items;
};

TEST_F(TabCtrlTest, TakesThePlaceholdersPlaceAndId)
{
    EXPECT_FALSE(::IsWindow(m_placeholder));
    EXPECT_EQ(::GetDlgItem(m_host, IDC_TAB_STRIP), m_strip.GetHwnd());
    EXPECT_EQ(::GetDlgItem(m_host, IDC_TAB_STRIP_NEW), nullptr);
    const RECT at = UiTest::ChildRect(m_strip.GetHwnd());
    EXPECT_EQ(at.left, 5);
    EXPECT_EQ(at.top, 6);
    EXPECT_EQ(at.right, 605);
    EXPECT_EQ(at.bottom, 386);
    EXPECT_TRUE(::IsWindowVisible(m_strip.GetHwnd()));
}

TEST_F(TabCtrlTest, APlaceholderSmallerThanTheStripIsEnlarged)
{
    UI::TabCtrlEx<UI::TabCtrlStyle_VS2010_bars> strip;
    HWND tiny = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 3, 2, m_host,
                                  reinterpret_cast<HMENU>(1002), nullptr, nullptr);
    ASSERT_TRUE(strip.Create(m_host, WS_VISIBLE, RECT{}, 3005));
    ASSERT_TRUE(strip.PlaceOver(m_host, 1002));
    const SIZE minimum = strip.GetMinTrackSize();
    const SIZE size = UiTest::ClientSize(strip.GetHwnd());
    EXPECT_GE(size.cx, minimum.cx);
    EXPECT_GE(size.cy, minimum.cy);
    EXPECT_FALSE(::IsWindow(tiny));
    EXPECT_FALSE(strip.PlaceOver(m_host, 4711)); // no such placeholder
}

TEST_F(TabCtrlTest, FirstPageIsSelectedAndShownOthersHidden)
{
    ASSERT_EQ(m_strip.GetCount(), 3);
    EXPECT_EQ(m_strip.GetSel(), m_items[0]);
    EXPECT_EQ(m_strip.GetItemText(m_items[2]), L"Log Files");
    EXPECT_TRUE(::IsWindowVisible(m_pages[0]));
    EXPECT_FALSE(::IsWindowVisible(m_pages[1]));
    EXPECT_FALSE(::IsWindowVisible(m_pages[2]));
    // The page fills the area below the tab row: no border around it.
    const RECT page = UiTest::ChildRect(m_pages[0]);
    const SIZE client = UiTest::ClientSize(m_strip.GetHwnd());
    EXPECT_EQ(page.left, 0);
    EXPECT_EQ(page.right, client.cx);
    EXPECT_EQ(page.bottom, client.cy);
    EXPECT_GE(page.top, m_strip.GetTabRowRect().bottom);
}

TEST_F(TabCtrlTest, TabsAreEquallyWideAndCloseButtonEndsTheRow)
{
    const RECT a = m_strip.GetItemRect(m_items[0]);
    const RECT c = m_strip.GetItemRect(m_items[2]);
    EXPECT_EQ(a.right - a.left, c.right - c.left);
    EXPECT_GT(a.right - a.left, 20);
    const RECT close = m_strip.GetCloseButtonRect();
    EXPECT_GT(close.left, c.right);
    EXPECT_LE(close.right, UiTest::ClientSize(m_strip.GetHwnd()).cx);
    // Squeezed, the tabs shrink evenly and stay left of the close button.
    ::SetWindowPos(m_strip.GetHwnd(), nullptr, 0, 0, 120, 200, SWP_NOMOVE | SWP_NOZORDER);
    const RECT squeezedA = m_strip.GetItemRect(m_items[0]);
    const RECT squeezedC = m_strip.GetItemRect(m_items[2]);
    EXPECT_EQ(squeezedA.right - squeezedA.left, squeezedC.right - squeezedC.left);
    EXPECT_LE(squeezedC.right, m_strip.GetCloseButtonRect().left);
}

TEST_F(TabCtrlTest, ClickingTheSelectedTabSendsNoNotification)
{
    Click(m_strip.GetItemRect(m_items[0]));
    EXPECT_TRUE(m_recorder.selected.empty());
    Click(m_strip.GetItemRect(m_items[1]));
    ASSERT_EQ(m_recorder.selected.size(), 1u);
    EXPECT_EQ(m_recorder.selected[0], m_items[1]);
    EXPECT_TRUE(m_recorder.pageVisibleOnNotify);
    EXPECT_EQ(m_strip.GetSel(), m_items[1]);
    EXPECT_FALSE(::IsWindowVisible(m_pages[0]));
    EXPECT_TRUE(::IsWindowVisible(m_pages[1]));
    Click(m_strip.GetItemRect(m_items[1]));
    EXPECT_EQ(m_recorder.selected.size(), 1u);
}

TEST_F(TabCtrlTest, CloseButtonNotifiesAndChangesNothing)
{
    const RECT close = m_strip.GetCloseButtonRect();
    Click(close);
    EXPECT_EQ(m_recorder.closeClicks, 1);
    EXPECT_EQ(m_recorder.closeRect.left, close.left);
    EXPECT_EQ(m_strip.GetCount(), 3);
    EXPECT_EQ(m_strip.GetSel(), m_items[0]);
    EXPECT_TRUE(m_recorder.selected.empty());
    // Pressed on the button but released elsewhere: no click.
    ::SendMessageW(m_strip.GetHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, PointOf(close));
    ::SendMessageW(m_strip.GetHwnd(), WM_LBUTTONUP, 0, PointOf(m_strip.GetItemRect(m_items[2])));
    EXPECT_EQ(m_recorder.closeClicks, 1);
}

TEST_F(TabCtrlTest, ArrowKeysStepWithoutWrapping)
{
    HWND strip = m_strip.GetHwnd();
    EXPECT_EQ(::SendMessageW(strip, WM_GETDLGCODE, 0, 0) & DLGC_WANTARROWS, DLGC_WANTARROWS);
    ::SendMessageW(strip, WM_KEYDOWN, VK_LEFT, 0);
    EXPECT_TRUE(m_recorder.selected.empty());
    ::SendMessageW(strip, WM_KEYDOWN, VK_RIGHT, 0);
    ::SendMessageW(strip, WM_KEYDOWN, VK_RIGHT, 0);
    ::SendMessageW(strip, WM_KEYDOWN, VK_RIGHT, 0);
    ASSERT_EQ(m_recorder.selected.size(), 2u);
    EXPECT_EQ(m_recorder.selected[1], m_items[2]);
    EXPECT_TRUE(::IsWindowVisible(m_pages[2]));
}

TEST_F(TabCtrlTest, CtrlTabSwitchesAnywhereInTheWindowAndWraps)
{
    CtrlTab(false);
    ASSERT_EQ(m_recorder.selected.size(), 1u);
    EXPECT_EQ(m_strip.GetSel(), m_items[1]);
    CtrlTab(true);
    CtrlTab(true);
    ASSERT_EQ(m_recorder.selected.size(), 3u);
    EXPECT_EQ(m_strip.GetSel(), m_items[2]); // backward from the first wraps to the last
    EXPECT_TRUE(::IsWindowVisible(m_pages[2]));
}

TEST_F(TabCtrlTest, DisabledStripTakesNoInput)
{
    ::EnableWindow(m_strip.GetHwnd(), FALSE);
    Click(m_strip.GetItemRect(m_items[1]));
    ::SendMessageW(m_strip.GetHwnd(), WM_KEYDOWN, VK_RIGHT, 0);
    CtrlTab(false);
    Click(m_strip.GetCloseButtonRect());
    EXPECT_TRUE(m_recorder.selected.empty());
    EXPECT_EQ(m_recorder.closeClicks, 0);
    EXPECT_EQ(m_strip.GetSel(), m_items[0]);
    ::EnableWindow(m_strip.GetHwnd(), TRUE);
    CtrlTab(false);
    EXPECT_EQ(m_recorder.selected.size(), 1u);
}

TEST_F(TabCtrlTest, FocusMovesOffAHiddenPage)
{
    HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, m_pages[0], nullptr,
                                  nullptr, nullptr);
    ::SetActiveWindow(m_host);
    ::SetFocus(edit);
    if (::GetFocus() != edit)
        GTEST_SKIP() << "the window cannot take the focus here";
    CtrlTab(false);
    EXPECT_EQ(::GetFocus(), m_strip.GetHwnd());
    EXPECT_TRUE(m_strip.HasFocusCue());
}

TEST_F(TabCtrlTest, PaintsTheSelectedTabLightOnADarkRow)
{
    ::RedrawWindow(m_strip.GetHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    HDC dc = ::GetDC(m_strip.GetHwnd());
    const RECT tab = m_strip.GetItemRect(m_items[1]);
    const RECT selected = m_strip.GetItemRect(m_items[0]);
    // Between the tabs' text: a spot on the row left of the first tab, and the lower
    // part of the selected tab.
    const COLORREF row = ::GetPixel(dc, 1, 3);
    const COLORREF light = ::GetPixel(dc, selected.left + 3, selected.bottom - 2);
    const COLORREF plain = ::GetPixel(dc, tab.left + 3, tab.bottom - 2);
    const COLORREF bar = ::GetPixel(dc, 2, m_strip.GetTabRowRect().bottom + 1);
    ::ReleaseDC(m_strip.GetHwnd(), dc);
    auto brightness = [](COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c); };
    EXPECT_LT(brightness(row), 300) << std::hex << row;
    EXPECT_LT(brightness(plain), 300) << std::hex << plain;
    EXPECT_GT(brightness(light), 600) << std::hex << light;
    EXPECT_GT(brightness(bar), 600) << "the bar continues the selected tab's colour";
}

TEST_F(TabCtrlTest, FontsAreCopiesOfTheGivenOnes)
{
    LOGFONTW description = {};
    description.lfHeight = -13;
    wcscpy_s(description.lfFaceName, L"Tahoma");
    Misc::GdiObject font(::CreateFontIndirectW(&description));
    m_strip.SetFonts(static_cast<HFONT>(font.Get()), static_cast<HFONT>(font.Get()));
    font.Reset(); // the strip keeps its own
    LOGFONTW copy = {};
    ASSERT_EQ(::GetObjectW(m_strip.GetFontNormal(), sizeof copy, &copy), static_cast<int>(sizeof copy));
    EXPECT_EQ(copy.lfHeight, -13);
    EXPECT_STREQ(copy.lfFaceName, L"Tahoma");
    EXPECT_NE(m_strip.GetFontSelected(), m_strip.GetFontNormal());
}

} // namespace
