#include "ui/TabCtrl.h"

#include <algorithm>

namespace UI
{

struct TabItem
{
    std::wstring title;
    HWND page = nullptr;
    RECT rect = {};
};

void TabCtrlNotify::OnTabSelected(TabCtrl*, HTAB) {}

void TabCtrlNotify::OnCloseButtonClicked(TabCtrl*, const RECT*, POINT) {}

void TabCtrlNotify::OnTabRightClicked(TabCtrl*, HTAB, POINT) {}

namespace
{

const wchar_t kClassName[] = L"OrvoTabCtrl";
// Posted by the keyboard hook: wParam 1 steps forward, 0 backward, wrapping.
const UINT kStepMessage = WM_USER + 1;

// Ctrl+Tab must work wherever the focus is in the strip's window, also inside a
// dialog's own message loop, which the strip does not run: a message hook of the
// thread sees every key before the dialog manager does.
thread_local std::vector<TabCtrl*> g_strips;
thread_local HHOOK g_hook = nullptr;

LRESULT CALLBACK KeyboardHook(int code, WPARAM wParam, LPARAM lParam) noexcept
{
    if (code == HC_ACTION && wParam == PM_REMOVE)
    {
        auto* msg = reinterpret_cast<MSG*>(lParam);
        if (msg && msg->message == WM_KEYDOWN && msg->wParam == VK_TAB && msg->hwnd &&
            ::GetKeyState(VK_CONTROL) < 0 && ::GetKeyState(VK_MENU) >= 0)
        {
            HWND root = ::GetAncestor(msg->hwnd, GA_ROOT);
            for (TabCtrl* strip : g_strips)
            {
                HWND hwnd = strip->GetHwnd();
                if (!hwnd || ::GetAncestor(hwnd, GA_ROOT) != root || !::IsWindowVisible(hwnd))
                    continue;
                // A disabled strip swallows nothing: the key goes its normal way.
                if (!::IsWindowEnabled(hwnd))
                    break;
                ::PostMessageW(hwnd, kStepMessage, ::GetKeyState(VK_SHIFT) < 0 ? 0 : 1, 0);
                msg->message = WM_NULL;
                break;
            }
        }
    }
    return ::CallNextHookEx(g_hook, code, wParam, lParam);
}

void Register(TabCtrl* strip)
{
    if (std::find(g_strips.begin(), g_strips.end(), strip) == g_strips.end())
        g_strips.push_back(strip);
    if (!g_hook)
        g_hook = ::SetWindowsHookExW(WH_GETMESSAGE, &KeyboardHook, nullptr, ::GetCurrentThreadId());
}

void Unregister(TabCtrl* strip)
{
    g_strips.erase(std::remove(g_strips.begin(), g_strips.end(), strip), g_strips.end());
    if (g_strips.empty() && g_hook)
    {
        ::UnhookWindowsHookEx(g_hook);
        g_hook = nullptr;
    }
}

int Width(const RECT& r)
{
    return r.right - r.left;
}

int Height(const RECT& r)
{
    return r.bottom - r.top;
}

HFONT CopyFont(HFONT font)
{
    LOGFONTW description = {};
    if (!font || ::GetObjectW(font, sizeof description, &description) != sizeof description)
        return nullptr;
    return ::CreateFontIndirectW(&description);
}

} // namespace

TabCtrl::TabCtrl() = default;

TabCtrl::~TabCtrl()
{
    DestroyWindow();
    Unregister(this);
}

void TabCtrl::RegisterClass()
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    if (::GetClassInfoExW(::GetModuleHandleW(nullptr), kClassName, &wc))
        return;
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &TabCtrl::WindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    ::RegisterClassExW(&wc);
}

bool TabCtrl::Create(HWND parent, DWORD style, const RECT& rect, UINT id)
{
    if (m_hwnd)
        return false;
    RegisterClass();
    HWND hwnd = ::CreateWindowExW(
        WS_EX_CONTROLPARENT, kClassName, L"", style | WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, rect.left,
        rect.top, Width(rect), Height(rect), parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
        ::GetModuleHandleW(nullptr), this);
    if (!hwnd)
        return false;
    Register(this);
    return true;
}

void TabCtrl::DestroyWindow()
{
    if (m_hwnd && ::IsWindow(m_hwnd))
        ::DestroyWindow(m_hwnd);
    m_hwnd = nullptr;
}

