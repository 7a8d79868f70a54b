#pragma once
// The other-files collector: stages the registry exports and the driver report in a
// temporary folder of its own, lists them, and writes them into the report's
// "OtherFiles" section. It has no page.

#include "checks/OtherFilesInfo.h"
#include "checks/OtherFilesXML.h"
#include "misc/CollectorContracts.h"

#include <string>
#include <vector>

class OtherFilesControl
{
  public:
    // Builds the collector with a fresh temporary file manager of its own.
    OtherFilesControl();
    OtherFilesControl(const OtherFilesControl&) = delete;
    OtherFilesControl& operator=(const OtherFilesControl&) = delete;
    virtual ~OtherFilesControl() = default;

    // The list emptied and every staged file and the staging folder deleted.
    void Clear();
    // The registry exports, then the driver report for the USB support libraries among
    // `driverFiles` (full paths, as the inventory handed them over).
    void Scan(IStatusInfo* status, const std::vector<std::wstring>& driverFiles);
    bool WriteSection(Misc::XML_Document& document, IXMLDOMNode* parent, Misc::AttachmentList& attachments)
    {
        return m_xml.Write(&document, parent, &m_info, &attachments);
    }

    OtherFilesInfo& Info() { return m_info; }
    const OtherFilesInfo& Info() const { return m_info; }

    void ClearEntries() { m_info.Clear(); }
    // Deletes every file the collector's own manager staged, and its folder.
    void ReleaseStagedFiles();

  private:
    void AddEntry(const std::wstring& path);

    OtherFilesInfo m_info;
    OtherFilesXML m_xml;
};
