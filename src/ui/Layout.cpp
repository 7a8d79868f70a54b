#include "ui/Layout.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace UI
{

namespace
{

// The control's window rectangle in the dialog's client coordinates.
bool ControlRect(HWND dialog, HWND control, RECT& rect)
{
    if (!::GetWindowRect(control, &rect))
        return false;
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return true;
}

SIZE ClientSize(HWND dialog)
{
    RECT client = {};
    ::GetClientRect(dialog, &client);
    return {client.right - client.left, client.bottom - client.top};
}

} // namespace

void RelativeLayout::AddItem(int controlId, double moveX, double moveY, double growX, double growY)
{
    auto item = std::make_unique<Item>();
    item->controlId = controlId;
    item->moveX = moveX;
    item->moveY = moveY;
    item->growX = growX;
    item->growY = growY;
    m_items.Add(std::move(item));
}

int RelativeLayout::Share(int growth, double fraction)
{
    if (fraction <= 0)
        return 0;
    return static_cast<int>(std::trunc(static_cast<double>(growth) * fraction));
}

RECT RelativeLayout::PlaceItem(const Item& item, int gx, int gy)
{
    gx = std::max(0, gx);
    gy = std::max(0, gy);
    const int left = item.initial.left + Share(gx, item.moveX);
    const int top = item.initial.top + Share(gy, item.moveY);
    const int width = (item.initial.right - item.initial.left) + Share(gx, item.growX);
    const int height = (item.initial.bottom - item.initial.top) + Share(gy, item.growY);
    return {left, top, left + width, top + height};
}

void RelativeLayout::Attach(HWND dialog, bool resetMinimum)
{
    const SIZE client = ClientSize(dialog);
    m_currentWidth = m_initialWidth = client.cx;
    m_currentHeight = m_initialHeight = client.cy;
    if (resetMinimum)
        m_minTrackWidth = m_minTrackHeight = -1;
    if (m_minTrackWidth == -1 && m_minTrackHeight == -1)
    {
        RECT window = {0, 0, client.cx, client.cy};
        const DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(dialog, GWL_STYLE));
        const DWORD exStyle = static_cast<DWORD>(::GetWindowLongPtrW(dialog, GWL_EXSTYLE));
        ::AdjustWindowRectEx(&window, style, FALSE, exStyle);
        m_minTrackWidth = window.right - window.left;
        m_minTrackHeight = window.bottom - window.top;
    }
    for (const auto& item : m_items)
    {
        HWND control = ::IsWindow(dialog) ? ::GetDlgItem(dialog, item->controlId) : nullptr;
        item->valid = control != nullptr && ControlRect(dialog, control, item->initial);
    }
}

namespace
{
RECT ConvertRect(const RECT& rect, const DialogUnits& from, const DialogUnits& to)
{
    // The dialog manager maps a control's origin and its size each on its own.
    const int left = ConvertX(rect.left, from, to);
    const int top = ConvertY(rect.top, from, to);
    return {left, top, left + ConvertX(rect.right - rect.left, from, to),
            top + ConvertY(rect.bottom - rect.top, from, to)};
}
} // namespace

void RelativeLayout::Rescale(HWND dialog, const DialogUnits& from, const DialogUnits& to)
{
    if (m_currentWidth == -1 && m_currentHeight == -1)
        return;
    if (m_minTrackWidth >= 0)
        m_minTrackWidth += ConvertX(m_initialWidth, from, to) - m_initialWidth;
    if (m_minTrackHeight >= 0)
        m_minTrackHeight += ConvertY(m_initialHeight, from, to) - m_initialHeight;
    m_initialWidth = ConvertX(m_initialWidth, from, to);
    m_initialHeight = ConvertY(m_initialHeight, from, to);
    for (const auto& item : m_items)
        item->initial = ConvertRect(item->initial, from, to);
    const SIZE client = ClientSize(dialog);
    m_currentWidth = client.cx;
    m_currentHeight = client.cy;
    PlaceAll(dialog);
    ++m_relayouts;
    ::InvalidateRect(dialog, nullptr, TRUE);
}

void RelativeLayout::SetMinTrackSize(int width, int height)
{
    m_minTrackWidth = width;
    m_minTrackHeight = height;
}

int RelativeLayout::GrowthX() const noexcept
{
    return std::max(0, m_currentWidth - m_initialWidth);
}

int RelativeLayout::GrowthY() const noexcept
{
    return std::max(0, m_currentHeight - m_initialHeight);
}

void RelativeLayout::OnSize(HWND dialog, UINT, int, int)
{
    if (m_currentWidth == -1 && m_currentHeight == -1)
        return;
    // The client rectangle is read again: the message's size may be stale when
    // several size changes are queued.
    const SIZE client = ClientSize(dialog);
    if (client.cx == m_currentWidth && client.cy == m_currentHeight)
        return;
    m_currentWidth = client.cx;
    m_currentHeight = client.cy;
    if (m_items.IsEmpty())
        return;
    PlaceAll(dialog);
    ++m_relayouts;
    ::InvalidateRect(dialog, nullptr, TRUE);
}

