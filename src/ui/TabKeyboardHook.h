#pragma once
// Ctrl+Tab and Ctrl+Shift+Tab for every tab strip of the thread, wherever the focus is
// in the strip's window.

#include <windows.h>

namespace UI
{

class TabCtrl;

// Posted to a strip by the hook: wParam 1 steps forward, 0 backward, wrapping.
constexpr UINT kTabStepMessage = WM_USER + 1;

// The hook is installed with the first strip and removed with the last.
namespace TabKeyboardHook
{
void Add(TabCtrl* strip);
void Remove(TabCtrl* strip);
} // namespace TabKeyboardHook

} // namespace UI
