#include "app/ShowInFolder.h"

#include <windows.h>

#include <shlobj.h>

#include <utility>

namespace
{

ShowInFolderHandler& Handler()
{
    static ShowInFolderHandler handler;
    return handler;
}

} // namespace

bool ShowInFolder(const std::wstring& path)
{
    if (const ShowInFolderHandler& handler = Handler())
        return handler(path);
    PIDLIST_ABSOLUTE item = nullptr;
    if (FAILED(::SHParseDisplayName(path.c_str(), nullptr, &item, 0, nullptr)) || !item)
        return false;
    const bool shown = SUCCEEDED(::SHOpenFolderAndSelectItems(item, 0, nullptr, 0));
    ::CoTaskMemFree(item);
    return shown;
}

ShowInFolderHandler SetShowInFolderHandler(ShowInFolderHandler handler)
{
    return std::exchange(Handler(), std::move(handler));
}
