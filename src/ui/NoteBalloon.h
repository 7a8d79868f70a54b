#pragma once
// A short note shown in a balloon at a control of a page, where the user just acted:
// "Open" that could not open anything says why there, not in a box to dismiss.

#include <windows.h>

#include <string>

namespace UI
{

class NoteBalloon
{
  public:
    NoteBalloon() = default;
    ~NoteBalloon();
    NoteBalloon(const NoteBalloon&) = delete;
    NoteBalloon& operator=(const NoteBalloon&) = delete;

    // Shows `text` pointing at `control` (made on first use, owned by the control's
    // window); empty text hides the note.
    void Show(HWND control, const std::wstring& text);
    void Hide();
    const std::wstring& Text() const noexcept { return m_text; }
    bool IsShown() const noexcept { return m_shown; }

  private:
    bool Make(HWND control);

    HWND m_tip = nullptr;
    HWND m_control = nullptr;
    std::wstring m_text;
    bool m_shown = false;
};

} // namespace UI
