#include "app/PumpMessages.h"

#include <windows.h>

namespace
{
bool IsDialogWindow(HWND window)
{
    constexpr ULONG_PTR kDialogClassAtom = 32770; // the system's dialog class, "#32770"
    return ::GetClassLongPtrW(window, GCW_ATOM) == kDialogClassAtom;
}
} // namespace

// Keyboard input for a dialog goes through the dialog manager, as in its own loop, so
// that the About box opened during a scan answers Enter and Escape. A quit request
// taken from the queue here is not lost: it is posted again once the queue is empty,
// for the modal loop to see after the running sequence has returned.
void PumpMessages()
{
    bool quit = false;
    WPARAM exitCode = 0;
    MSG msg{};
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    {
        if (msg.message == WM_QUIT)
        {
            quit = true;
            exitCode = msg.wParam;
            continue;
        }
        HWND root = msg.hwnd ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (root && IsDialogWindow(root) && ::IsDialogMessageW(root, &msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    if (quit)
        ::PostQuitMessage(static_cast<int>(exitCode));
}
