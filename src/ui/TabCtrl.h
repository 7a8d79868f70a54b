#pragma once
// The main window's tab strip: an owner-drawn row of equally wide tabs, each with a
// child page window, and a close button at the end of the row. Painted off-screen.
// Ctrl+Tab and Ctrl+Shift+Tab switch pages anywhere in the strip's window, Left and
// Right while the strip has the focus; a switch by keyboard notifies like a click.
// After Ctrl+Tab the new page's first control has the focus.

#include "misc/Handles.h"
#include "ui/Dpi.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace UI
{

class TabCtrl;

// One tab: its title, its page and where the strip shows it.
struct TabItem
{
    std::wstring title;
    HWND page = nullptr;
    RECT rect = {};
};
using HTAB = TabItem*;

// What the strip tells its owner. The defaults do nothing.
class TabCtrlNotify
{
  public:
    virtual ~TabCtrlNotify() = default;
    // Another tab became the selected one (its page is already shown).
    virtual void OnTabSelected(TabCtrl* ctrl, HTAB item);
    // The close button was clicked; the strip itself closes nothing.
    virtual void OnCloseButtonClicked(TabCtrl* ctrl, const RECT* rect, POINT point);
};

// Which part of the strip a point or a painting step concerns.
enum class TabPart
{
    None,
    Tab,
    CloseButton,
};

// The strip's metrics and painting; a style decides the look.
class TabCtrlDrawManager
{
  public:
    virtual ~TabCtrlDrawManager() = default;
    virtual int TabRowHeight(const TabCtrl& ctrl, HDC dc) const = 0;
    virtual int BarHeight(const TabCtrl& ctrl) const = 0;
    virtual int TabPadding(const TabCtrl& ctrl) const = 0;
    virtual int CloseButtonWidth(const TabCtrl& ctrl) const = 0;
    virtual void DrawBackground(const TabCtrl& ctrl, HDC dc, const RECT& row, const RECT& bar,
                                const RECT& page) const = 0;
    virtual void DrawTab(const TabCtrl& ctrl, HDC dc, HTAB item, const RECT& rect, bool selected,
                         bool hot) const = 0;
    virtual void DrawCloseButton(const TabCtrl& ctrl, HDC dc, const RECT& rect, bool hot,
                                 bool pressed) const = 0;
};

class TabCtrl
{
  public:
    TabCtrl();
    virtual ~TabCtrl();
    TabCtrl(const TabCtrl&) = delete;
    TabCtrl& operator=(const TabCtrl&) = delete;

    bool Create(HWND parent, DWORD style, const RECT& rect, UINT id);
    // Takes the place of the placeholder control `placeholderId` of `dialog`: its
    // rectangle (at least the strip's minimum tracking size), its z-order and its id.
    bool PlaceOver(HWND dialog, int placeholderId);
    void DestroyWindow();
    HWND GetHwnd() const noexcept { return m_hwnd; }

    // Adds a page at the end (`before` none) or before `before`; the first page
    // becomes the selected one, later pages are hidden. Gives the item.
    HTAB InsertItem(HTAB before, HWND page, const wchar_t* title);
    HTAB Add(HWND page, const wchar_t* title) { return InsertItem(nullptr, page, title); }

    int GetCount() const noexcept { return static_cast<int>(m_items.size()); }
    HTAB GetItem(int index) const noexcept;
    int GetIndex(HTAB item) const noexcept;
    HTAB GetSel() const noexcept { return m_selected; }
    // Selects `item` and shows its page; notifies only when `notify` is set and the
    // selection changed. Gives whether the selection changed.
    bool SetSel(HTAB item, bool notify = false);
    std::wstring GetItemText(HTAB item) const;
    HWND GetItemWindow(HTAB item) const noexcept;

    // The strip's parts in its client coordinates (after Update).
    RECT GetItemRect(HTAB item) const noexcept;
    RECT GetCloseButtonRect() const noexcept { return m_closeRect; }
    RECT GetTabRowRect() const noexcept { return m_rowRect; }
    RECT GetPageRect() const noexcept { return m_pageRect; }
    TabPart HitTest(POINT point, HTAB* item) const noexcept;

    // Two fonts made from the given fonts' descriptions: for plain and selected tabs.
    void SetFonts(HFONT normal, HFONT selected);
    HFONT GetFontNormal() const noexcept;
    HFONT GetFontSelected() const noexcept;

    // Settings.
    void SetPageBorder(bool border) noexcept { m_pageBorder = border; }
    bool HasPageBorder() const noexcept { return m_pageBorder; }
    void SetEqualTabWidths(bool equal) noexcept { m_equalWidths = equal; }
    bool HasEqualTabWidths() const noexcept { return m_equalWidths; }
    void ShowCloseButton(bool show) noexcept { m_closeButton = show; }
    bool HasCloseButton() const noexcept { return m_closeButton; }

    void SetNotifyManager(TabCtrlNotify* notify) noexcept { m_notify = notify; }
    void SetDrawManager(TabCtrlDrawManager* draw) noexcept { m_draw = draw; }

    // The DPI the strip is shown at: its measures are given for 96 DPI and scaled.
    void SetDpi(UINT dpi);
    UINT Dpi() const noexcept { return m_dpi; }
    int Scaled(int pixelsAt96) const noexcept;

    // Recomputes the tab rectangles and places the selected page.
    void Update(bool redraw = true);
    // The smallest size the strip can show itself in.
    SIZE GetMinTrackSize() const;

    bool HasFocusCue() const noexcept;
    bool IsEnabled() const noexcept { return m_hwnd && ::IsWindowEnabled(m_hwnd); }

    // Steps the selection by one tab (wrapping when `wrap`), as the keyboard does.
    bool Step(bool forward, bool wrap);

  private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void HandleMouse(UINT message, LPARAM lParam);
    int PlaceParts(const RECT& client, int rowHeight);
    std::vector<int> TitleWidths(HDC dc, int padding) const;
    static std::vector<int> FitTabWidths(std::vector<int> widths, int available, bool equal, int gap);
    void Paint(HDC target);
    void OnMouseMove(POINT point);
    void OnLButtonDown(POINT point);
    void OnLButtonUp(POINT point);
    void SetHot(TabPart part, HTAB item);
    void ShowSelectedPage();
    void FocusSelectedPage();
    void Notify(HTAB item);
    static void RegisterClass();

    HWND m_hwnd = nullptr;
    std::vector<std::unique_ptr<TabItem>> m_items;
    HTAB m_selected = nullptr;
    TabCtrlNotify* m_notify = nullptr;
    TabCtrlDrawManager* m_draw = nullptr;
    Misc::GdiObject m_fontNormal;
    Misc::GdiObject m_fontSelected;
    UINT m_dpi = 96;
    bool m_pageBorder = true;
    bool m_equalWidths = false;
    bool m_closeButton = true;
    RECT m_rowRect = {};
    RECT m_barRect = {};
    RECT m_pageRect = {};
    RECT m_closeRect = {};
    TabPart m_hotPart = TabPart::None;
    HTAB m_hotItem = nullptr;
    bool m_closePressed = false;
    bool m_trackingLeave = false;
};

// A tab strip with its style built in.
template <typename Style> class TabCtrlEx : public TabCtrl
{
  public:
    TabCtrlEx() { SetDrawManager(&m_style); }
    ~TabCtrlEx() override { DestroyWindow(); }
    Style& GetStyle() noexcept { return m_style; }

  private:
    Style m_style;
};

} // namespace UI
