#pragma once
// The "LogFiles" section of the report; every log file also goes on the list of
// files that travel in the archive.

#include "logs/LogFilesInfo.h"
#include "misc/Attachments.h"
#include "report/XmlDocument.h"

#include <cstdint>

class LogFilesXML
{
  public:
    LogFilesXML() = default;
    LogFilesXML(const LogFilesXML&) = delete;
    LogFilesXML& operator=(const LogFilesXML&) = delete;
    virtual ~LogFilesXML() = default;

    // A null parent is the report's root element; attachments may be null. True when
    // the section was written completely.
    bool Write(Misc::XML_Document* document, IXMLDOMNode* parent, const LogFilesInfo* model,
               Misc::AttachmentList* attachments);

    std::int32_t Version() const { return m_version; }

  private:
    std::int32_t m_version = 1;
};
