#include "checks/OtherFilesXML.h"

#include "report/FileListSection.h"

// The section names only the file; the file itself is attached and travels in the
// archive under that same name.
bool OtherFilesXML::Write(Misc::XML_Document* document, IXMLDOMNode* parent, const OtherFilesInfo* model,
                          Misc::AttachmentList* attachments)
{
    m_version = 1;
    if (!document || !model)
        return false;

    return Misc::WriteFileListSection(
        *document, parent, {L"OtherFiles", L"OtherFile", static_cast<int>(m_version)}, *model, attachments);
}
