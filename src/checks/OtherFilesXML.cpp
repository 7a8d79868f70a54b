#include "checks/OtherFilesXML.h"

#include <new>

// The section names only the file; the file itself is attached and travels in the
// archive under that same name. A file is attached even when its element could not
// be written, so the archive still carries it.
bool OtherFilesXML::Write(Misc::XML_Document* document, IXMLDOMNode* parent, const OtherFilesInfo* model,
                          Misc::AttachmentList* attachments)
{
    m_version = 1;
    if (!document || !model)
        return false;

    const Misc::XmlNode section = document->AddElement(parent, L"OtherFiles");
    if (!section)
        return false;
    if (!document->SetAttribute(section, L"Version", static_cast<int>(m_version)))
        return false;
    bool result = document->SetAttribute(section, L"Count", static_cast<int>(model->Count()));

    model->ForEachEntry(
        [&](const OtherFilesInfo::FileEntry& entry)
        {
            if (attachments)
            {
                try
                {
                    attachments->push_back(entry.Path());
                }
                catch (const std::bad_alloc&)
                {
                    result = false; // the file would silently be missing from the archive
                }
            }
            const Misc::XmlNode element = document->AddElement(section, L"OtherFile");
            if (!element || !document->SetAttribute(element, L"File", entry.FileName()))
                result = false;
        });
    return result;
}
