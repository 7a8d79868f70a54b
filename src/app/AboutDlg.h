#pragma once
// The About box: the icon, "OrvoDiag Version 6.0", the build's full version, machine
// type and date, and OK; centred on the main window.

#include "ui/Dialog.h"

#include <string>

class CAboutDlg : public UI::CDialog
{
  public:
    explicit CAboutDlg(HWND parent);

    // "Version 6.0.0.0, x64, built 2026-12-10" from the program's full version, the
    // machine type it was built for and the compiler's date ("Dec 10 2026").
    static std::wstring BuildText(const std::wstring& fullVersion, const wchar_t* machine,
                                  const char* compilerDate);
    // The compiler's date as year-month-day; the text unchanged when it is no such date.
    static std::wstring IsoDate(const char* compilerDate);

  protected:
    BOOL OnInitDialog() override;
};
