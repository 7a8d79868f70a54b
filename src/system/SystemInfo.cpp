#include "system/SystemInfo.h"

void SystemInfo::Clear()
{
    m_os.Reset();
    m_adapters.Clear();
}

// A scan starts from nothing: facts of an earlier scan never mix with this one's.
void SystemInfo::Scan(IStatusInfo* status)
{
    Clear();
    if (status)
        status->ShowActivity(L"SCANNING SYSTEM ...");
    m_os.Collect(status);
    if (status)
        status->ShowActivity(L"SCANNING ADAPTERS ...");
    m_adapters.Collect(status);
}
