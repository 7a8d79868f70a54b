#pragma once
// The base of every dialog of the program: a dialog whose controls keep their
// relative places when it is resized (see RelativeLayout).

#include "ui/Dialog.h"
#include "misc/Handles.h"
#include "ui/Layout.h"

#include <memory>

namespace UI
{

class SizeDialog : public CDialog
{
  public:
    SizeDialog(UINT templateId, HWND parent);
    SizeDialog(UINT templateId, CDialog* owner);
    ~SizeDialog() override;

    iDlgLayoutManager* LayoutManager() const noexcept { return m_layout.get(); }
    // The engine, for adding the dialog's rules.
    RelativeLayout* Layout() const noexcept { return m_layout.get(); }

    // "Orvo_SizeDialogContentResized", registered once per process.
    static UINT ContentResizedMessage() noexcept;
    // The packed growth pair of that message (low half dx, high half dy).
    static LPARAM PackGrowth(int dx, int dy) noexcept;
    static POINT UnpackGrowth(LPARAM packed) noexcept;

    // The DPI the dialog's fonts and measures are made for.
    UINT Dpi() const noexcept { return m_dpi; }
    // The window is shown at `dpi` from now on: the template's font, the controls'
    // arrangement and the dialog's own fonts are made again for it.
    void ApplyDpi(UINT dpi);

  protected:
    BOOL OnInitDialog() override;
    void OnSize(UINT type, int width, int height) override;
    void OnGetMinMaxInfo(MINMAXINFO* info) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    // The dialog's own fonts and pixel measures for `dpi` (a page's tree or text font).
    virtual void OnDpiChanged(UINT /*dpi*/) {}

  private:
    void Init();
    void ReplaceTemplateFont(UINT dpi);
    void OnWindowDpiChanged(UINT dpi, const RECT* suggested);
    void ResizeChildDialog(const DialogUnits& from, const DialogUnits& to);

    std::unique_ptr<RelativeLayout> m_layout;
    UINT m_dpi = 0;
    // The template's font made again for a DPI other than the one the window was made at.
    Misc::GdiObject m_templateFont;
};

} // namespace UI
