// OrvoDiag's entry point.

#include "app/OrvoDiagApp.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    COrvoDiagApp app;
    return app.Run();
}
