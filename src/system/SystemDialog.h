#pragma once
// The System tab: shows a System model (of a scan, or of any other source) as a
// read-only tree. The page owns its controls and font, not the model.

#include "misc/Handles.h"
#include "system/SystemDraw.h"
#include "system/SystemInfo.h"
#include "ui/SizeDialog.h"

class CSystemDialog : public UI::SizeDialog
{
  public:
    explicit CSystemDialog(UI::CDialog* owner);
    explicit CSystemDialog(HWND parent);
    ~CSystemDialog() override;

    // Shows `model` (null: nothing collected); the model must outlive the page or the
    // next Show.
    void Show(const SystemInfo* model);
    // Lets go of the model and shows the tree of nothing collected.
    void Clear();
    // Rebuilds the tree from the model; called whenever the tab is selected.
    void FillTree();

    const SystemInfo* Model() const noexcept { return m_model; }

    HWND Tree() const noexcept { return m_tree; }
    HFONT TreeFont() const noexcept { return m_font.Get(); }
    const SystemDraw& Painter() const noexcept { return m_draw; }
    // The selected row's text as shown; empty when no row is selected.
    std::wstring SelectedRowText() const;

  protected:
    BOOL OnInitDialog() override;
    void OnDpiChanged(UINT dpi) override;
    bool OnNotify(NMHDR* header, LRESULT& result) override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnDestroy() override;

  private:
    void Build();
    void EmptyTree();

    const SystemInfo* m_model = nullptr;
    SystemDraw m_draw;
    HWND m_tree = nullptr;
    UI::ScaledFont m_font{UI::TreeFontAt96()};
};