void RelativeLayout::PlaceOne(HWND dialog, const Item& item, int gx, int gy) const
{
    if (!item.valid)
        return;
    HWND control = ::GetDlgItem(dialog, item.controlId);
    if (!control)
        return;
    const RECT at = PlaceItem(item, gx, gy);
    ::MoveWindow(control, at.left, at.top, at.right - at.left, at.bottom - at.top, FALSE);
}

void RelativeLayout::PlaceAll(HWND dialog) const
{
    const int gx = GrowthX();
    const int gy = GrowthY();
    for (const auto& item : m_items)
        PlaceOne(dialog, *item, gx, gy);
}

void RelativeLayout::OnGetMinMaxInfo(HWND, MINMAXINFO* info)
{
    if (!info)
        return;
    if (m_minTrackWidth >= 0 && info->ptMinTrackSize.x < m_minTrackWidth)
        info->ptMinTrackSize.x = m_minTrackWidth;
    if (m_minTrackHeight >= 0 && info->ptMinTrackSize.y < m_minTrackHeight)
        info->ptMinTrackSize.y = m_minTrackHeight;
}

RelativeLayout::Item* RelativeLayout::FindItem(int controlId) const
{
    for (const auto& item : m_items)
        if (item->valid && item->controlId == controlId)
            return item.get();
    return nullptr;
}

// A child dialog's content grew (or shrank) by its own growth. The other controls
// that lie wholly right of or below the child's old edges move along by the growth,
// so no neighbour ever ends up under the child; a shrink moves nobody and leaves the
// dialog's size alone, so nothing that overlapped the child before is uncovered or
// run into. The dialog then grows by the same amount.
bool RelativeLayout::OnContentResized(HWND dialog, HWND child, POINT* growth)
{
    if (!growth || m_currentWidth == -1)
        return false;
    Item* childItem = nullptr;
    if (child)
    {
        if (!::IsWindow(child) || ::GetParent(child) != dialog || !::IsChild(dialog, child))
            return false;
        childItem = FindItem(::GetDlgCtrlID(child));
        if (!childItem || !MoveAlong(dialog, child, *childItem, *growth))
            return false;
    }
    GrowDialog(dialog, childItem, std::max<int>(0, growth->x), std::max<int>(0, growth->y));
    return true;
}

// The first rule: the child's growth is measured against its rule's rectangle, and the
// neighbours right of and below it move along. Gives the measured growth.
bool RelativeLayout::MoveAlong(HWND dialog, HWND child, Item& childItem, POINT& growth)
{
    RECT now = {};
    if (!ControlRect(dialog, child, now))
        return false;
    const int gx = GrowthX();
    const int gy = GrowthY();
    // The child's rectangle without the shares its rule applies at the present growth.
    const int baseLeft = now.left - Share(gx, childItem.moveX);
    const int baseTop = now.top - Share(gy, childItem.moveY);
    const int baseRight = baseLeft + (now.right - now.left) - Share(gx, childItem.growX);
    const int baseBottom = baseTop + (now.bottom - now.top) - Share(gy, childItem.growY);
    growth.x = baseRight - childItem.initial.right;
    growth.y = baseBottom - childItem.initial.bottom;

    const int shiftX = std::max<int>(0, growth.x);
    const int shiftY = std::max<int>(0, growth.y);
    for (const auto& other : m_items)
    {
        if (other.get() == &childItem || !other->valid)
            continue;
        bool moved = false;
        if (shiftX > 0 && other->initial.left >= childItem.initial.right)
        {
            ::OffsetRect(&other->initial, shiftX, 0);
            moved = true;
        }
        if (shiftY > 0 && other->initial.top >= childItem.initial.bottom)
        {
            ::OffsetRect(&other->initial, 0, shiftY);
            moved = true;
        }
        if (moved)
            PlaceOne(dialog, *other, gx, gy);
    }
    childItem.initial = {baseLeft, baseTop, baseRight, baseBottom};
    PlaceOne(dialog, childItem, gx, gy);
    return true;
}

// The second rule: the dialog, its rule sizes and its minimum tracking size grow by
// the growth (never shrink), and always hold the child.
void RelativeLayout::GrowDialog(HWND dialog, const Item* childItem, int growX, int growY)
{
    m_initialWidth += growX;
    m_initialHeight += growY;
    if (childItem)
    {
        m_initialWidth = std::max<int>(m_initialWidth, childItem->initial.right);
        m_initialHeight = std::max<int>(m_initialHeight, childItem->initial.bottom);
    }
    m_currentWidth += growX;
    m_currentHeight += growY;
    if (m_minTrackWidth >= 0)
        m_minTrackWidth += growX;
    if (m_minTrackHeight >= 0)
        m_minTrackHeight += growY;
    if (growX > 0 || growY > 0)
    {
        RECT window = {};
        ::GetWindowRect(dialog, &window);
        ::SetWindowPos(dialog, nullptr, 0, 0, window.right - window.left + growX,
                       window.bottom - window.top + growY,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    }
}

} // namespace UI
