#include "logs/ShellOpen.h"

#include <windows.h>

#include <shellapi.h>

#include <utility>

namespace
{

ShellOpenHandler& Handler()
{
    static ShellOpenHandler handler;
    return handler;
}

} // namespace

// The default verb with no owner window: the associated program decides how it shows
// the log. A failure of the shell has nothing the user could act on here.
void OpenWithShell(const std::wstring& path)
{
    if (const ShellOpenHandler& handler = Handler())
    {
        handler(path);
        return;
    }
    ::ShellExecuteW(nullptr, nullptr, path.c_str(), nullptr, nullptr, SW_SHOW);
}

ShellOpenHandler SetShellOpenHandler(ShellOpenHandler handler)
{
    return std::exchange(Handler(), std::move(handler));
}
