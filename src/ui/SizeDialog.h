#pragma once
// The base of every dialog of the program: a dialog whose controls keep their
// relative places when it is resized (see RelativeLayout).

#include "ui/Dialog.h"
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

  protected:
    BOOL OnInitDialog() override;
    void OnSize(UINT type, int width, int height) override;
    void OnGetMinMaxInfo(MINMAXINFO* info) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  private:
    void Init();

    std::unique_ptr<RelativeLayout> m_layout;
};

} // namespace UI
