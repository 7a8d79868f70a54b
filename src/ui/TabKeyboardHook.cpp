#include "ui/TabKeyboardHook.h"

#include "ui/TabCtrl.h"

#include <algorithm>
#include <vector>

namespace UI
{

namespace
{

// Ctrl+Tab must work wherever the focus is in the strip's window, also inside a
// dialog's own message loop, which the strip does not run: a message hook of the
// thread sees every key before the dialog manager does.
thread_local std::vector<TabCtrl*> g_strips;
thread_local HHOOK g_hook = nullptr;

LRESULT CALLBACK KeyboardHook(int code, WPARAM wParam, LPARAM lParam) noexcept
{
    if (code == HC_ACTION && wParam == PM_REMOVE)
    {
        auto* msg = reinterpret_cast<MSG*>(lParam);
        if (msg && msg->message == WM_KEYDOWN && msg->wParam == VK_TAB && msg->hwnd &&
            ::GetKeyState(VK_CONTROL) < 0 && ::GetKeyState(VK_MENU) >= 0)
        {
            HWND root = ::GetAncestor(msg->hwnd, GA_ROOT);
            for (TabCtrl* strip : g_strips)
            {
                HWND hwnd = strip->GetHwnd();
                if (!hwnd || ::GetAncestor(hwnd, GA_ROOT) != root || !::IsWindowVisible(hwnd))
                    continue;
                // A disabled strip swallows nothing: the key goes its normal way.
                if (!::IsWindowEnabled(hwnd))
                    break;
                ::PostMessageW(hwnd, kTabStepMessage, ::GetKeyState(VK_SHIFT) < 0 ? 0 : 1, 0);
                msg->message = WM_NULL;
                break;
            }
        }
    }
    return ::CallNextHookEx(g_hook, code, wParam, lParam);
}

} // namespace

void TabKeyboardHook::Add(TabCtrl* strip)
{
    if (std::find(g_strips.begin(), g_strips.end(), strip) == g_strips.end())
        g_strips.push_back(strip);
    if (!g_hook)
        g_hook = ::SetWindowsHookExW(WH_GETMESSAGE, &KeyboardHook, nullptr, ::GetCurrentThreadId());
}

void TabKeyboardHook::Remove(TabCtrl* strip)
{
    g_strips.erase(std::remove(g_strips.begin(), g_strips.end(), strip), g_strips.end());
    if (g_strips.empty() && g_hook)
    {
        ::UnhookWindowsHookEx(g_hook);
        g_hook = nullptr;
    }
}

} // namespace UI
