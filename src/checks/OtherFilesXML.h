#pragma once
// The "OtherFiles" section of the report; every staged file also goes on the list of
// files that travel in the archive.

#include "checks/OtherFilesInfo.h"
#include "misc/Attachments.h"
#include "report/XmlDocument.h"

#include <cstdint>

class OtherFilesXML
{
  public:
    OtherFilesXML() = default;
    OtherFilesXML(const OtherFilesXML&) = delete;
    OtherFilesXML& operator=(const OtherFilesXML&) = delete;
    virtual ~OtherFilesXML() = default;

    // A null parent is the report's root element; attachments may be null. True when
    // the section was written completely.
    bool Write(Misc::XML_Document* document, IXMLDOMNode* parent, const OtherFilesInfo* model,
               Misc::AttachmentList* attachments);

    std::int32_t Version() const { return m_version; }

  private:
    std::int32_t m_version = 1;
};
