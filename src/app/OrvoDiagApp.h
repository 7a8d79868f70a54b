#pragma once
// The application: start-up, the main window run modally, and the end.

#include "ui/App.h"

class COrvoDiagApp : public UI::CWinApp
{
  protected:
    BOOL InitInstance() override;
};
