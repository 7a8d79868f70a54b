#include "ui/App.h"

namespace UI
{

int CWinApp::Run()
{
    if (!InitInstance())
        return 0;
    MSG msg = {};
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
    {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

} // namespace UI
