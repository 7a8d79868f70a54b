#include "inventory/FolderWalk.h"

#include "inventory/ApplicationsInfo.h"
#include "misc/CollectorContracts.h"
#include "misc/Handles.h"
#include "report/FileSystem.h"

#include <new>

WalkEntry ClassifyWalkEntry(DWORD attributes, const std::wstring& name, bool flatFolder)
{
    if (attributes & FILE_ATTRIBUTE_TEMPORARY)
        return WalkEntry::Skip;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return WalkEntry::Offer;
    if (flatFolder || name == L"." || name == L".." || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return WalkEntry::Skip;
    return WalkEntry::Descend;
}

namespace
{

using FolderContent = ApplicationsInfo::FolderContent;

// A sub-folder is kept only when something below it was accepted.
bool WalkSubFolder(FolderContent& parent, const std::wstring& name, ApplicationsInfo::FileProcessor* chain,
                   IStatusInfo* status)
{
    std::unique_ptr<FolderContent> sub;
    try
    {
        sub = std::make_unique<FolderContent>(parent.MainFolder(), Misc::JoinPath(parent.SubFolder(), name),
                                              name, 0, false);
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    if (!sub->Walk(chain, status))
        return false;
    parent.AddFolder(std::move(sub));
    return true;
}

// One entry of the listing; true when a file was accepted in it or below it.
bool VisitEntry(FolderContent& folder, const WIN32_FIND_DATAW& entry, bool flat,
                ApplicationsInfo::FileProcessor* chain, IStatusInfo* status)
{
    const std::wstring name = entry.cFileName;
    switch (ClassifyWalkEntry(entry.dwFileAttributes, name, flat))
    {
    case WalkEntry::Skip:
        return false;
    case WalkEntry::Descend:
        return WalkSubFolder(folder, name, chain, status);
    case WalkEntry::Offer:
        if (status)
            status->Tick(false);
        return chain->Process(&folder, folder.MainFolder(), folder.SubFolder(), name);
    }
    return false;
}

} // namespace

// Hidden and system entries are treated like all others; the listing's own order is
// kept, the sorted lists order what is kept.
bool ApplicationsInfo::FolderContent::Walk(FileProcessor* processors, IStatusInfo* status)
{
    if (m_fullPath.empty())
    {
        bool accepted = false;
        for (FolderContent* folder = m_folders.First(); folder; folder = m_folders.Next())
            accepted = folder->Walk(processors, status) || accepted;
        return accepted;
    }
    FileProcessor* chain = processors ? processors : m_processors.get();
    if (!chain)
        return false;

    std::wstring pattern;
    try
    {
        pattern = Misc::JoinPath(m_fullPath, L"*.*");
    }
    catch (const std::bad_alloc&)
    {
        return false; // a folder that cannot be listed
    }
    WIN32_FIND_DATAW entry = {};
    Misc::FindHandle find(::FindFirstFileW(pattern.c_str(), &entry));
    m_listError = find ? 0 : ::GetLastError();
    if (!find)
        return false;
    const bool flat = (m_options & OptionFlat) != 0;
    bool accepted = false;
    do
    {
        // Memory running out while one entry is looked at leaves that entry out (a
        // record keeps what it got); the walk goes on with the next one.
        try
        {
            accepted = VisitEntry(*this, entry, flat, chain, status) || accepted;
        }
        catch (const std::bad_alloc&)
        {
        }
    } while (::FindNextFileW(find.Get(), &entry));
    return accepted;
}
