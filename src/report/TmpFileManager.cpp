#include "report/TmpFileManager.h"

#include "misc/Text.h"
#include "report/FileSystem.h"

#include <windows.h>

#include <cwchar>

namespace Misc
{

namespace
{

constexpr DWORD kTempPathChars = 260;

AFileManager* g_sharedFileManager = nullptr;

void DeleteIfPresent(const std::wstring& path)
{
    // A file that another program holds open stays; it is forgotten all the same.
    if (Misc::PathExists(path))
        ::DeleteFileW(path.c_str());
}

// A name such as "..\x" or "sub/../../x" would hand out a path outside the folder,
// which ReleaseAll would later delete: a name is one plain file name, and the path it
// gives must resolve to a place inside the folder.
bool LiesInside(const std::wstring& folder, const std::wstring& name, const std::wstring& path)
{
    if (name.empty() || name == L"." || name == L".." || name.find_first_of(L"\\/:") != std::wstring::npos)
        return false;
    std::wstring prefix = FullPath(folder);
    if (prefix.empty())
        return false;
    if (prefix.back() != L'\\')
        prefix += L'\\';
    const std::wstring resolved = FullPath(path);
    return resolved.size() > prefix.size() && EqualsNoCase(resolved.substr(0, prefix.size()), prefix) &&
           resolved.find(L'\\', prefix.size()) == std::wstring::npos;
}

} // namespace

std::unique_ptr<std::wstring> AFileManager::FileList::Remove(const std::wstring* entry)
{
    for (auto it = m_nodes.begin(); it != m_nodes.end(); ++it)
    {
        if (it->get() == entry)
        {
            std::unique_ptr<std::wstring> taken = std::move(*it);
            if (m_cursor == it)
                m_cursor = m_nodes.end();
            m_nodes.erase(it);
            return taken;
        }
    }
    return nullptr;
}

std::unique_ptr<std::wstring> AFileManager::FileList::TakeFirst()
{
    return m_nodes.empty() ? nullptr : Remove(m_nodes.front().get());
}

// The temporary directory is read once: the managers and the readers of it (log file
// lookup, the installed-files scan) all see the same directory for the whole run.
AFileManager::AFileManager()
{
    wchar_t buffer[kTempPathChars] = {};
    const DWORD length = ::GetTempPathW(kTempPathChars, buffer);
    if (length > 0 && length < kTempPathChars)
        m_tempDir.assign(buffer, ::wcsnlen(buffer, kTempPathChars));
}

AFileManager::~AFileManager()
{
    ReleaseAll();
}

// Leftover folders of earlier runs are never reused or deleted: the first free number
// wins. When no folder can be had, names go directly into the temporary directory.
bool AFileManager::EnsureFolder()
{
    if (!m_folderPath.empty())
        return true;
    if (m_tempDir.empty())
    {
        m_folderPath.clear();
        return false;
    }
    for (int n = 1; n <= kMaxFolderNumber; ++n)
    {
        const std::wstring name = Format(L"tmp_Orvo_%d", n);
        const std::wstring candidate = Misc::JoinPath(m_tempDir, name);
        if (Misc::PathExists(candidate))
            continue;
        if (Misc::CreateDir(candidate) == 0 && Misc::PathExists(candidate))
        {
            m_folderName = name;
            m_folderPath = candidate;
            return true;
        }
        break;
    }
    m_folderName.clear();
    if (Misc::PathExists(m_tempDir))
    {
        m_folderPath = m_tempDir;
        return true;
    }
    m_folderPath.clear();
    return false;
}

const std::wstring* AFileManager::Find(const std::wstring& path)
{
    if (path.empty())
        return nullptr;
    const std::wstring* found = nullptr;
    m_files.ForEach(
        [&](const std::wstring& entry)
        {
            if (!found && EqualsNoCase(entry, path))
                found = &entry;
        });
    return found;
}

// The file is not created: the caller writes it. A leftover file of the same name is
// never reused or overwritten.
std::wstring AFileManager::Register(const std::wstring& name)
{
    if (!EnsureFolder())
        return {};
    const std::wstring path = Misc::JoinPath(m_folderPath, name);
    if (!LiesInside(m_folderPath, name, path))
        return {};
    if (Find(path) || Misc::PathExists(path))
        return {};
    m_files.Add(std::make_unique<std::wstring>(path));
    return path;
}

// Paths this manager never handed out (a product's own log file) are left alone.
void AFileManager::Release(const std::wstring& path)
{
    const std::wstring* entry = Find(path);
    if (!entry)
        return;
    std::unique_ptr<std::wstring> taken = m_files.Remove(entry);
    DeleteIfPresent(*taken);
}

// The folder goes with everything in it, also files that were never registered; the
// temporary directory itself (the fallback) is never removed.
void AFileManager::ReleaseAll()
{
    while (std::unique_ptr<std::wstring> taken = m_files.TakeFirst())
        DeleteIfPresent(*taken);
    if (!m_folderPath.empty() && !m_folderName.empty())
        Misc::DeleteDirectoryTree(m_folderPath);
    m_folderName.clear();
    m_folderPath.clear();
}

void AFileManager::ReleaseRef()
{
    if (m_holders < 2)
    {
        const bool last = m_holders == 1;
        m_holders = 0;
        if (last)
            delete this;
        return;
    }
    --m_holders;
}

TmpFileManager::TmpFileManager()
{
    if (g_sharedFileManager)
        g_sharedFileManager->AddRef();
    else
        g_sharedFileManager = new AFileManager();
}

TmpFileManager::~TmpFileManager()
{
    if (!g_sharedFileManager)
        return;
    AFileManager* shared = g_sharedFileManager;
    if (shared->HolderCount() < 2)
        g_sharedFileManager = nullptr;
    shared->ReleaseRef();
}

AFileManager* TmpFileManager::Shared()
{
    return g_sharedFileManager;
}

} // namespace Misc
