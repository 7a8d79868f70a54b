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

    WIN32_FIND_DATAW entry = {};
    Misc::FindHandle find(::FindFirstFileW(Misc::JoinPath(m_fullPath, L"*.*").c_str(), &entry));
    if (!find)
        return false;
    const bool flat = (m_options & OptionFlat) != 0;
    bool accepted = false;
    do
    {
        const std::wstring name = entry.cFileName;
        switch (ClassifyWalkEntry(entry.dwFileAttributes, name, flat))
        {
        case WalkEntry::Skip:
            break;
        case WalkEntry::Descend:
            accepted = WalkSubFolder(*this, name, chain, status) || accepted;
            break;
        case WalkEntry::Offer:
            if (status)
                status->Tick(false);
            accepted = chain->Process(this, m_mainFolder, m_subFolder, name) || accepted;
            break;
        }
    } while (::FindNextFileW(find.Get(), &entry));
    return accepted;
}
