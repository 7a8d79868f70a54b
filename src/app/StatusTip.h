#pragma once
// The tooltip of the status line: after a save it holds the archive's full path, which
// the short "Saved at ..." text leaves out.

#include "misc/Handles.h"

#include <windows.h>

#include <string>

class StatusTip
{
  public:
    StatusTip() = default;
    ~StatusTip();
    StatusTip(const StatusTip&) = delete;
    StatusTip& operator=(const StatusTip&) = delete;

    // Attaches a tooltip to `statusControl`, a child of `dialog`; false when none could
    // be made.
    bool Create(HWND dialog, HWND statusControl);
    // Empty text: no tooltip.
    void SetText(const std::wstring& text);
    const std::wstring& Text() const noexcept { return m_text; }
    HWND Hwnd() const noexcept { return m_tip; }

  private:
    HWND m_tip = nullptr;
    HWND m_dialog = nullptr;
    HWND m_control = nullptr;
    std::wstring m_text;
};
