#pragma once
// While a scan or a save runs, its buttons are disabled or a dialog of its own takes
// the keyboard, and the focus is lost; this gives it back when the command ends.

#include <windows.h>

class FocusReturn
{
  public:
    // Remembers the control of `dialog` that has the focus now; `fallbackId` names the
    // control that takes it when that one is gone, hidden or disabled by then.
    FocusReturn(HWND dialog, int fallbackId);
    ~FocusReturn();
    FocusReturn(const FocusReturn&) = delete;
    FocusReturn& operator=(const FocusReturn&) = delete;

  private:
    HWND m_dialog;
    HWND m_focus;
    int m_fallbackId;
};
