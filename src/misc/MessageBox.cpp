#include "misc/MessageBox.h"

#include <utility>

namespace Misc
{

namespace
{
MessageBoxHandler& CurrentHandler()
{
    static MessageBoxHandler handler;
    return handler;
}
} // namespace

int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type)
{
    const MessageBoxHandler& handler = CurrentHandler();
    if (handler)
        return handler(owner, text, caption, type);
    return ::MessageBoxW(owner, text.c_str(), caption.c_str(), type);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler)
{
    return std::exchange(CurrentHandler(), std::move(handler));
}

} // namespace Misc
