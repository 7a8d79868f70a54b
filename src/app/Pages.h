#pragma once
// The page of the main window whose view has not been built yet: a real dialog from
// its template with its layout rules, showing the empty state it has before anything
// is found. It already holds the log files model, takes part in the scan (its clear
// step empties the log file list that the installed-files scan fills) and writes its
// report section.

#include "logs/LogFilesXML.h"
#include "misc/Handles.h"
#include "misc/StatusInfo.h"
#include "ui/SizeDialog.h"

#include <string>

// The Log Files page (template 132): no log files shown, "Open" disabled.
class CLogFilesPage : public UI::SizeDialog, public ICollector
{
  public:
    explicit CLogFilesPage(UI::CDialog* owner);

    void Clear() override { m_model.Clear(); }
    void Scan(IStatusInfo*) override { Refresh(); }
    const LogFilesInfo& Model() const { return m_model; }

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
