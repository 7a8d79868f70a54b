#include "system/SystemDraw.h"

#include "misc/Text.h"

namespace
{

void Expand(HWND tree, HTREEITEM item)
{
    ::SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
}

bool HasFamily(const AdapterInfo& adapter, int family)
{
    return adapter.Unicast().HasFamily(family) || adapter.Anycast().HasFamily(family) ||
           adapter.Multicast().HasFamily(family);
}

} // namespace

FindingColours ColoursForSeverity(Severity severity)
{
    if (severity == Severity::Warning)
        return {RGB(0x9C, 0x5A, 0x00), RGB(0xFF, 0xEB, 0xC8)}; // dark amber on light amber
    return {RGB(0xC0, 0x00, 0x00), RGB(0xFF, 0xDC, 0xDC)};     // dark red on light red
}

FindingColours ColoursForHeading(std::size_t findings)
{
    if (findings == 0)
        return {RGB(0x00, 0x7F, 0x00), RGB(0xDF, 0xFF, 0xDF)}; // dark green on light green
    return ColoursForSeverity(Severity::Problem);
}

HTREEITEM SystemDraw::AddItem(HWND tree, HTREEITEM parent, const std::wstring& text, int kind)
{
    UI::ItemInfo info;
    info.kind = kind;
    return AddRow(tree, parent, text, info);
}

// Facts that were never collected show as one placeholder under a collapsed heading.
bool SystemDraw::AddOsBranch(HWND tree, HTREEITEM parent, const SystemInfo& model)
{
    const HTREEITEM heading = AddItem(tree, parent, L"Windows OS", kSystemItemOsHeading);
    if (!heading)
        return false;
    const OsFacts& facts = model.Os();
    if (!facts.scanned)
    {
        AddItem(tree, heading, L"< No info >", kSystemItemPlain);
        return true;
    }
    AddItem(tree, heading, Misc::Format(L"Version: %ls", facts.versionText.c_str()), kSystemItemPlain);
    AddItem(tree, heading, Misc::Format(L"Install date: %ls", facts.installDateText.c_str()),
            kSystemItemPlain);
    std::wstring architecture = Misc::Format(L"Architecture: %ls", facts.architecture.c_str());
    if (facts.wow64)
        architecture += L" (Running under WOW64)";
    AddItem(tree, heading, architecture, kSystemItemPlain);
    AddItem(tree, heading, Misc::Format(L"Computer Name: %ls", facts.computerName.c_str()), kSystemItemPlain);
    Expand(tree, heading);
    return true;
}

// Adapter lines stay collapsed; the heading opens when it has at least one.
bool SystemDraw::AddAdapterBranch(HWND tree, HTREEITEM parent, const SystemInfo& model)
{
    const HTREEITEM heading = AddItem(tree, parent, L"Network adapters", kSystemItemAdaptersHeading);
    if (!heading)
        return false;
    int added = 0;
    model.Adapters().ForEach(
        [&](const AdapterInfo& adapter)
        {
            const HTREEITEM line =
                AddItem(tree, heading, Misc::Format(L"Name: %ls", adapter.FriendlyName().c_str()),
                        kSystemItemAdapterGroup);
            if (!line)
                return;
            ++added;
            AddItem(tree, line, Misc::Format(L"Description: %ls", adapter.Description().c_str()),
                    kSystemItemPlain);
            AddItem(tree, line, Misc::Format(L"Address: %ls", adapter.PhysicalAddressText().c_str()),
                    kSystemItemPlain);
            AddItem(tree, line, Misc::Format(L"Type: %ls", adapter.InterfaceTypeText().c_str()),
                    kSystemItemPlain);
            AddAddressBranch(tree, line, adapter);
        });
    if (added > 0)
        Expand(tree, heading);
    else
        AddItem(tree, heading, model.Adapters().IsEmpty() ? L"< No adapters found >" : L"< No info >",
                kSystemItemPlain);
    return true;
}

// IPv4 and its unicast group open by themselves; of IPv6 only the unicast group
// is opened, so the longer addresses stay out of the way until asked for.
void SystemDraw::AddAddressBranch(HWND tree, HTREEITEM adapterLine, const AdapterInfo& adapter)
{
    if (adapter.Unicast().IsEmpty() && adapter.Anycast().IsEmpty() && adapter.Multicast().IsEmpty())
        return;
    const HTREEITEM addresses = AddItem(tree, adapterLine, L"IP Addresses", kSystemItemAdapterGroup);
    if (!addresses)
        return;
    const struct
    {
        int family;
        const wchar_t* label;
    } families[] = {{AF_INET, L"IPv4"}, {AF_INET6, L"IPv6"}};
    const struct
    {
        const IPinfoList& list;
        const wchar_t* label;
        bool expand;
    } groups[] = {{adapter.Unicast(), L"Unicast", true},
                  {adapter.Anycast(), L"Anycast", false},
                  {adapter.Multicast(), L"Multicast", false}};
    for (const auto& family : families)
    {
        if (!HasFamily(adapter, family.family))
            continue;
        const HTREEITEM familyLine = AddItem(tree, addresses, family.label, kSystemItemAdapterGroup);
        if (!familyLine)
            continue;
        for (const auto& group : groups)
        {
            if (!group.list.HasFamily(family.family))
                continue;
            const HTREEITEM groupLine = AddItem(tree, familyLine, group.label, kSystemItemAdapterGroup);
            if (!groupLine)
                continue;
            group.list.ForEach(
                [&](const IPinfo& info)
                {
                    if (info.family == family.family)
                        AddItem(tree, groupLine, info.DisplayText(), kSystemItemPlain);
                });
            if (group.expand)
                Expand(tree, groupLine);
        }
        if (family.family == AF_INET)
            Expand(tree, familyLine);
    }
    Expand(tree, addresses);
}

// Severity is in each row's text as well as in its colour, so that it is read out and
// seen without colour.
bool SystemDraw::AddProblemsBranch(HWND tree, HTREEITEM parent, const FindingList& findings)
{
    const FindingColours headingColours = ColoursForHeading(findings.size());
    UI::ItemInfo heading;
    heading.kind = kSystemItemProblemsHeading;
    heading.textColour = headingColours.text;
    heading.selectedBackground = headingColours.selectedBackground;
    const HTREEITEM headingRow = AddRow(tree, parent, FindingsHeading(findings.size()), heading);
    if (!headingRow)
        return false;
    for (const Finding& finding : findings)
    {
        const FindingColours colours = ColoursForSeverity(finding.severity);
        UI::ItemInfo row;
        row.kind = finding.severity == Severity::Warning ? kSystemItemWarning : kSystemItemProblem;
        row.textColour = colours.text;
        row.selectedBackground = colours.selectedBackground;
        AddRow(tree, headingRow, FindingLine(finding), row);
    }
    if (!findings.empty())
        Expand(tree, headingRow);
    return true;
}
