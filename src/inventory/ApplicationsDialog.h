#pragma once
// The Files tab: shows an installed-files inventory (of a scan, or of any other
// source) as an aligned, coloured tree. The page owns its controls, font and painter,
// not the inventory.

#include "inventory/ApplicationsDraw.h"
#include "inventory/ApplicationsInfo.h"
#include "misc/Handles.h"
#include "ui/SizeDialog.h"
#include "ui/TreeFindBar.h"

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
    HFONT TreeFont() const noexcept { return m_font.Get(); }
    UI::TreeFindBar& FindBar() noexcept { return m_find; }

    // The selected row's text as shown (IDM_COPY_ROW), its file's digest (IDM_COPY_MD5)
    // or its file's or folder's full path (IDM_COPY_PATH); empty when it has none.
    std::wstring RowCopyText(UINT command) const;
    // Selects the next (or previous) row whose name, version or digest holds the find
    // field's text, unfolding its parents; says "not found" on the page otherwise.
    void FindRow(bool forward, bool includeSelected);

  protected:
    BOOL OnInitDialog() override;
    void OnDpiChanged(UINT dpi) override;
    bool OnNotify(NMHDR* header, LRESULT& result) override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    void OnSize(UINT type, int width, int height) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnDestroy() override;

  private:
    void Build();
    void DetachAndDelete(HTREEITEM item);
    bool OnTreeKey(const NMTVKEYDOWN& key);

    const ApplicationsInfo* m_model = nullptr;
    ApplicationsDraw m_draw;
    HWND m_tree = nullptr;
    UI::ScaledFont m_font{UI::TreeFontAt96()};
    UI::TreeFindBar m_find;
};
