#pragma once
// The System model: operating-system facts and network adapters.

#include "system/Adapters.h"
#include "system/OsFacts.h"

class SystemInfo
{
  public:
    SystemInfo() = default;
    SystemInfo(const SystemInfo&) = delete;
    SystemInfo& operator=(const SystemInfo&) = delete;
    virtual ~SystemInfo() = default;

    // Back to the facts of no scan: reset facts, no adapters.
    void Clear();
    // Collects the operating-system facts, then the adapters. `status` may be null.
    void Scan(IStatusInfo* status);

    OsFacts& Os() noexcept { return m_os; }
    const OsFacts& Os() const noexcept { return m_os; }
    AdapterList& Adapters() noexcept { return m_adapters; }
    const AdapterList& Adapters() const noexcept { return m_adapters; }

  private:
    OsFacts m_os;
    AdapterList m_adapters;
};
