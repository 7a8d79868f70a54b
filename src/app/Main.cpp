// OrvoDiag's entry point.

#include "app/OrvoDiagApp.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    COrvoDiagApp app;
    const int code = app.Run();
    return code != 0 ? code : app.ExitCode();
}
