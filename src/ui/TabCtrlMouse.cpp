#include "ui/TabCtrl.h"

// The strip's mouse input: which part a point is over, hot parts, the close button's
// press and release, clicks on tabs.

namespace UI
{

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

// The mouse: hot parts and the close button's press and release.
void TabCtrl::HandleMouse(UINT message, LPARAM lParam)
{
    const POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    switch (message)
    {
    case WM_MOUSEMOVE:
        OnMouseMove(point);
        break;
    case WM_MOUSELEAVE:
        m_trackingLeave = false;
        SetHot(TabPart::None, nullptr);
        break;
    case WM_LBUTTONDOWN:
        OnLButtonDown(point);
        break;
    case WM_LBUTTONUP:
        OnLButtonUp(point);
        break;
    case WM_CAPTURECHANGED:
        if (m_closePressed)
        {
            m_closePressed = false;
            ::InvalidateRect(m_hwnd, &m_closeRect, FALSE);
        }
        break;
    default:
        break;
    }
}

} // namespace UI
