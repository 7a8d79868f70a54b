#pragma once
// The "Applications" section of the report: one "Folder" per folder of the inventory,
// nested as the folders are, with one "File" per recorded file and its detail lines.

#include "inventory/ApplicationsInfo.h"
#include "report/XmlDocument.h"

class ApplicationsXML
{
  public:
    ApplicationsXML() = default;
    ApplicationsXML(const ApplicationsXML&) = delete;
    ApplicationsXML& operator=(const ApplicationsXML&) = delete;
    virtual ~ApplicationsXML() = default;

    // A null parent is the report's root element. With `headerOnly` only the empty
    // section element is written. True when the section was written completely.
    bool Write(Misc::XML_Document* document, IXMLDOMNode* parent, const ApplicationsInfo* model,
               bool headerOnly);
    bool WriteFolder(Misc::XML_Document* document, IXMLDOMNode* parent,
                     const ApplicationsInfo::FolderContent* folder);
    bool WriteFile(Misc::XML_Document* document, IXMLDOMNode* parent, const ApplicationsInfo::FileInfo* file);
};
