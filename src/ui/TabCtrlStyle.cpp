#include "ui/TabCtrlStyle.h"

#include "ui/RectSize.h"

#include <algorithm>

namespace UI
{

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
void FillTab(HDC dc, const TabCtrl& ctrl, const RECT& rect, COLORREF top, COLORREF bottom)
{
    const int corner = ctrl.Scaled(5);
    Misc::GdiObject region(
        ::CreateRoundRectRgn(rect.left, rect.top, rect.right + 1, rect.bottom + ctrl.Scaled(6), corner, corner));
    ::SelectClipRgn(dc, static_cast<HRGN>(region.Get()));
    FillVertical(dc, rect, top, bottom);
    ::SelectClipRgn(dc, nullptr);
}

} // namespace

int TabCtrlStyle_VS2010_bars::TabRowHeight(const TabCtrl& ctrl, HDC dc) const
{
    TEXTMETRICW metrics = {};
    int text = ctrl.Scaled(14);
    if (dc)
    {
        Misc::SelectedObject select(dc, ctrl.GetFontSelected());
        if (::GetTextMetricsW(dc, &metrics))
            text = metrics.tmHeight;
    }
    return text + ctrl.Scaled(10);
}

int TabCtrlStyle_VS2010_bars::BarHeight(const TabCtrl& ctrl) const
{
    return ctrl.Scaled(4);
}

int TabCtrlStyle_VS2010_bars::TabPadding(const TabCtrl& ctrl) const
{
    return ctrl.Scaled(14);
}

int TabCtrlStyle_VS2010_bars::CloseButtonWidth(const TabCtrl& ctrl) const
{
    return ctrl.Scaled(15);
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
        FillTab(dc, ctrl, rect, enabled ? kSelectedTop : kDisabledTop, enabled ? kSelectedBottom : kDisabledBottom);
    else if (hot && enabled)
        FillTab(dc, ctrl, rect, kHotTop, kHotBottom);

    COLORREF colour =
        selected ? (enabled ? kTitleSelected : kTitleSelectedDisabled) : (enabled ? kTitle : kTitleDisabled);
    Misc::SelectedObject select(dc, selected ? ctrl.GetFontSelected() : ctrl.GetFontNormal());
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, colour);
    RECT text = rect;
    text.left += ctrl.Scaled(4);
    text.right -= ctrl.Scaled(4);
    std::wstring title = ctrl.GetItemText(item);
    ::DrawTextW(dc, title.c_str(), static_cast<int>(title.size()), &text,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    if (selected && ctrl.HasFocusCue())
    {
        RECT cue = rect;
        ::InflateRect(&cue, -ctrl.Scaled(3), -ctrl.Scaled(3));
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
        ::InflateRect(&inner, -ctrl.Scaled(1), -ctrl.Scaled(1));
        FillSolid(dc, inner, pressed ? kSelectedBottom : kCloseHotFill);
        glyph = RGB(0, 0, 0);
    }
    // A cross of two short diagonals, two pixels thick (at 96 DPI).
    Misc::GdiObject pen(::CreatePen(PS_SOLID, 1, glyph));
    Misc::SelectedObject selectPen(dc, pen.Get());
    const int size = ctrl.Scaled(7);
    const int x = rect.left + (Width(rect) - size) / 2;
    const int y = rect.top + (Height(rect) - size) / 2;
    for (int offset = 0; offset < ctrl.Scaled(2); ++offset)
    {
        ::MoveToEx(dc, x + offset, y, nullptr);
        ::LineTo(dc, x + size + offset, y + size);
        ::MoveToEx(dc, x + size - 1 + offset, y, nullptr);
        ::LineTo(dc, x - 1 + offset, y + size);
    }
}

} // namespace UI
