#include "ui/Placement.h"

#include <algorithm>

namespace UI
{

namespace
{

LONG CentredStart(LONG size, LONG overStart, LONG overEnd, LONG areaStart, LONG areaEnd)
{
    const LONG start = overStart + ((overEnd - overStart) - size) / 2;
    return std::max(areaStart, std::min(start, areaEnd - size));
}

} // namespace

POINT CentredOrigin(const RECT& window, const RECT& over, const RECT& workArea)
{
    const LONG width = window.right - window.left;
    const LONG height = window.bottom - window.top;
    return {CentredStart(width, over.left, over.right, workArea.left, workArea.right),
            CentredStart(height, over.top, over.bottom, workArea.top, workArea.bottom)};
}

void CentreWindow(HWND window, HWND owner)
{
    if (!window)
        return;
    const bool overOwner = owner && ::IsWindowVisible(owner) && !::IsIconic(owner);
    MONITORINFO monitor = {sizeof monitor};
    if (!::GetMonitorInfoW(::MonitorFromWindow(overOwner ? owner : window, MONITOR_DEFAULTTOPRIMARY),
                           &monitor))
        return;
    RECT rect = {};
    RECT over = monitor.rcWork;
    if (!::GetWindowRect(window, &rect) || (overOwner && !::GetWindowRect(owner, &over)))
        return;
    const POINT at = CentredOrigin(rect, over, monitor.rcWork);
    ::SetWindowPos(window, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace UI
