#pragma once
// The System tab: runs the System collection for the scan and shows the model as a
// read-only tree.

#include "misc/CollectorContracts.h"
#include "misc/Handles.h"
#include "system/SystemDraw.h"
#include "system/SystemInfo.h"
#include "system/SystemXML.h"
#include "ui/SizeDialog.h"

class CSystemDialog : public UI::SizeDialog, public ICollector
{
  public:
    explicit CSystemDialog(UI::CDialog* owner);
    explicit CSystemDialog(HWND parent);
    ~CSystemDialog() override;

    void Clear() override;
    void Scan(IStatusInfo* status) override;
    // Rebuilds the tree from the model; called whenever the tab is selected.
    void FillTree();
    // Shows `model` (a saved archive's) instead of the page's own until Show(nullptr);
    // the model must outlive that.
    void Show(const SystemInfo* model);

    SystemInfo& Model() noexcept { return m_model; }
    const SystemInfo& Model() const noexcept { return m_model; }
    const SystemXML& Xml() const noexcept { return m_xml; }
    // The System section of the report (`parent` none: under the root).
    bool WriteSection(Misc::XML_Document& document, IXMLDOMNode* parent) const
    {
        return m_xml.Write(&document, parent, &m_model);
    }

    HWND Tree() const noexcept { return m_tree; }
    HFONT TreeFont() const noexcept { return static_cast<HFONT>(m_font.Get()); }
    const SystemDraw& Painter() const noexcept { return m_draw; }

  protected:
    BOOL OnInitDialog() override;
    bool OnNotify(NMHDR* header, LRESULT& result) override;
    void OnDestroy() override;

  private:
    void Build();
    void EmptyTree();

    SystemInfo m_model;
    const SystemInfo* m_shown = &m_model;
    SystemDraw m_draw;
    SystemXML m_xml;
    HWND m_tree = nullptr;
    Misc::GdiObject m_font;
};
