#pragma once
// Writes the System model into the report as its "System" section.

#include "report/XmlDocument.h"
#include "system/SystemInfo.h"

class SystemXML
{
  public:
    SystemXML() = default;
    virtual ~SystemXML() = default;

    // `parent` none: under the report's root element. True when everything that was
    // attempted was written.
    bool Write(Misc::XML_Document* document, IXMLDOMNode* parent, const SystemInfo* model) const;
    bool WriteOs(Misc::XML_Document& document, IXMLDOMNode* parent, const OsFacts& facts) const;
    bool WriteAdapter(Misc::XML_Document& document, IXMLDOMNode* parent, const AdapterInfo& adapter) const;
    bool WriteAddresses(Misc::XML_Document& document, IXMLDOMNode* parent, const AdapterInfo& adapter) const;
};
