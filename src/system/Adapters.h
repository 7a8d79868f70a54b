#pragma once
// The workstation's wired and wireless network adapters with their addresses.

#include "misc/CollectorContracts.h"
#include "misc/List.h"

// Winsock first: the IP Helper declarations need its types.
#include <winsock2.h>

#include <ws2tcpip.h>

#include <iphlpapi.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// One IP address of an adapter.
struct IPinfo
{
    int family = 0; // AF_INET (2) or AF_INET6 (23)
    std::wstring address;
    std::wstring hostName; // empty when the reverse lookup found nothing

    // The address, or "<address>  [ <host name> ]" when a name is known.
    std::wstring DisplayText() const;
};

class IPinfoList : public Misc::List<IPinfo>
{
  public:
    bool HasFamily(int family) const;
};

class AdapterInfo
{
  public:
    AdapterInfo() = default;
    AdapterInfo(const AdapterInfo&) = delete;
    AdapterInfo& operator=(const AdapterInfo&) = delete;
    virtual ~AdapterInfo() = default;

    // Copies what the program keeps of one adapter record; the record's index is its
    // 1-based position in the system's chain.
    static std::unique_ptr<AdapterInfo> FromRecord(const IP_ADAPTER_ADDRESSES& record, int index);

    int Index() const noexcept { return m_index; }
    int PhysicalAddressLength() const noexcept { return m_physicalAddressLength; }
    const BYTE* PhysicalAddressBytes() const noexcept { return m_physicalAddress.get(); }
    const std::wstring& PhysicalAddressText() const noexcept { return m_physicalAddressText; }
    const std::wstring& FriendlyName() const noexcept { return m_friendlyName; }
    const std::wstring& Description() const noexcept { return m_description; }
    std::uint32_t InterfaceType() const noexcept { return m_interfaceType; }
    const std::wstring& InterfaceTypeText() const noexcept { return m_interfaceTypeText; }

    IPinfoList& Unicast() noexcept { return m_unicast; }
    IPinfoList& Anycast() noexcept { return m_anycast; }
    IPinfoList& Multicast() noexcept { return m_multicast; }
    const IPinfoList& Unicast() const noexcept { return m_unicast; }
    const IPinfoList& Anycast() const noexcept { return m_anycast; }
    const IPinfoList& Multicast() const noexcept { return m_multicast; }

    // For building an adapter by hand (tests, and models read back from elsewhere).
    void SetIndex(int index) noexcept { m_index = index; }
    void SetPhysicalAddress(const BYTE* bytes, int length);
    void SetNames(const std::wstring& friendlyName, const std::wstring& description);
    void SetInterfaceType(std::uint32_t type);

  private:
    int m_index = 0;
    int m_physicalAddressLength = 0;
    std::unique_ptr<BYTE[]> m_physicalAddress;
    std::wstring m_physicalAddressText;
    std::wstring m_friendlyName;
    std::wstring m_description;
    std::uint32_t m_interfaceType = 0;
    std::wstring m_interfaceTypeText;
    IPinfoList m_unicast;
    IPinfoList m_anycast;
    IPinfoList m_multicast;
};

// The call that fills a buffer with the adapter record chain, in the form of
// GetAdaptersAddresses (family, flags, reserved, buffer, size in bytes).
using AdapterQuery = std::function<ULONG(ULONG family, ULONG flags, PVOID reserved,
                                         PIP_ADAPTER_ADDRESSES buffer, PULONG size)>;

class AdapterList : public Misc::List<AdapterInfo>
{
  public:
    static constexpr int kMaxQueryCalls = 5;

    // Empties the list and fills it with the kept adapters; gives their number.
    int Collect(IStatusInfo* status);
    int Collect(IStatusInfo* status, const AdapterQuery& query);
    // Adds the kept records of a chain; every record, kept or not, ticks once.
    int AddFromChain(const IP_ADAPTER_ADDRESSES* first, IStatusInfo* status);

  private:
    int CollectFrom(IStatusInfo* status, const AdapterQuery& query);
};

// Ethernet and IEEE 802.11 adapters with a hardware address are kept.
bool IsKeptAdapter(const IP_ADAPTER_ADDRESSES& record);

std::wstring PhysicalAddressText(const BYTE* bytes, int length);
std::wstring InterfaceTypeText(std::uint32_t type);

// The text of a raw IPv4 (4 bytes) or IPv6 (16 bytes) address: InetNtopW when the
// system has it, otherwise the fallback form; "-" for other families.
std::wstring FormatIpAddress(int family, const void* address);
// "%d.%d.%d.%d", or eight uncompressed hexadecimal groups; "-" for other families.
std::wstring FallbackIpAddressText(int family, const void* address);
bool IsInetNtopAvailable();

// The host name of a socket address by reverse lookup, or empty.
void LookUpHostName(const SOCKADDR* address, int length, std::wstring& name);
