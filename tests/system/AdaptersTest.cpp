#include "system/Adapters.h"

#include "misc/Handles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <memory>
#include <new>
#include <vector>

namespace
{

using OrvoTest::Narrow;

// Host-name lookups need Winsock, which the program starts at start-up.
class WinsockEnvironment : public ::testing::Environment
{
  public:
    void SetUp() override
    {
        m_winsock = std::make_unique<Misc::WinsockScope>();
        ASSERT_TRUE(m_winsock->Started());
    }
    void TearDown() override { m_winsock.reset(); }

  private:
    std::unique_ptr<Misc::WinsockScope> m_winsock;
};
::testing::Environment* const g_winsock = ::testing::AddGlobalTestEnvironment(new WinsockEnvironment);

class TickSink : public IStatusInfo
{
  public:
    void ShowActivity(const wchar_t*) override {}
    void SetStatus(const wchar_t*) override {}
    void Tick(bool big) override { big ? ++bigTicks : ++smallTicks; }
    int bigTicks = 0, smallTicks = 0;
};

// A synthetic adapter record chain as GetAdaptersAddresses hands it out; every
// record and socket address lives as long as the builder.
class Chain
{
  public:
    IP_ADAPTER_ADDRESSES& Adapter(ULONG type, std::vector<BYTE> mac, const wchar_t* friendly = L"",
                                  const wchar_t* description = L"")
    {
        IP_ADAPTER_ADDRESSES& a = m_adapters.emplace_back();
        a.IfType = type;
        a.PhysicalAddressLength = static_cast<ULONG>(mac.size());
        std::memcpy(a.PhysicalAddress, mac.data(), std::min<std::size_t>(mac.size(), 8));
        a.FriendlyName = const_cast<wchar_t*>(friendly);
        a.Description = const_cast<wchar_t*>(description);
        if (m_adapters.size() > 1)
            m_adapters[m_adapters.size() - 2].Next = &a;
        return a;
    }
    void Unicast(IP_ADAPTER_ADDRESSES& a, SOCKADDR* address)
    {
        Link(a.FirstUnicastAddress, m_unicast, address);
    }
    void Anycast(IP_ADAPTER_ADDRESSES& a, SOCKADDR* address)
    {
        Link(a.FirstAnycastAddress, m_anycast, address);
    }
    void Multicast(IP_ADAPTER_ADDRESSES& a, SOCKADDR* address)
    {
        Link(a.FirstMulticastAddress, m_multicast, address);
    }
    SOCKADDR* V4(BYTE a, BYTE b, BYTE c, BYTE d)
    {
        SOCKADDR_IN& s = m_v4.emplace_back();
        s.sin_family = AF_INET;
        const BYTE bytes[4] = {a, b, c, d};
        std::memcpy(&s.sin_addr, bytes, 4);
        return reinterpret_cast<SOCKADDR*>(&s);
    }
    SOCKADDR* V6(std::vector<BYTE> bytes)
    {
        SOCKADDR_IN6& s = m_v6.emplace_back();
        s.sin6_family = AF_INET6;
        std::memcpy(&s.sin6_addr, bytes.data(), 16);
        return reinterpret_cast<SOCKADDR*>(&s);
    }
    SOCKADDR* OtherFamily()
    {
        SOCKADDR& s = m_other.emplace_back();
        s.sa_family = AF_NETBIOS;
        return &s;
    }
    const IP_ADAPTER_ADDRESSES* First() const { return m_adapters.empty() ? nullptr : &m_adapters.front(); }

  private:
    template <typename Record> void Link(Record*& first, std::deque<Record>& store, SOCKADDR* address)
    {
        Record& r = store.emplace_back();
        r.Address.lpSockaddr = address;
        r.Address.iSockaddrLength = address && address->sa_family == AF_INET6 ? 28 : 16;
        Record** at = &first;
        while (*at)
            at = &(*at)->Next;
        *at = &r;
    }

