#pragma once
// Helpers of the window tests: message pumping and control geometry.

#include "TestSupport.h"

#include <windows.h>

#include <functional>

namespace UiTest
{

// Dispatches every waiting message (with the dialog manager's keyboard handling for
// `dialog`), for at most `ms` milliseconds of waiting, or until `done` gives true.
using OrvoTest::Pump;
// A control's rectangle in its parent's client coordinates.
RECT ChildRect(HWND control);
SIZE ClientSize(HWND window);
// Resizes a window so that its client area has the given size.
void SetClientSize(HWND window, int width, int height);
// The virtual-key state of the thread: pressed keys for posted keyboard messages.
class KeyState
{
  public:
    KeyState(std::initializer_list<int> pressed);
    ~KeyState();

  private:
    BYTE m_saved[256] = {};
};

} // namespace UiTest
