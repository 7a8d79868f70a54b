#include "ui/TabCtrl.h"

#include "ui/RectSize.h"
#include "ui/TabKeyboardHook.h"

#include <algorithm>

namespace UI
{

void TabCtrlNotify::OnTabSelected(TabCtrl*, HTAB) {}

void TabCtrlNotify::OnCloseButtonClicked(TabCtrl*, const RECT*, POINT) {}

namespace
{

const wchar_t kClassName[] = L"OrvoTabCtrl";
// Measures at 96 DPI.
constexpr int kTabsLeft = 2;      // the row's margin before the first tab
constexpr int kTabGap = 1;        // between two tabs
constexpr int kTabTop = 2;        // above the tabs in the row
constexpr int kCloseMargin = 3;   // right of the close button
constexpr int kCloseGap = 4;      // between the last tab and the close button
constexpr int kFallbackRow = 20;  // the row's height without a style
constexpr int kFallbackPadding = 8;

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
    TabKeyboardHook::Remove(this);
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
    TabKeyboardHook::Add(this);
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

void TabCtrl::SetDpi(UINT dpi)
{
    if (dpi == 0 || dpi == m_dpi)
        return;
    m_dpi = dpi;
    Update(true);
}

int TabCtrl::Scaled(int pixelsAt96) const noexcept
{
    return ScaleToDpi(pixelsAt96, m_dpi);
}

SIZE TabCtrl::GetMinTrackSize() const
{
    Misc::WindowDc dc(m_hwnd);
    const int row = m_draw ? m_draw->TabRowHeight(*this, dc.Get()) : Scaled(kFallbackRow);
    const int bar = m_draw ? m_draw->BarHeight(*this) : 0;
    const int close = (m_closeButton && m_draw) ? m_draw->CloseButtonWidth(*this) + Scaled(6) : 0;
    return {Scaled(4) + std::max(1, GetCount()) * Scaled(24) + close, row + bar + Scaled(8)};
}

void TabCtrl::Update(bool redraw)
{
    if (!m_hwnd)
        return;
    RECT client = {};
    ::GetClientRect(m_hwnd, &client);
    Misc::WindowDc dc(m_hwnd);
    const int rowHeight = m_draw ? m_draw->TabRowHeight(*this, dc.Get()) : Scaled(kFallbackRow);
    const int tabsRight = PlaceParts(client, rowHeight);
    const int padding = m_draw ? m_draw->TabPadding(*this) : Scaled(kFallbackPadding);
    const int gap = Scaled(kTabGap);
    const std::vector<int> widths = FitTabWidths(TitleWidths(dc.Get(), padding),
                                                 std::max(0, tabsRight - Scaled(kTabsLeft)), m_equalWidths, gap);
    int x = Scaled(kTabsLeft);
    for (std::size_t i = 0; i < m_items.size(); ++i)
    {
        m_items[i]->rect = {x, Scaled(kTabTop), x + widths[i], rowHeight};
        x += widths[i] + gap;
    }
    ShowSelectedPage();
    if (redraw)
        ::InvalidateRect(m_hwnd, nullptr, FALSE);
}

// The tab row, the bar below it, the page and the close button at the row's end.
// Gives where the tabs must end.
int TabCtrl::PlaceParts(const RECT& client, int rowHeight)
{
    const int barHeight = m_draw ? m_draw->BarHeight(*this) : 0;
    m_rowRect = {0, 0, client.right, std::min<LONG>(rowHeight, client.bottom)};
    m_barRect = {0, m_rowRect.bottom, client.right,
                 std::min<LONG>(m_rowRect.bottom + barHeight, client.bottom)};
    m_pageRect = {0, m_barRect.bottom, client.right, client.bottom};
    if (m_pageBorder)
        ::InflateRect(&m_pageRect, -1, -1);

    m_closeRect = {};
    if (!m_closeButton || !m_draw)
        return client.right - Scaled(kTabsLeft);
    const int size = m_draw->CloseButtonWidth(*this);
    const int top = std::max(0, (rowHeight - size) / 2 + 1);
    const int right = client.right - Scaled(kCloseMargin);
    m_closeRect = {right - size, top, right, top + size};
    return m_closeRect.left - Scaled(kCloseGap);
}

// Every title's width in the wider of the two fonts, with the padding on both sides.
std::vector<int> TabCtrl::TitleWidths(HDC dc, int padding) const
{
    std::vector<int> widths;
    for (const auto& tab : m_items)
    {
        int width = 0;
        for (HFONT font : {GetFontNormal(), GetFontSelected()})
        {
            Misc::SelectedObject select(dc, font);
            SIZE extent = {};
            ::GetTextExtentPoint32W(dc, tab->title.c_str(), static_cast<int>(tab->title.size()), &extent);
            width = std::max<int>(width, extent.cx);
        }
        widths.push_back(width + 2 * padding);
    }
    return widths;
}

// With equal widths the widest title decides every tab's width; either way the tabs
// shrink evenly when the row is too narrow for them.
std::vector<int> TabCtrl::FitTabWidths(std::vector<int> widths, int available, bool equal, int gap)
{
    const int count = static_cast<int>(widths.size());
    if (equal)
    {
        int width = widths.empty() ? 0 : *std::max_element(widths.begin(), widths.end());
        if (count > 0 && count * (width + gap) > available)
            width = std::max(1, available / count - gap);
        std::fill(widths.begin(), widths.end(), width);
        return widths;
    }
    int total = 0;
    for (int w : widths)
        total += w + gap;
    if (total > available && total > 0)
        for (int& w : widths)
            w = std::max(1, w * available / total);
    return widths;
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
            TabKeyboardHook::Remove(self);
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
                       message == kTabStepMessage;
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
    case WM_MOUSELEAVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
        HandleMouse(message, lParam);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS;
    case WM_KEYDOWN:
        if (wParam == VK_LEFT || wParam == VK_RIGHT)
        {
            Step(wParam == VK_RIGHT, false);
            return 0;
        }
        break;
    case kTabStepMessage:
        if (Step(wParam != 0, true))
            FocusSelectedPage();
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(m_hwnd, message, wParam, lParam);
}

} // namespace UI
