#include "app/OrvoDiagApp.h"

#include "app/OrvoDiagDlg.h"
#include "app/Unattended.h"
#include "misc/Handles.h"

#include <commctrl.h>

#include <memory>

// COM serves the report builder, the socket library the adapters' host names; the
// program runs without either (then without those). Both are released after the
// window, sockets first (the scopes end in reverse order); only what was started is
// released, so that nothing started by someone else in the process is torn down.
BOOL COrvoDiagApp::InitInstance()
{
    const Misc::ComScope com;

    INITCOMMONCONTROLSEX controls = {sizeof controls, 0xFF};
    ::InitCommonControlsEx(&controls);

    const Misc::WinsockScope sockets;

    UI::CWinApp::InitInstance();
    SetRegistryKey(L"Varnholt/Orvo Diagnostics");

    const CommandLine commandLine = ParseCommandLine(ProcessArguments());
    if (commandLine.mode == CommandLine::Mode::Window || commandLine.mode == CommandLine::Mode::Open)
    {
        auto window = std::make_unique<COrvoDiagDlg>();
        window->OpenAtStart(commandLine.path);
        SetMainWindow(window.get());
        window->DoModal();
        SetMainWindow(nullptr);
    }
    else
    {
        m_exitCode = RunUnattended(commandLine);
    }
    return FALSE;
}
