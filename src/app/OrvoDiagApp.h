#pragma once
// The application: start-up, the main window run modally, and the end.

#include "ui/App.h"

class COrvoDiagApp : public UI::CWinApp
{
  public:
    // The process's exit code: 0 for the window; that of an unattended run otherwise.
    int ExitCode() const noexcept { return m_exitCode; }

  protected:
    BOOL InitInstance() override;

  private:
    int m_exitCode = 0;
};
