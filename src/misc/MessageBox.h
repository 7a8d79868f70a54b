#pragma once
// Every message box of the program goes through here, so that tests can capture
// the exact text of a box instead of blocking on it.

#include <windows.h>

#include <functional>
#include <string>

namespace Misc
{

using MessageBoxHandler =
    std::function<int(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type)>;

int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type);

// Replaces the handler (an empty one restores MessageBoxW); gives the previous one.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

} // namespace Misc
