#pragma once
// A System model built by hand, the same for the report and the tree tests: three
// adapters covering both families in every address list, one adapter without
// addresses, and one with IPv4 only as anycast.

#include "system/SystemInfo.h"

#include <vector>

namespace SystemTest
{

inline void AddAddress(IPinfoList& list, int family, const wchar_t* address, const wchar_t* hostName = L"")
{
    auto info = std::make_unique<IPinfo>();
    info->family = family;
    info->address = address;
    info->hostName = hostName;
    list.Add(std::move(info));
}

inline AdapterInfo& AddAdapter(SystemInfo& model, int index, std::vector<BYTE> mac, const wchar_t* friendly,
                               const wchar_t* description, std::uint32_t type)
{
    auto adapter = std::make_unique<AdapterInfo>();
    adapter->SetIndex(index);
    adapter->SetPhysicalAddress(mac.data(), static_cast<int>(mac.size()));
    adapter->SetNames(friendly, description);
    adapter->SetInterfaceType(type);
    return *model.Adapters().Add(std::move(adapter));
}

inline void BuildSampleModel(SystemInfo& model)
{
    OsFacts& os = model.Os();
    os.scanned = true;
    os.versionText = L"Windows 10 (10.0  build 19045)";
    os.installDateRaw = static_cast<std::int32_t>(4000000000u);
    os.installDateText = L"02-10-2096 07:06:40";
    os.architecture = L"x64";
    os.wow64 = true;
    os.computerName = L"DESK-07";

    AdapterInfo& wired = AddAdapter(model, 3, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, L"Ethernet",
                                    L"Intel(R) Ethernet <I219-V> & Co", 6);
    AddAddress(wired.Unicast(), 2, L"192.168.1.10", L"desk-07.example");
    AddAddress(wired.Unicast(), 23, L"fe80::1");
    AddAddress(wired.Anycast(), 2, L"192.168.1.255");
    AddAddress(wired.Multicast(), 23, L"ff02::1");
    AddAddress(wired.Multicast(), 2, L"224.0.0.1");

    AddAdapter(model, 5, {0xFF}, L"Wi-Fi", L"Wireless 'N' adapter", 71);

    AdapterInfo& lab = AddAdapter(model, 7, {0xFB, 0xFF}, L"Lab", L"USB NIC", 6);
    AddAddress(lab.Unicast(), 23, L"fd00::2");
    AddAddress(lab.Anycast(), 2, L"10.0.0.1");
}

} // namespace SystemTest