bool TabCtrl::PlaceOver(HWND dialog, int placeholderId)
{
    HWND placeholder = ::GetDlgItem(dialog, placeholderId);
    if (!m_hwnd || !placeholder)
        return false;
    RECT rect = {};
    ::GetWindowRect(placeholder, &rect);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    const SIZE minimum = GetMinTrackSize();
    rect.right = rect.left + std::max<int>(Width(rect), minimum.cx);
    rect.bottom = rect.top + std::max<int>(Height(rect), minimum.cy);
    ::SetWindowPos(m_hwnd, placeholder, rect.left, rect.top, Width(rect), Height(rect), SWP_NOACTIVATE);
    ::DestroyWindow(placeholder);
    ::SetWindowLongPtrW(m_hwnd, GWLP_ID, placeholderId);
    ::ShowWindow(m_hwnd, SW_SHOWNA);
    Update(true);
    return true;
}

HTAB TabCtrl::InsertItem(HTAB before, HWND page, const wchar_t* title)
{
    auto item = std::make_unique<TabItem>();
    item->title = title ? title : L"";
    item->page = page;
    HTAB added = item.get();
    auto at = m_items.end();
    if (before)
        at = std::find_if(m_items.begin(), m_items.end(),
                          [before](const auto& i) { return i.get() == before; });
    m_items.insert(at, std::move(item));
    if (!m_selected)
        m_selected = added;
    else if (page)
        ::ShowWindow(page, SW_HIDE);
    Update(true);
    return added;
}

HTAB TabCtrl::GetItem(int index) const noexcept
{
    if (index < 0 || index >= GetCount())
        return nullptr;
    return m_items[static_cast<std::size_t>(index)].get();
}

int TabCtrl::GetIndex(HTAB item) const noexcept
{
    for (std::size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i].get() == item)
            return static_cast<int>(i);
    return -1;
}

bool TabCtrl::SetSel(HTAB item, bool notify)
{
    if (!item || item == m_selected || GetIndex(item) < 0)
        return false;
    HWND oldPage = m_selected ? m_selected->page : nullptr;
    HWND focus = ::GetFocus();
    const bool focusInOldPage = oldPage && focus && (focus == oldPage || ::IsChild(oldPage, focus));
    m_selected = item;
    ShowSelectedPage();
    // The focus must not stay in a page that is now hidden.
    if (focusInOldPage && m_hwnd)
        ::SetFocus(m_hwnd);
    if (m_hwnd)
        ::InvalidateRect(m_hwnd, nullptr, FALSE);
    if (notify)
        Notify(item);
    return true;
}

// A page reached with Ctrl+Tab is for working in: its first control takes the focus
// (the Files and System trees), so the usual keys work there at once. Arrow keys on
// the strip leave the focus on the strip, to step on.
void TabCtrl::FocusSelectedPage()
{
    HWND page = m_selected ? m_selected->page : nullptr;
    if (!page || !::IsWindowVisible(page))
        return;
    if (HWND first = ::GetNextDlgTabItem(page, nullptr, FALSE))
        ::SetFocus(first);
}

void TabCtrl::Notify(HTAB item)
{
    if (m_notify)
        m_notify->OnTabSelected(this, item);
}

std::wstring TabCtrl::GetItemText(HTAB item) const
{
    return GetIndex(item) >= 0 ? item->title : std::wstring();
}

HWND TabCtrl::GetItemWindow(HTAB item) const noexcept
{
    return GetIndex(item) >= 0 ? item->page : nullptr;
}

RECT TabCtrl::GetItemRect(HTAB item) const noexcept
{
    return GetIndex(item) >= 0 ? item->rect : RECT{};
}

TabPart TabCtrl::HitTest(POINT point, HTAB* item) const noexcept
{
    if (item)
        *item = nullptr;
    if (m_closeButton && ::PtInRect(&m_closeRect, point))
        return TabPart::CloseButton;
    for (const auto& tab : m_items)
    {
        if (::PtInRect(&tab->rect, point))
        {
            if (item)
                *item = tab.get();
            return TabPart::Tab;
        }
    }
    return TabPart::None;
}

void TabCtrl::SetFonts(HFONT normal, HFONT selected)
{
    m_fontNormal.Reset(CopyFont(normal));
    m_fontSelected.Reset(CopyFont(selected));
    Update(true);
}

