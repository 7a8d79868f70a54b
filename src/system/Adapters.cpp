#include "system/Adapters.h"

#include "misc/DllFunc.h"
#include "misc/Text.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <new>

namespace
{

constexpr std::uint32_t kEthernet = IF_TYPE_ETHERNET_CSMACD;
constexpr std::uint32_t kWireless = IF_TYPE_IEEE80211;
constexpr int kIpv4SocketAddressLength = 16;
constexpr int kIpv6SocketAddressLength = 28;
constexpr std::size_t kAddressTextChars = 256;
constexpr std::size_t kHostNameChars = NI_MAXHOST;

using InetNtopFunction = PCWSTR WINAPI(INT family, const VOID* address, PWSTR buffer, size_t chars);

// Resolved once at start-up: systems before Vista lack InetNtopW, and the library
// stays loaded until the program ends.
const Misc::DllFunc<InetNtopFunction> g_inetNtop(L"Ws2_32.dll", "InetNtopW");

std::wstring FromRecordText(const wchar_t* text)
{
    return text ? std::wstring(text) : std::wstring();
}

const BYTE* RawAddressOf(const SOCKADDR* address)
{
    if (address->sa_family == AF_INET)
        return reinterpret_cast<const BYTE*>(&reinterpret_cast<const SOCKADDR_IN*>(address)->sin_addr);
    return reinterpret_cast<const BYTE*>(&reinterpret_cast<const SOCKADDR_IN6*>(address)->sin6_addr);
}

// Unicast, anycast and multicast records differ in type but share the link and the
// socket address.
template <typename Record> void AddAddresses(const Record* record, IPinfoList& list)
{
    for (; record; record = record->Next)
    {
        const SOCKADDR* address = record->Address.lpSockaddr;
        if (!address || (address->sa_family != AF_INET && address->sa_family != AF_INET6))
            continue;
        auto info = std::make_unique<IPinfo>();
        info->family = address->sa_family;
        info->address = FormatIpAddress(info->family, RawAddressOf(address));
        LookUpHostName(address, info->family == AF_INET ? kIpv4SocketAddressLength : kIpv6SocketAddressLength,
                       info->hostName);
        list.Add(std::move(info));
    }
}

ULONG QuerySystemAdapters(ULONG family, ULONG flags, PVOID reserved, PIP_ADAPTER_ADDRESSES buffer,
                          PULONG size)
{
    return ::GetAdaptersAddresses(family, flags, reserved, buffer, size);
}

} // namespace

std::wstring IPinfo::DisplayText() const
{
    if (hostName.empty())
        return address;
    return Misc::Format(L"%ls  [ %ls ]", address.c_str(), hostName.c_str());
}

bool IPinfoList::HasFamily(int family) const
{
    bool found = false;
    ForEach([&](const IPinfo& info) { found = found || info.family == family; });
    return found;
}

void AdapterInfo::SetPhysicalAddress(const BYTE* bytes, int length)
{
    if (!bytes || length <= 0)
    {
        m_physicalAddress.reset();
        m_physicalAddressLength = 0;
    }
    else
    {
        m_physicalAddress = std::make_unique<BYTE[]>(static_cast<std::size_t>(length));
        std::memcpy(m_physicalAddress.get(), bytes, static_cast<std::size_t>(length));
        m_physicalAddressLength = length;
    }
    m_physicalAddressText = ::PhysicalAddressText(m_physicalAddress.get(), m_physicalAddressLength);
}

void AdapterInfo::SetNames(const std::wstring& friendlyName, const std::wstring& description)
{
    m_friendlyName = friendlyName;
    m_description = description;
}

void AdapterInfo::SetInterfaceType(std::uint32_t type)
{
    m_interfaceType = type;
    m_interfaceTypeText = ::InterfaceTypeText(type);
}

// A record never holds more than eight hardware address bytes; a larger length is
// not trusted beyond the record's own array.
std::unique_ptr<AdapterInfo> AdapterInfo::FromRecord(const IP_ADAPTER_ADDRESSES& record, int index)
{
    auto adapter = std::make_unique<AdapterInfo>();
    adapter->SetIndex(index);
    const int length =
        static_cast<int>(std::min<ULONG>(record.PhysicalAddressLength, MAX_ADAPTER_ADDRESS_LENGTH));
    adapter->SetPhysicalAddress(record.PhysicalAddress, length);
    adapter->SetNames(FromRecordText(record.FriendlyName), FromRecordText(record.Description));
    adapter->SetInterfaceType(record.IfType);
    AddAddresses(record.FirstUnicastAddress, adapter->m_unicast);
    AddAddresses(record.FirstAnycastAddress, adapter->m_anycast);
    AddAddresses(record.FirstMulticastAddress, adapter->m_multicast);
    return adapter;
}

