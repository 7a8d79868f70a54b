#pragma once
// Pages of the main window whose views have not been built yet: real dialogs from
// their templates with their layout rules, showing the empty state they have before
// anything is found. They gather nothing, so they take no part in a scan; the Log
// Files page already holds the log files model and writes its report section.

#include "logs/LogFilesXML.h"
#include "misc/Handles.h"
#include "ui/CommonDraw.h"
#include "ui/SizeDialog.h"

#include <string>

// A page whose content is a tree (control 1000) in the fixed-pitch tree font.
class CEmptyTreePage : public UI::SizeDialog
{
  public:
    CEmptyTreePage(UINT templateId, UI::CDialog* owner, const wchar_t* emptyText);

    // Rebuilds the view: the single row that says nothing is known.
    void FillTree();
    HWND Tree() const noexcept { return GetDlgItem(kTreeId); }

  protected:
    static constexpr int kTreeId = 1000;
    BOOL OnInitDialog() override;
    bool OnNotify(NMHDR* header, LRESULT& result) override;

  private:
    CommonDraw m_painter;
    Misc::GdiObject m_treeFont;
    std::wstring m_emptyText;
};

// The Files page (template 130).
class CFilesPage : public CEmptyTreePage
{
  public:
    explicit CFilesPage(UI::CDialog* owner);
};

// The Log Files page (template 132): no log files known, "Open" disabled.
class CLogFilesPage : public UI::SizeDialog
{
  public:
    explicit CLogFilesPage(UI::CDialog* owner);

    // Shows the page's state again.
    void Refresh();
    // The "LogFiles" section; every log file is added to the attachments.
    bool WriteSection(Misc::XML_Document& document, IXMLDOMNode* parent, Misc::AttachmentList& attachments)
    {
        return m_xml.Write(&document, parent, &m_model, &attachments);
    }

  protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;

  private:
    Misc::GdiObject m_textFont;
    LogFilesInfo m_model;
    LogFilesXML m_xml;
};
