#include "app/OrvoDiagApp.h"

#include "app/OrvoDiagDlg.h"
#include "app/Unattended.h"

#include <winsock2.h>

#include <commctrl.h>
#include <objbase.h>

#include <memory>

// COM serves the report builder, the socket library the adapters' host names; the
// program runs without either (then without those). Both are released after the
// window, sockets first; only what was started is released, so that nothing started
// by someone else in the process is torn down.
BOOL COrvoDiagApp::InitInstance()
{
    const bool com = SUCCEEDED(::CoInitialize(nullptr));

    INITCOMMONCONTROLSEX controls = {sizeof controls, 0xFF};
    ::InitCommonControlsEx(&controls);

    WSADATA wsa = {};
    bool sockets = ::WSAStartup(MAKEWORD(2, 2), &wsa) == 0;
    if (sockets && wsa.wVersion != MAKEWORD(2, 2))
    {
        ::WSACleanup();
        sockets = false;
    }

    UI::CWinApp::InitInstance();
    SetRegistryKey(L"Varnholt/Orvo Diagnostics");

    const CommandLine commandLine = ParseCommandLine(ProcessArguments());
    if (commandLine.mode == CommandLine::Mode::Window)
    {
        auto window = std::make_unique<COrvoDiagDlg>();
        SetMainWindow(window.get());
        window->DoModal();
        SetMainWindow(nullptr);
    }
    else
    {
        m_exitCode = RunUnattended(commandLine);
    }

    if (sockets)
        ::WSACleanup();
    if (com)
        ::CoUninitialize();
    return FALSE;
}