bool IsKeptAdapter(const IP_ADAPTER_ADDRESSES& record)
{
    return (record.IfType == kEthernet || record.IfType == kWireless) && record.PhysicalAddressLength > 0;
}

int AdapterList::Collect(IStatusInfo* status)
{
    return Collect(status, QuerySystemAdapters);
}

// The needed size can grow between two calls when an adapter appears; five calls in
// all are enough for any real system, and a chain that keeps growing gives nothing
// rather than an endless loop.
int AdapterList::Collect(IStatusInfo* status, const AdapterQuery& query)
{
    // Memory running out part way leaves no half list: no adapters, as for a failed query.
    try
    {
        return CollectFrom(status, query);
    }
    catch (const std::bad_alloc&)
    {
        Clear();
        return 0;
    }
}

int AdapterList::CollectFrom(IStatusInfo* status, const AdapterQuery& query)
{
    Clear();
    if (!query)
        return 0;
    std::unique_ptr<ULONGLONG[]> buffer; // 8-byte aligned, as the records need
    ULONG size = 0;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int call = 0; call < kMaxQueryCalls && result == ERROR_BUFFER_OVERFLOW; ++call)
    {
        if (call > 0)
        {
            buffer.reset();
            if (size > 0)
            {
                buffer.reset(new (std::nothrow) ULONGLONG[(static_cast<std::size_t>(size) + 7) / 8]());
                if (!buffer)
                    return 0;
            }
        }
        result = query(AF_UNSPEC, 0, nullptr, reinterpret_cast<PIP_ADAPTER_ADDRESSES>(buffer.get()), &size);
    }
    if (result != NO_ERROR || !buffer)
        return 0;
    return AddFromChain(reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.get()), status);
}

int AdapterList::AddFromChain(const IP_ADAPTER_ADDRESSES* first, IStatusInfo* status)
{
    int kept = 0;
    int index = 0;
    for (const IP_ADAPTER_ADDRESSES* record = first; record; record = record->Next)
    {
        ++index;
        if (status)
            status->Tick(true);
        if (!IsKeptAdapter(*record))
            continue;
        Add(AdapterInfo::FromRecord(*record, index));
        ++kept;
    }
    return kept;
}

std::wstring PhysicalAddressText(const BYTE* bytes, int length)
{
    std::wstring text;
    if (!bytes)
        return text;
    for (int i = 0; i < length; ++i)
        text += Misc::Format(i == 0 ? L"%02X" : L"-%02X", bytes[i]);
    return text;
}

std::wstring InterfaceTypeText(std::uint32_t type)
{
    switch (type)
    {
    case kEthernet:
        return L"ETHERNET_CSMACD";
    case kWireless:
        return L"IEEE80211";
    default:
        return Misc::Format(L"??? (%08X)", static_cast<unsigned>(type));
    }
}

bool IsInetNtopAvailable()
{
    return g_inetNtop.IsAvailable();
}

std::wstring FormatIpAddress(int family, const void* address)
{
    if (!address)
        return L"-";
    if (g_inetNtop && (family == AF_INET || family == AF_INET6))
    {
        wchar_t buffer[kAddressTextChars] = {};
        if (g_inetNtop(family, address, buffer, kAddressTextChars))
            return std::wstring(buffer, ::wcsnlen(buffer, kAddressTextChars));
    }
    return FallbackIpAddressText(family, address);
}

std::wstring FallbackIpAddressText(int family, const void* address)
{
    if (!address)
        return L"-";
    const BYTE* b = static_cast<const BYTE*>(address);
    if (family == AF_INET)
        return Misc::Format(L"%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
    if (family == AF_INET6)
    {
        unsigned groups[8];
        for (int i = 0; i < 8; ++i)
            groups[i] = (static_cast<unsigned>(b[2 * i]) << 8) | b[2 * i + 1];
        return Misc::Format(L"%x:%x:%x:%x:%x:%x:%x:%x", groups[0], groups[1], groups[2], groups[3], groups[4],
                            groups[5], groups[6], groups[7]);
    }
    return L"-";
}

// Each lookup may wait on the name service; a missing name is not an error.
void LookUpHostName(const SOCKADDR* address, int length, std::wstring& name)
{
    name.clear();
    if (!address || length <= 0)
        return;
    std::wstring host(kHostNameChars, L'\0');
    if (::GetNameInfoW(address, length, host.data(), static_cast<DWORD>(kHostNameChars), nullptr, 0,
                       NI_NAMEREQD) != 0)
        return;
    host.resize(::wcsnlen(host.c_str(), kHostNameChars));
    name = std::move(host);
}
