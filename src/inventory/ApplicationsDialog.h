#pragma once
// The Files tab: holds the installed-files inventory, runs its part of the scan and
// shows the inventory as an aligned, coloured tree.

#include "inventory/ApplicationsDraw.h"
#include "inventory/ApplicationsInfo.h"
#include "inventory/ApplicationsXML.h"
#include "misc/CollectorContracts.h"
#include "misc/Handles.h"
#include "ui/SizeDialog.h"

class CApplicationsDialog : public UI::SizeDialog, public IFilesPageScan
{
  public:
    explicit CApplicationsDialog(UI::CDialog* owner);
    explicit CApplicationsDialog(HWND parent);
    ~CApplicationsDialog() override;

    // The page's clear step: an empty inventory and its placeholder row.
    void Clear() override;
    // The page's part of a scan: the installed-files scan, then the tree refilled.
    void Scan(IStatusInfo* status);
    // Rebuilds the tree when the painter's needs-fill flag is set.
    void FillTree() override;
    // Shows `inventory` (a saved archive's) instead of the page's own until
    // Show(nullptr); the inventory must outlive that.
    void Show(const ApplicationsInfo* inventory);
    // Detaches the item records of every row below `item`; from the root, also deletes
    // all rows. Sets the needs-fill flag.
    void DeleteTreeItems(HTREEITEM item);

    // The steps the scan sequence runs itself.
    void DeleteTreeItems() override { DeleteTreeItems(TVI_ROOT); }
    void ClearPainterItems() override { m_draw.ClearItems(); }
    void ScanInstalledFiles(IStatusInfo* status) override;
    void SetPainterNeedsFill(bool needsFill) override { m_draw.SetNeedsFill(needsFill); }

    // The "Applications" section of the report.
    bool WriteSection(Misc::XML_Document& document, IXMLDOMNode* parent)
    {
        return m_xml.Write(&document, parent, &m_model, false);
    }

    ApplicationsInfo& Model() noexcept { return m_model; }
    const ApplicationsInfo& Model() const noexcept { return m_model; }
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

    ApplicationsInfo m_model;
    const ApplicationsInfo* m_shown = &m_model;
    ApplicationsDraw m_draw;
    ApplicationsXML m_xml;
    HWND m_tree = nullptr;
    Misc::GdiObject m_font;
};