    std::deque<IP_ADAPTER_ADDRESSES> m_adapters;
    std::deque<IP_ADAPTER_UNICAST_ADDRESS> m_unicast;
    std::deque<IP_ADAPTER_ANYCAST_ADDRESS> m_anycast;
    std::deque<IP_ADAPTER_MULTICAST_ADDRESS> m_multicast;
    std::deque<SOCKADDR_IN> m_v4;
    std::deque<SOCKADDR_IN6> m_v6;
    std::deque<SOCKADDR> m_other;
};

const std::vector<BYTE> kMac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
const std::vector<BYTE> kFe80_1 = {0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
const std::vector<BYTE> kFf02_1 = {0xff, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};

std::vector<IPinfo> Entries(IPinfoList& list)
{
    std::vector<IPinfo> out;
    for (IPinfo* info = list.First(); info; info = list.Next())
        out.push_back(*info);
    return out;
}

TEST(AdapterList, KeepsWiredAndWirelessAdaptersWithAHardwareAddressAndCountsEveryRecord)
{
    Chain chain;
    chain.Adapter(IF_TYPE_SOFTWARE_LOOPBACK, {}, L"Loopback");
    chain.Adapter(IF_TYPE_TUNNEL, {0, 0, 0, 0, 0, 0, 0, 0xE0}, L"Teredo");
    chain.Adapter(IF_TYPE_ETHERNET_CSMACD, kMac, L"Ethernet", L"Intel(R) Ethernet");
    chain.Adapter(IF_TYPE_IEEE80211, {}, L"Wi-Fi off");
    chain.Adapter(IF_TYPE_IEEE80211, {0xA0}, L"Wi-Fi", L"Wireless");
    chain.Adapter(IF_TYPE_PPP, kMac, L"Dial-up");
    chain.Adapter(IF_TYPE_ETHERNET_CSMACD, {}, L"No address");

    AdapterList list;
    list.Add(std::make_unique<AdapterInfo>()); // left over from an earlier scan
    list.Clear();
    TickSink sink;
    EXPECT_EQ(list.AddFromChain(chain.First(), &sink), 2);
    EXPECT_EQ(sink.bigTicks, 7);
    EXPECT_EQ(sink.smallTicks, 0);
    ASSERT_EQ(list.Count(), 2u);

    struct Expected
    {
        int index;
        const char *friendly, *description, *mac, *type;
        int length;
        std::uint32_t typeNumber;
    };
    const Expected expected[] = {
        {3, "Ethernet", "Intel(R) Ethernet", "00-1A-2B-3C-4D-5E", "ETHERNET_CSMACD", 6, 6},
        {5, "Wi-Fi", "Wireless", "A0", "IEEE80211", 1, 71},
    };
    AdapterInfo* adapter = list.First();
    for (const Expected& e : expected)
    {
        ASSERT_NE(adapter, nullptr);
        EXPECT_EQ(adapter->Index(), e.index);
        EXPECT_EQ(Narrow(adapter->FriendlyName()), e.friendly);
        EXPECT_EQ(Narrow(adapter->Description()), e.description);
        EXPECT_EQ(Narrow(adapter->PhysicalAddressText()), e.mac);
        EXPECT_EQ(adapter->PhysicalAddressLength(), e.length);
        EXPECT_EQ(Narrow(adapter->InterfaceTypeText()), e.type);
        EXPECT_EQ(adapter->InterfaceType(), e.typeNumber);
        adapter = list.Next();
    }
    EXPECT_EQ(list.AddFromChain(nullptr, nullptr), 0);
}

TEST(AdapterList, AddressesByListAndFamilyInReportedOrder)
{
    Chain chain;
    IP_ADAPTER_ADDRESSES& a = chain.Adapter(IF_TYPE_ETHERNET_CSMACD, kMac, L"Ethernet");
    chain.Unicast(a, chain.V6(kFe80_1));
    chain.Unicast(a, chain.OtherFamily()); // skipped
    chain.Unicast(a, nullptr);             // skipped
    chain.Unicast(a, chain.V4(127, 0, 0, 1));
    chain.Anycast(a, chain.V4(192, 168, 1, 10));
    chain.Multicast(a, chain.V4(224, 0, 0, 1));
    chain.Multicast(a, chain.V6(kFf02_1));

    AdapterList list;
    ASSERT_EQ(list.AddFromChain(chain.First(), nullptr), 1);
    AdapterInfo& adapter = *list.First();

    const std::vector<IPinfo> unicast = Entries(adapter.Unicast());
    ASSERT_EQ(unicast.size(), 2u);
    EXPECT_EQ(unicast[0].family, AF_INET6);
    EXPECT_EQ(Narrow(unicast[0].address), "fe80::1");
    EXPECT_EQ(unicast[1].family, AF_INET);
    EXPECT_EQ(Narrow(unicast[1].address), "127.0.0.1");
    EXPECT_FALSE(unicast[1].hostName.empty()) << "the loopback address has a name in every hosts file";
    EXPECT_EQ(unicast[1].DisplayText(), unicast[1].address + L"  [ " + unicast[1].hostName + L" ]");

    const std::vector<IPinfo> anycast = Entries(adapter.Anycast());
    ASSERT_EQ(anycast.size(), 1u);
    EXPECT_EQ(Narrow(anycast[0].address), "192.168.1.10");

    const std::vector<IPinfo> multicast = Entries(adapter.Multicast());
    ASSERT_EQ(multicast.size(), 2u);
    EXPECT_EQ(Narrow(multicast[0].address), "224.0.0.1");
    EXPECT_EQ(Narrow(multicast[1].address), "ff02::1");

    EXPECT_TRUE(adapter.Unicast().HasFamily(AF_INET6));
    EXPECT_TRUE(adapter.Anycast().HasFamily(AF_INET));
    EXPECT_FALSE(adapter.Anycast().HasFamily(AF_INET6));
}

// The query stand-in answers with a scripted list of results and, on success,
// writes one Ethernet record into the caller's buffer.
struct ScriptedQuery
{
    std::vector<ULONG> results;
    ULONG neededSize = sizeof(IP_ADAPTER_ADDRESSES) + 64;
    std::size_t calls = 0;
    std::vector<std::pair<bool, ULONG>> seen; // (buffer given, size given)

    AdapterQuery Function()
    {
        return [this](ULONG family, ULONG flags, PVOID reserved, PIP_ADAPTER_ADDRESSES buffer, PULONG size)
        {
            EXPECT_EQ(family, static_cast<ULONG>(AF_UNSPEC));
            EXPECT_EQ(flags, 0u);
            EXPECT_EQ(reserved, nullptr);
            seen.emplace_back(buffer != nullptr, *size);
            const ULONG result = calls < results.size() ? results[calls] : ERROR_INVALID_PARAMETER;
            ++calls;
            if (result == ERROR_BUFFER_OVERFLOW)
            {
                neededSize += 16; // a system whose adapter set keeps growing
                *size = neededSize;
            }
            else if (result == NO_ERROR && buffer && *size >= sizeof(IP_ADAPTER_ADDRESSES))
            {
                auto* record = new (buffer) IP_ADAPTER_ADDRESSES{};
                record->IfType = IF_TYPE_ETHERNET_CSMACD;
                record->PhysicalAddressLength = 2;
                record->PhysicalAddress[0] = 0xAB;
                record->PhysicalAddress[1] = 0x01;
                record->FriendlyName = const_cast<wchar_t*>(L"Scripted");
            }
            return result;
        };
    }
};

TEST(AdapterList, CollectRetriesOnBufferOverflowAtMostFiveCalls)
{
    struct Case
    {
        const char* name;
        std::vector<ULONG> results;
        int expectedKept;
        std::size_t expectedCalls;
    };
    const ULONG overflow = ERROR_BUFFER_OVERFLOW;
    const Case cases[] = {
        {"one overflow, then success", {overflow, NO_ERROR}, 1, 2},
        {"four overflows, then success", {overflow, overflow, overflow, overflow, NO_ERROR}, 1, 5},
        {"five overflows give up", {overflow, overflow, overflow, overflow, overflow, NO_ERROR}, 0, 5},
        {"other error", {overflow, ERROR_NOT_ENOUGH_MEMORY}, 0, 2},
        {"no adapters at all", {ERROR_NO_DATA}, 0, 1},
        {"success with an empty chain", {NO_ERROR}, 0, 1},
    };
    for (const Case& c : cases)
    {
        ScriptedQuery query;
        query.results = c.results;
        AdapterList list;
        list.Add(std::make_unique<AdapterInfo>());
        TickSink sink;
        EXPECT_EQ(list.Collect(&sink, query.Function()), c.expectedKept) << c.name;
        EXPECT_EQ(static_cast<int>(list.Count()), c.expectedKept) << c.name;
        EXPECT_EQ(query.calls, c.expectedCalls) << c.name;
        EXPECT_EQ(sink.bigTicks, c.expectedKept) << c.name;
        ASSERT_FALSE(query.seen.empty());
        EXPECT_EQ(query.seen[0], std::make_pair(false, 0ul)) << c.name << ": first call without a buffer";
        for (std::size_t i = 1; i < query.seen.size(); ++i)
            EXPECT_TRUE(query.seen[i].first && query.seen[i].second >= sizeof(IP_ADAPTER_ADDRESSES))
                << c.name << " call " << i + 1;
        if (c.expectedKept)
        {
            EXPECT_EQ(list.First()->Index(), 1);
            EXPECT_EQ(Narrow(list.First()->PhysicalAddressText()), "AB-01");
        }
    }
}

TEST(AdapterInfo, HardwareAddressAndTypeTexts)
{
    const BYTE bytes[9] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0x6F, 0x70, 0x81};
    const std::pair<int, const char*> macs[] = {
        {6, "00-1A-2B-3C-4D-5E"}, {1, "00"}, {8, "00-1A-2B-3C-4D-5E-6F-70"}, {0, ""}};
    for (const auto& [length, text] : macs)
        EXPECT_EQ(Narrow(PhysicalAddressText(bytes, length)), text) << length;
    EXPECT_EQ(Narrow(PhysicalAddressText(nullptr, 6)), "");

    const std::pair<std::uint32_t, const char*> types[] = {
        {6, "ETHERNET_CSMACD"}, {71, "IEEE80211"}, {24, "??? (00000018)"}, {0xABCDEF01u, "??? (ABCDEF01)"}};
    for (const auto& [type, text] : types)
        EXPECT_EQ(Narrow(InterfaceTypeText(type)), text) << type;

    // A record claiming more bytes than it can hold is read only up to its array.
    Chain chain;
    IP_ADAPTER_ADDRESSES& record = chain.Adapter(IF_TYPE_ETHERNET_CSMACD, {1, 2, 3, 4, 5, 6, 7, 8});
    record.PhysicalAddressLength = 200;
    auto adapter = AdapterInfo::FromRecord(record, 4);
    EXPECT_EQ(adapter->PhysicalAddressLength(), 8);
    EXPECT_EQ(Narrow(adapter->PhysicalAddressText()), "01-02-03-04-05-06-07-08");
    EXPECT_EQ(adapter->Index(), 4);
}

TEST(FormatIpAddress, SystemFormAndFallbackForm)
{
    ASSERT_TRUE(IsInetNtopAvailable()) << "Ws2_32.dll exports InetNtopW since Vista";
    struct Case
    {
        int family;
        std::vector<BYTE> bytes;
        const char* system;
        const char* fallback;
    };
    const Case cases[] = {
        {AF_INET, {192, 168, 1, 10}, "192.168.1.10", "192.168.1.10"},
        {AF_INET, {0, 0, 0, 0}, "0.0.0.0", "0.0.0.0"},
        {AF_INET, {255, 255, 255, 255}, "255.255.255.255", "255.255.255.255"},
        {AF_INET6, kFe80_1, "fe80::1", "fe80:0:0:0:0:0:0:1"},
        {AF_INET6,
         {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0xff, 0, 0, 0x42, 0x83, 0x29},
         "2001:db8::ff00:42:8329",
         "2001:db8:0:0:0:ff00:42:8329"},
        {AF_INET6, std::vector<BYTE>(16, 0), "::", "0:0:0:0:0:0:0:0"},
        {AF_NETBIOS, {1, 2, 3, 4}, "-", "-"},
        {0, {1, 2, 3, 4}, "-", "-"},
    };
    for (const Case& c : cases)
    {
        std::vector<BYTE> padded = c.bytes;
        padded.resize(16);
        EXPECT_EQ(Narrow(FormatIpAddress(c.family, padded.data())), c.system) << c.system;
        EXPECT_EQ(Narrow(FallbackIpAddressText(c.family, padded.data())), c.fallback) << c.fallback;
    }
    EXPECT_EQ(Narrow(FormatIpAddress(AF_INET, nullptr)), "-");
    EXPECT_EQ(Narrow(FallbackIpAddressText(AF_INET6, nullptr)), "-");
}

TEST(IPinfo, DisplayTextWithAndWithoutHostName)
{
    IPinfo info{AF_INET, L"192.168.1.10", L""};
    EXPECT_EQ(Narrow(info.DisplayText()), "192.168.1.10");
    info.hostName = L"desk-07.example";
    EXPECT_EQ(Narrow(info.DisplayText()), "192.168.1.10  [ desk-07.example ]");
}

TEST(LookUpHostName, NameOrEmpty)
{
    SOCKADDR_IN loopback{};
    loopback.sin_family = AF_INET;
    loopback.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::wstring name = L"junk";
    LookUpHostName(reinterpret_cast<SOCKADDR*>(&loopback), sizeof(loopback), name);
    EXPECT_FALSE(name.empty());
    EXPECT_EQ(name.find(L'\0'), std::wstring::npos) << "cut at the first NUL";
    EXPECT_LT(name.size(), 1025u);

    name = L"junk";
    LookUpHostName(nullptr, 16, name);
    EXPECT_TRUE(name.empty());
}

// The workstation (here: Wine's view of this machine) has at least one wired
// adapter with an address.
TEST(AdapterList, RealCollectFindsAnEthernetAdapterWithAddresses)
{
    AdapterList list;
    TickSink sink;
    const int kept = list.Collect(&sink);
    ASSERT_GE(kept, 1);
    EXPECT_EQ(static_cast<int>(list.Count()), kept);
    EXPECT_GE(sink.bigTicks, kept);
    bool ethernetWithAddress = false;
    int lastIndex = 0;
    for (AdapterInfo* a = list.First(); a; a = list.Next())
    {
        EXPECT_TRUE(a->InterfaceType() == 6 || a->InterfaceType() == 71) << a->InterfaceType();
        EXPECT_GT(a->PhysicalAddressLength(), 0);
        EXPECT_EQ(a->PhysicalAddressText().size(),
                  static_cast<std::size_t>(a->PhysicalAddressLength() * 3 - 1));
        EXPECT_GT(a->Index(), lastIndex);
        lastIndex = a->Index();
        if (a->InterfaceType() == 6 && !a->Unicast().IsEmpty())
            ethernetWithAddress = true;
    }
    EXPECT_TRUE(ethernetWithAddress);
}

} // namespace
