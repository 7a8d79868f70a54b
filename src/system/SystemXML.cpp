#include "system/SystemXML.h"

#include "system/EncodeBytes.h"

namespace
{

bool WriteAddressList(Misc::XML_Document& document, IXMLDOMNode* parent, const wchar_t* name,
                      const IPinfoList& list)
{
    const Misc::XmlNode listElement = document.AddElement(parent, name);
    if (!listElement)
        return false;
    bool ok = true;
    list.ForEach(
        [&](const IPinfo& info)
        {
            const Misc::XmlNode entry = document.AddElement(listElement, L"IPaddress");
            if (!entry)
            {
                ok = false;
                return;
            }
            ok = document.SetAttribute(entry, L"IP", info.address) && ok;
            ok = document.SetAttribute(entry, L"Family", info.family) && ok;
            ok = document.SetAttribute(entry, L"HostName", info.hostName) && ok;
        });
    return ok;
}

} // namespace

// A section element that cannot be created fails the save: otherwise the report would
// go out without the System section (or its adapters) while the status says "Saved".
bool SystemXML::Write(Misc::XML_Document* document, IXMLDOMNode* parent, const SystemInfo* model) const
{
    if (!document || !model)
        return false;
    const Misc::XmlNode system = document->AddElement(parent, L"System");
    if (!system)
        return false;
    bool ok = WriteOs(*document, system.Get(), model->Os());
    const Misc::XmlNode adapters = document->AddElement(system, L"Adapters");
    if (!adapters)
        return false;
    model->Adapters().ForEach([&](const AdapterInfo& adapter)
                              { ok = WriteAdapter(*document, adapters.Get(), adapter) && ok; });
    return ok;
}

// The facts are written whether or not they were collected: an unscanned model
// gives empty texts, a raw date of 0 and no WOW64.
bool SystemXML::WriteOs(Misc::XML_Document& document, IXMLDOMNode* parent, const OsFacts& facts) const
{
    const Misc::XmlNode os = document.AddElement(parent, L"OS");
    if (!os)
        return false;
    bool ok = true;
    if (const Misc::XmlNode version = document.AddElement(os, L"Version"))
        ok = Misc::SetNodeText(version, facts.versionText) && ok;
    if (const Misc::XmlNode date = document.AddElement(os, L"InstallDate"))
    {
        ok = document.SetAttribute(date, L"sDate", facts.installDateText) && ok;
        ok = document.SetAttribute(date, L"iDate", static_cast<int>(facts.installDateRaw)) && ok;
    }
    if (const Misc::XmlNode env = document.AddElement(os, L"Env"))
    {
        ok = document.SetAttribute(env, L"Architecture", facts.architecture) && ok;
        ok = document.SetAttribute(env, L"wow64", facts.wow64) && ok;
        ok = document.SetAttribute(env, L"ComputerName", facts.computerName) && ok;
    }
    return ok;
}

bool SystemXML::WriteAdapter(Misc::XML_Document& document, IXMLDOMNode* parent,
                             const AdapterInfo& adapter) const
{
    const Misc::XmlNode element = document.AddElement(parent, L"Adapter");
    if (!element)
        return false;
    bool ok = document.SetAttribute(element, L"Index", adapter.Index());

    const Misc::XmlNode friendly = document.AddElement(element, L"Friendly");
    ok = friendly && Misc::SetNodeText(friendly, adapter.FriendlyName()) && ok;
    const Misc::XmlNode description = document.AddElement(element, L"Description");
    ok = description && Misc::SetNodeText(description, adapter.Description()) && ok;

    if (const Misc::XmlNode address = document.AddElement(element, L"Address"))
    {
        ok = document.SetAttribute(address, L"Txt", adapter.PhysicalAddressText()) && ok;
        ok = document.SetAttribute(address, L"Length", adapter.PhysicalAddressLength()) && ok;
        if (adapter.PhysicalAddressBytes() && adapter.PhysicalAddressLength() > 0)
        {
            std::unique_ptr<wchar_t[]> encoded;
            if (EncodeBytes(adapter.PhysicalAddressBytes(),
                            static_cast<std::size_t>(adapter.PhysicalAddressLength()), &encoded) > 0)
                document.AddCData(address, encoded.get()); // the bytes are also in Txt: not decisive
        }
    }
    else
        ok = false;

    if (const Misc::XmlNode type = document.AddElement(element, L"Type"))
    {
        ok = Misc::SetNodeText(type, adapter.InterfaceTypeText()) && ok;
        ok = document.SetAttribute(type, L"Val", static_cast<int>(adapter.InterfaceType())) && ok;
    }
    else
        ok = false;

    return WriteAddresses(document, element.Get(), adapter) && ok;
}

// Every adapter has all three list elements, empty ones included; both families
// share a list and are told apart by Family.
bool SystemXML::WriteAddresses(Misc::XML_Document& document, IXMLDOMNode* parent,
                               const AdapterInfo& adapter) const
{
    const Misc::XmlNode addresses = document.AddElement(parent, L"IPaddresses");
    if (!addresses)
        return false;
    bool ok = WriteAddressList(document, addresses.Get(), L"UniCast", adapter.Unicast());
    ok = WriteAddressList(document, addresses.Get(), L"AnyCast", adapter.Anycast()) && ok;
    ok = WriteAddressList(document, addresses.Get(), L"MultiCast", adapter.Multicast()) && ok;
    return ok;
}