HFONT TabCtrl::GetFontNormal() const noexcept
{
    return m_fontNormal ? static_cast<HFONT>(m_fontNormal.Get())
                        : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
}

HFONT TabCtrl::GetFontSelected() const noexcept
{
    return m_fontSelected ? static_cast<HFONT>(m_fontSelected.Get()) : GetFontNormal();
}

bool TabCtrl::HasFocusCue() const noexcept
{
    return m_hwnd && ::GetFocus() == m_hwnd;
}

SIZE TabCtrl::GetMinTrackSize() const
{
    Misc::WindowDc dc(m_hwnd);
    const int row = m_draw ? m_draw->TabRowHeight(*this, dc.Get()) : 20;
    const int bar = m_draw ? m_draw->BarHeight(*this) : 0;
    const int close = (m_closeButton && m_draw) ? m_draw->CloseButtonWidth(*this) + 6 : 0;
    return {4 + std::max(1, GetCount()) * 24 + close, row + bar + 8};
}

void TabCtrl::Update(bool redraw)
{
    if (!m_hwnd)
        return;
    RECT client = {};
    ::GetClientRect(m_hwnd, &client);
    Misc::WindowDc dc(m_hwnd);
    const int rowHeight = m_draw ? m_draw->TabRowHeight(*this, dc.Get()) : 20;
    const int barHeight = m_draw ? m_draw->BarHeight(*this) : 0;
    const int padding = m_draw ? m_draw->TabPadding(*this) : 8;
    m_rowRect = {0, 0, client.right, std::min<LONG>(rowHeight, client.bottom)};
    m_barRect = {0, m_rowRect.bottom, client.right,
                 std::min<LONG>(m_rowRect.bottom + barHeight, client.bottom)};
    m_pageRect = {0, m_barRect.bottom, client.right, client.bottom};
    if (m_pageBorder)
        ::InflateRect(&m_pageRect, -1, -1);

    int tabsRight = client.right - 2;
    m_closeRect = {};
    if (m_closeButton && m_draw)
    {
        const int size = m_draw->CloseButtonWidth(*this);
        const int top = std::max(0, (rowHeight - size) / 2 + 1);
        m_closeRect = {client.right - 3 - size, top, client.right - 3, top + size};
        tabsRight = m_closeRect.left - 4;
    }

    // The widest title decides every tab's width; the tabs shrink evenly when the row
    // is too narrow for them.
    std::vector<int> widths;
    int widest = 0;
    for (const auto& tab : m_items)
    {
        int width = 0;
        for (HFONT font : {GetFontNormal(), GetFontSelected()})
        {
            Misc::SelectedObject select(dc.Get(), font);
            SIZE extent = {};
            ::GetTextExtentPoint32W(dc.Get(), tab->title.c_str(), static_cast<int>(tab->title.size()),
                                    &extent);
            width = std::max<int>(width, extent.cx);
        }
        width += 2 * padding;
        widths.push_back(width);
        widest = std::max(widest, width);
    }
    const int left = 2;
    const int gap = 1;
    const int available = std::max(0, tabsRight - left);
    const int count = GetCount();
    if (m_equalWidths)
    {
        int width = widest;
        if (count > 0 && count * (width + gap) > available)
            width = std::max(1, available / count - gap);
        std::fill(widths.begin(), widths.end(), width);
    }
    else
    {
        int total = 0;
        for (int w : widths)
            total += w + gap;
        if (total > available && total > 0)
            for (int& w : widths)
                w = std::max(1, w * available / total);
    }
    int x = left;
    for (std::size_t i = 0; i < m_items.size(); ++i)
    {
        m_items[i]->rect = {x, 2, x + widths[i], rowHeight};
        x += widths[i] + gap;
    }
    ShowSelectedPage();
    if (redraw)
        ::InvalidateRect(m_hwnd, nullptr, FALSE);
}

