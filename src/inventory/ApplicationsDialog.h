#pragma once
// The Files tab: shows an installed-files inventory (of a scan, or of any other
// source) as an aligned, coloured tree. The page owns its controls, font and painter,
// not the inventory.

#include "inventory/ApplicationsDraw.h"
#include "inventory/ApplicationsInfo.h"
#include "misc/Handles.h"
#include "ui/SizeDialog.h"

class CApplicationsDialog : public UI::SizeDialog
{
  public:
    explicit CApplicationsDialog(UI::CDialog* owner);
    explicit CApplicationsDialog(HWND parent);
    ~CApplicationsDialog() override;

    // Shows `inventory` (null: none, the placeholder row); the tree is built anew. The
    // inventory must outlive the page or the next Show, and must not change while shown
    // (Clear or Show again first).
    void Show(const ApplicationsInfo* inventory);
    // Lets go of the inventory: its rows go, the placeholder row stays.
    void Clear();
    // Rebuilds the tree when the painter's needs-fill flag is set.
    void FillTree();
    // Detaches the item records of every row below `item`; from the root, also deletes
    // all rows. Sets the needs-fill flag.
    void DeleteTreeItems(HTREEITEM item);

    const ApplicationsInfo* Model() const noexcept { return m_model; }
    const ApplicationsDraw& Painter() const noexcept { return m_draw; }
    HWND Tree() const noexcept { return m_tree; }
    HFONT TreeFont() const noexcept { return static_cast<HFONT>(m_font.Get()); }

  protected:
    BOOL OnInitDialog() override;
    bool OnNotify(NMHDR* header, LRESULT& result) override;
    void OnDestroy() override;

  private:
    void Build();
    void DetachAndDelete(HTREEITEM item);

    const ApplicationsInfo* m_model = nullptr;
    ApplicationsDraw m_draw;
    HWND m_tree = nullptr;
    Misc::GdiObject m_font;
};
