#include "UiTestSupport.h"

namespace UiTest
{

RECT ChildRect(HWND control)
{
    RECT rect = {};
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

SIZE ClientSize(HWND window)
{
    RECT rect = {};
    ::GetClientRect(window, &rect);
    return {rect.right, rect.bottom};
}

void SetClientSize(HWND window, int width, int height)
{
    RECT rect = {0, 0, width, height};
    ::AdjustWindowRectEx(&rect, static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_EXSTYLE)));
    ::SetWindowPos(window, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

KeyState::KeyState(std::initializer_list<int> pressed)
{
    ::GetKeyboardState(m_saved);
    BYTE state[256] = {};
    for (int key : pressed)
        state[key] = 0x80;
    ::SetKeyboardState(state);
}

KeyState::~KeyState()
{
    ::SetKeyboardState(m_saved);
}

} // namespace UiTest
