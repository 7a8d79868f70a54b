#pragma once
// The tab strip's visual style.

#include "ui/TabCtrl.h"

namespace UI
{

// The look of a 2010-era IDE's document tabs: a dark blue row, the selected tab a
// light gradient joined to a bar of its colour above the page.
class TabCtrlStyle_VS2010_bars : public TabCtrlDrawManager
{
  public:
    int TabRowHeight(const TabCtrl& ctrl, HDC dc) const override;
    int BarHeight(const TabCtrl& ctrl) const override;
    int TabPadding(const TabCtrl& ctrl) const override;
    int CloseButtonWidth(const TabCtrl& ctrl) const override;
    void DrawBackground(const TabCtrl& ctrl, HDC dc, const RECT& row, const RECT& bar,
                        const RECT& page) const override;
    void DrawTab(const TabCtrl& ctrl, HDC dc, HTAB item, const RECT& rect, bool selected,
                 bool hot) const override;
    void DrawCloseButton(const TabCtrl& ctrl, HDC dc, const RECT& rect, bool hot,
                         bool pressed) const override;
};

} // namespace UI
