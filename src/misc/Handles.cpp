#include "misc/Handles.h"

#include <winsock2.h>

namespace Misc
{

WinsockScope::WinsockScope() noexcept
{
    WSADATA data = {};
    m_started = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    if (m_started && data.wVersion != MAKEWORD(2, 2))
    {
        ::WSACleanup();
        m_started = false;
    }
}

WinsockScope::~WinsockScope()
{
    if (m_started)
        ::WSACleanup();
}

} // namespace Misc
