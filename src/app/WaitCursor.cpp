#include "app/WaitCursor.h"

#include <windows.h>

namespace
{

class SystemWaitCursor : public IWaitCursor
{
  public:
    void Begin() override
    {
        HCURSOR previous = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
        if (m_depth++ == 0)
            m_restore = previous;
    }
    void Restore() override
    {
        if (m_depth > 0)
            ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    }
    void End() override
    {
        if (m_depth == 0)
            return;
        if (--m_depth == 0)
            ::SetCursor(m_restore ? m_restore : ::LoadCursorW(nullptr, IDC_ARROW));
        else
            ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    }

  private:
    int m_depth = 0;
    HCURSOR m_restore = nullptr;
};

SystemWaitCursor g_systemWaitCursor;
IWaitCursor* g_waitCursor = &g_systemWaitCursor;

} // namespace

IWaitCursor& WaitCursor()
{
    return *g_waitCursor;
}

IWaitCursor* SetWaitCursor(IWaitCursor* cursor)
{
    IWaitCursor* previous = g_waitCursor;
    g_waitCursor = cursor ? cursor : &g_systemWaitCursor;
    return previous;
}
