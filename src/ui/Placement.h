#pragma once
// Where a window opens: centred over its owner, or on the work area of its monitor,
// and never partly off that work area when it fits.

#include <windows.h>

namespace UI
{

// The top-left corner that centres `window` over `over`, moved back inside
// `workArea` where it would stick out; a window larger than the work area keeps its
// top-left corner inside it.
POINT CentredOrigin(const RECT& window, const RECT& over, const RECT& workArea);

// Moves `window` there: over `owner`, or over its monitor's work area when `owner`
// is none or minimized.
void CentreWindow(HWND window, HWND owner);

} // namespace UI
