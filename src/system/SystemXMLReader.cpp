#include "system/SystemXMLReader.h"

#include "misc/Text.h"
#include "system/EncodeBytes.h"

#include <memory>
#include <vector>

namespace
{

bool Damaged(std::wstring& error, const wchar_t* what)
{
    error = Misc::Format(L"the report's System section is damaged (%ls)", what);
    return false;
}

// A missing child element leaves its facts empty, as an unscanned model has them.
bool ReadOs(const Misc::XmlElement& os, OsFacts& facts, std::wstring& error)
{
    facts.Reset();
    facts.scanned = true;
    facts.versionText = os.Child(L"Version").Text();
    if (const Misc::XmlElement date = os.Child(L"InstallDate"))
    {
        int raw = 0;
        date.TextAttribute(L"sDate", facts.installDateText);
        if (!date.IntAttribute(L"iDate", raw))
            return Damaged(error, L"the install date is no number");
        facts.installDateRaw = raw;
    }
    if (const Misc::XmlElement env = os.Child(L"Env"))
    {
        std::wstring wow64;
        env.TextAttribute(L"Architecture", facts.architecture);
        env.TextAttribute(L"ComputerName", facts.computerName);
        if (env.Attribute(L"wow64", wow64) && wow64 != L"True" && wow64 != L"False")
            return Damaged(error, L"WOW64 is neither True nor False");
        facts.wow64 = wow64 == L"True";
    }
    return true;
}

bool ReadAddresses(const Misc::XmlElement& list, IPinfoList& addresses, std::wstring& error)
{
    for (const Misc::XmlElement& element : list.Children(L"IPaddress"))
    {
        auto info = std::make_unique<IPinfo>();
        if (!element.IntAttribute(L"Family", info->family))
            return Damaged(error, L"an address family is no number");
        element.TextAttribute(L"IP", info->address);
        element.TextAttribute(L"HostName", info->hostName);
        addresses.Add(std::move(info));
    }
    return true;
}

bool ReadPhysicalAddress(const Misc::XmlElement& address, AdapterInfo& adapter, std::wstring& error)
{
    int length = 0;
    if (!address)
        return true;
    if (!address.IntAttribute(L"Length", length) || length < 0)
        return Damaged(error, L"a hardware address length is no number");
    std::vector<unsigned char> bytes;
    if (!DecodeBytes(address.Text(), bytes) || bytes.size() != static_cast<std::size_t>(length))
        return Damaged(error, L"a hardware address does not match its length");
    adapter.SetPhysicalAddress(bytes.data(), length);
    return true;
}

bool ReadAdapter(const Misc::XmlElement& element, AdapterInfo& adapter, std::wstring& error)
{
    int index = 0;
    if (!element.IntAttribute(L"Index", index))
        return Damaged(error, L"an adapter index is no number");
    adapter.SetIndex(index);
    adapter.SetNames(element.Child(L"Friendly").Text(), element.Child(L"Description").Text());
    if (!ReadPhysicalAddress(element.Child(L"Address"), adapter, error))
        return false;
    if (const Misc::XmlElement type = element.Child(L"Type"))
    {
        int value = 0;
        if (!type.IntAttribute(L"Val", value))
            return Damaged(error, L"an interface type is no number");
        adapter.SetInterfaceType(static_cast<std::uint32_t>(value));
    }
    const Misc::XmlElement lists = element.Child(L"IPaddresses");
    return ReadAddresses(lists.Child(L"UniCast"), adapter.Unicast(), error) &&
           ReadAddresses(lists.Child(L"AnyCast"), adapter.Anycast(), error) &&
           ReadAddresses(lists.Child(L"MultiCast"), adapter.Multicast(), error);
}

} // namespace

bool ReadSystemSection(const Misc::XmlElement& system, SystemInfo& model, std::wstring& error)
{
    if (const Misc::XmlElement os = system.Child(L"OS"))
        if (!ReadOs(os, model.Os(), error))
            return false;
    for (const Misc::XmlElement& element : system.Child(L"Adapters").Children(L"Adapter"))
    {
        auto adapter = std::make_unique<AdapterInfo>();
        if (!ReadAdapter(element, *adapter, error))
            return false;
        model.Adapters().Add(std::move(adapter));
    }
    return true;
}
