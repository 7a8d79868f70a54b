#pragma once
// The page of the main window whose view has not been built yet: a real dialog from
// its template with its layout rules, showing the empty state it has before anything
// is found. It gathers nothing, so it takes no part in a scan; it already holds the
// log files model and writes its report section.

#include "logs/LogFilesXML.h"
#include "misc/Handles.h"
#include "ui/SizeDialog.h"

#include <string>

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
