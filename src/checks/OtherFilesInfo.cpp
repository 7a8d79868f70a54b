#include "checks/OtherFilesInfo.h"

#include "report/FileSystem.h"
#include "report/TmpFileManager.h"

OtherFilesInfo::FileEntry::FileEntry(const std::wstring& path, Misc::AFileManager* manager)
    : m_path(path), m_fileName(Misc::ComposePath(path, Misc::PathFileName)),
      m_folder(Misc::ComposePath(path, Misc::PathFolder)), m_manager(manager)
{
    if (m_manager)
        m_manager->AddRef();
}

// The staged file goes with its entry; the manager may go with its last holder.
OtherFilesInfo::FileEntry::~FileEntry()
{
    if (!m_manager)
        return;
    m_manager->Release(m_path);
    m_manager->ReleaseRef();
}

OtherFilesInfo::OtherFilesInfo(Misc::AFileManager* manager) : m_manager(manager) {}

// The entries go before the collector's own reference: the manager then deletes its
// staging folder as its last holder lets go.
OtherFilesInfo::~OtherFilesInfo()
{
    Clear();
    if (m_manager)
        m_manager->ReleaseRef();
}

void OtherFilesInfo::Add(std::unique_ptr<FileEntry> entry)
{
    m_entries.Add(std::move(entry));
}

void OtherFilesInfo::Clear()
{
    m_entries.Clear();
    m_registryOutcomes.clear();
}