void TabCtrl::ShowSelectedPage()
{
    for (const auto& tab : m_items)
    {
        if (!tab->page || tab.get() == m_selected)
            continue;
        ::ShowWindow(tab->page, SW_HIDE);
    }
    if (m_selected && m_selected->page && m_hwnd)
        ::SetWindowPos(m_selected->page, HWND_TOP, m_pageRect.left, m_pageRect.top, Width(m_pageRect),
                       std::max(0, static_cast<int>(Height(m_pageRect))), SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

bool TabCtrl::Step(bool forward, bool wrap)
{
    const int count = GetCount();
    if (count < 2 || !IsEnabled())
        return false;
    int index = GetIndex(m_selected);
    int next = index + (forward ? 1 : -1);
    if (wrap)
        next = (next + count) % count;
    if (next < 0 || next >= count)
        return false;
    return SetSel(GetItem(next), true);
}

void TabCtrl::SetHot(TabPart part, HTAB item)
{
    if (part == m_hotPart && item == m_hotItem)
        return;
    m_hotPart = part;
    m_hotItem = item;
    ::InvalidateRect(m_hwnd, &m_rowRect, FALSE);
}

void TabCtrl::OnMouseMove(POINT point)
{
    if (!m_trackingLeave)
    {
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, m_hwnd, 0};
        m_trackingLeave = ::TrackMouseEvent(&track) != FALSE;
    }
    HTAB item = nullptr;
    const TabPart part = HitTest(point, &item);
    SetHot(part, item);
}

void TabCtrl::OnLButtonDown(POINT point)
{
    HTAB item = nullptr;
    const TabPart part = HitTest(point, &item);
    if (part == TabPart::Tab)
    {
        ::SetFocus(m_hwnd);
        if (item != m_selected)
            SetSel(item, true);
    }
    else if (part == TabPart::CloseButton)
    {
        m_closePressed = true;
        ::SetCapture(m_hwnd);
        ::InvalidateRect(m_hwnd, &m_closeRect, FALSE);
    }
}

void TabCtrl::OnLButtonUp(POINT point)
{
    if (!m_closePressed)
        return;
    m_closePressed = false;
    if (::GetCapture() == m_hwnd)
        ::ReleaseCapture();
    ::InvalidateRect(m_hwnd, &m_closeRect, FALSE);
    if (HitTest(point, nullptr) == TabPart::CloseButton && m_notify)
    {
        const RECT rect = m_closeRect;
        m_notify->OnCloseButtonClicked(this, &rect, point);
    }
}

// Serves WM_PAINT and WM_PRINTCLIENT alike: the whole strip is drawn into `target`.
void TabCtrl::Paint(HDC target)
{
    RECT client = {};
    ::GetClientRect(m_hwnd, &client);
    if (target && Width(client) > 0 && Height(client) > 0)
    {
        // Everything is drawn into a bitmap first and copied at once: no flicker.
        Misc::MemoryDc memory(::CreateCompatibleDC(target));
        Misc::GdiObject bitmap(::CreateCompatibleBitmap(target, Width(client), Height(client)));
        if (memory && bitmap)
        {
            HDC dc = memory.Get();
            Misc::SelectedObject selectBitmap(dc, bitmap.Get());
            if (m_draw)
            {
                m_draw->DrawBackground(*this, dc, m_rowRect, m_barRect, m_pageRect);
                for (const auto& tab : m_items)
                {
                    const bool selected = tab.get() == m_selected;
                    const bool hot = m_hotPart == TabPart::Tab && m_hotItem == tab.get();
                    m_draw->DrawTab(*this, dc, tab.get(), tab->rect, selected, hot);
                }
                if (m_closeButton)
                    m_draw->DrawCloseButton(*this, dc, m_closeRect, m_hotPart == TabPart::CloseButton,
                                            m_closePressed);
            }
            else
            {
                ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
            }
            ::BitBlt(target, 0, 0, Width(client), Height(client), dc, 0, 0, SRCCOPY);
        }
    }
}

LRESULT CALLBACK TabCtrl::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    try
    {
        TabCtrl* self = nullptr;
        if (message == WM_NCCREATE)
        {
            self = static_cast<TabCtrl*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
            if (self)
                self->m_hwnd = hwnd;
        }
        else
        {
            self = reinterpret_cast<TabCtrl*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        }
        if (!self)
            return ::DefWindowProcW(hwnd, message, wParam, lParam);
        if (message == WM_NCDESTROY)
        {
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            self->m_hwnd = nullptr;
            Unregister(self);
            return ::DefWindowProcW(hwnd, message, wParam, lParam);
        }
        return self->HandleMessage(message, wParam, lParam);
    }
    catch (...)
    {
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

LRESULT TabCtrl::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    // A disabled strip takes no input, also none that is sent to it directly.
    const bool input = (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) || message == WM_KEYDOWN ||
                       message == kStepMessage;
    if (input && !::IsWindowEnabled(m_hwnd))
        return 0;
    switch (message)
    {
    case WM_SIZE:
        Update(true);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
    {
        Misc::PaintDc paint(m_hwnd);
        Paint(paint.Get());
        return 0;
    }
    case WM_PRINTCLIENT:
        Paint(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_ENABLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        ::InvalidateRect(m_hwnd, nullptr, FALSE);
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove({static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        return 0;
    case WM_MOUSELEAVE:
        m_trackingLeave = false;
        SetHot(TabPart::None, nullptr);
        return 0;
    case WM_LBUTTONDOWN:
        OnLButtonDown({static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        return 0;
    case WM_LBUTTONUP:
        OnLButtonUp({static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        return 0;
    case WM_CAPTURECHANGED:
        if (m_closePressed)
        {
            m_closePressed = false;
            ::InvalidateRect(m_hwnd, &m_closeRect, FALSE);
        }
        return 0;
    case WM_RBUTTONUP:
    {
        POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        HTAB item = nullptr;
        if (HitTest(point, &item) == TabPart::Tab && m_notify)
            m_notify->OnTabRightClicked(this, item, point);
        return 0;
    }
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS;
    case WM_KEYDOWN:
        if (wParam == VK_LEFT || wParam == VK_RIGHT)
        {
            Step(wParam == VK_RIGHT, false);
            return 0;
        }
        break;
    case kStepMessage:
        if (Step(wParam != 0, true))
            FocusSelectedPage();
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(m_hwnd, message, wParam, lParam);
}

// --- the 2010-era IDE look -------------------------------------------------------

namespace
{

COLORREF Mix(COLORREF a, COLORREF b, int step, int steps)
{
    if (steps <= 0)
        return a;
    auto channel = [&](int ca, int cb) { return ca + (cb - ca) * step / steps; };
    return RGB(channel(GetRValue(a), GetRValue(b)), channel(GetGValue(a), GetGValue(b)),
               channel(GetBValue(a), GetBValue(b)));
}

void FillSolid(HDC dc, const RECT& rect, COLORREF colour)
{
    ::SetBkColor(dc, colour);
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

void FillVertical(HDC dc, const RECT& rect, COLORREF top, COLORREF bottom)
{
    const int height = Height(rect);
    for (int y = 0; y < height; ++y)
    {
        RECT line = {rect.left, rect.top + y, rect.right, rect.top + y + 1};
        FillSolid(dc, line, Mix(top, bottom, y, std::max(1, height - 1)));
    }
}

const COLORREF kRowTop = RGB(53, 73, 106);
const COLORREF kRow = RGB(41, 57, 85);
const COLORREF kSelectedTop = RGB(255, 252, 242);
const COLORREF kSelectedBottom = RGB(255, 232, 166);
const COLORREF kDisabledTop = RGB(242, 244, 247);
const COLORREF kDisabledBottom = RGB(206, 212, 221);
const COLORREF kHotTop = RGB(91, 113, 153);
const COLORREF kHotBottom = RGB(75, 92, 116);
const COLORREF kTitle = RGB(255, 255, 255);
const COLORREF kTitleDisabled = RGB(134, 150, 176);
const COLORREF kTitleSelected = RGB(0, 0, 0);
const COLORREF kTitleSelectedDisabled = RGB(109, 109, 109);
const COLORREF kGlyph = RGB(206, 212, 221);
const COLORREF kGlyphDisabled = RGB(96, 112, 138);
const COLORREF kCloseHotFill = RGB(255, 252, 244);
const COLORREF kCloseHotBorder = RGB(229, 195, 101);

// Tabs have softly rounded top corners.
void FillTab(HDC dc, const RECT& rect, COLORREF top, COLORREF bottom)
{
    Misc::GdiObject region(::CreateRoundRectRgn(rect.left, rect.top, rect.right + 1, rect.bottom + 6, 5, 5));
    ::SelectClipRgn(dc, static_cast<HRGN>(region.Get()));
    FillVertical(dc, rect, top, bottom);
    ::SelectClipRgn(dc, nullptr);
}

} // namespace

int TabCtrlStyle_VS2010_bars::TabRowHeight(const TabCtrl& ctrl, HDC dc) const
{
    TEXTMETRICW metrics = {};
    int text = 14;
    if (dc)
    {
        Misc::SelectedObject select(dc, ctrl.GetFontSelected());
        if (::GetTextMetricsW(dc, &metrics))
            text = metrics.tmHeight;
    }
    return text + 10;
}

int TabCtrlStyle_VS2010_bars::BarHeight(const TabCtrl&) const
{
    return 4;
}

int TabCtrlStyle_VS2010_bars::TabPadding(const TabCtrl&) const
{
    return 14;
}

int TabCtrlStyle_VS2010_bars::CloseButtonWidth(const TabCtrl&) const
{
    return 15;
}

void TabCtrlStyle_VS2010_bars::DrawBackground(const TabCtrl& ctrl, HDC dc, const RECT& row, const RECT& bar,
                                              const RECT& page) const
{
    FillVertical(dc, row, kRowTop, kRow);
    const bool enabled = ctrl.IsEnabled();
    FillSolid(dc, bar, ctrl.GetSel() ? (enabled ? kSelectedBottom : kDisabledBottom) : kRow);
    RECT area = {bar.left, bar.bottom, bar.right,
                 std::max(bar.bottom, page.bottom + (ctrl.HasPageBorder() ? 1 : 0))};
    if (ctrl.HasPageBorder())
    {
        FillSolid(dc, area, enabled ? kSelectedBottom : kDisabledBottom);
        FillSolid(dc, page, ::GetSysColor(COLOR_BTNFACE));
    }
    else
    {
        FillSolid(dc, area, ::GetSysColor(COLOR_BTNFACE));
    }
}

void TabCtrlStyle_VS2010_bars::DrawTab(const TabCtrl& ctrl, HDC dc, HTAB item, const RECT& rect,
                                       bool selected, bool hot) const
{
    if (Width(rect) <= 0 || Height(rect) <= 0)
        return;
    const bool enabled = ctrl.IsEnabled();
    if (selected)
        FillTab(dc, rect, enabled ? kSelectedTop : kDisabledTop, enabled ? kSelectedBottom : kDisabledBottom);
    else if (hot && enabled)
        FillTab(dc, rect, kHotTop, kHotBottom);

    COLORREF colour =
        selected ? (enabled ? kTitleSelected : kTitleSelectedDisabled) : (enabled ? kTitle : kTitleDisabled);
    Misc::SelectedObject select(dc, selected ? ctrl.GetFontSelected() : ctrl.GetFontNormal());
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, colour);
    RECT text = rect;
    text.left += 4;
    text.right -= 4;
    std::wstring title = ctrl.GetItemText(item);
    ::DrawTextW(dc, title.c_str(), static_cast<int>(title.size()), &text,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    if (selected && ctrl.HasFocusCue())
    {
        RECT cue = rect;
        ::InflateRect(&cue, -3, -3);
        cue.bottom += 1;
        ::SetTextColor(dc, RGB(0, 0, 0));
        ::SetBkColor(dc, kSelectedBottom);
        ::DrawFocusRect(dc, &cue);
    }
}

void TabCtrlStyle_VS2010_bars::DrawCloseButton(const TabCtrl& ctrl, HDC dc, const RECT& rect, bool hot,
                                               bool pressed) const
{
    if (Width(rect) <= 0)
        return;
    const bool enabled = ctrl.IsEnabled();
    COLORREF glyph = enabled ? kGlyph : kGlyphDisabled;
    if (enabled && (hot || pressed))
    {
        FillSolid(dc, rect, kCloseHotBorder);
        RECT inner = rect;
        ::InflateRect(&inner, -1, -1);
        FillSolid(dc, inner, pressed ? kSelectedBottom : kCloseHotFill);
        glyph = RGB(0, 0, 0);
    }
    // A cross of two short diagonals, two pixels thick.
    Misc::GdiObject pen(::CreatePen(PS_SOLID, 1, glyph));
    Misc::SelectedObject selectPen(dc, pen.Get());
    const int size = 7;
    const int x = rect.left + (Width(rect) - size) / 2;
    const int y = rect.top + (Height(rect) - size) / 2;
    for (int offset = 0; offset < 2; ++offset)
    {
        ::MoveToEx(dc, x + offset, y, nullptr);
        ::LineTo(dc, x + size + offset, y + size);
        ::MoveToEx(dc, x + size - 1 + offset, y, nullptr);
        ::LineTo(dc, x - 1 + offset, y + size);
    }
}

} // namespace UI
