#pragma once
// Staging folders "tmp_Orvo_%d" in the user's temporary directory for the files that
// are written only to go into the archive. A manager reserves names, remembers them
// and deletes them again; it never writes a file itself.

#include "misc/List.h"

#include <memory>
#include <string>

namespace Misc
{

class AFileManager
{
  public:
    static constexpr int kMaxFolderNumber = 99;

    AFileManager();
    AFileManager(const AFileManager&) = delete;
    AFileManager& operator=(const AFileManager&) = delete;
    virtual ~AFileManager();

    bool EnsureFolder();
    // The registered path equal to `path` regardless of letter case, or null.
    const std::wstring* Find(const std::wstring& path);
    // A full path for `name` in the folder, or empty when the name is taken,
    // exists on disk already or no folder is available.
    std::wstring Register(const std::wstring& name);
    void Release(const std::wstring& path);
    void ReleaseAll();

    // Holder count: a manager is heap-allocated when shared; the last ReleaseRef
    // deletes it.
    void AddRef() { ++m_holders; }
    void ReleaseRef();
    int HolderCount() const { return m_holders; }

    const std::wstring& TemporaryDirectory() const { return m_tempDir; }
    const std::wstring& FolderName() const { return m_folderName; }
    const std::wstring& FolderPath() const { return m_folderPath; }
    std::size_t RegisteredCount() const { return m_files.Count(); }

  private:
    int m_holders = 1;
    std::wstring m_tempDir;
    std::wstring m_folderName;
    std::wstring m_folderPath;
    // The registered paths in the order they were handed out.
    class FileList : public List<std::wstring>
    {
      public:
        std::unique_ptr<std::wstring> Remove(const std::wstring* entry);
        std::unique_ptr<std::wstring> TakeFirst();
    };
    FileList m_files;
};

// A holder of the process-wide shared manager: the first holder creates it, the last
// one destroys it (its files and folder go with it).
class TmpFileManager
{
  public:
    TmpFileManager();
    TmpFileManager(const TmpFileManager&) = delete;
    TmpFileManager& operator=(const TmpFileManager&) = delete;
    virtual ~TmpFileManager();

    // The shared manager, or null while nobody holds it.
    static AFileManager* Shared();
};

} // namespace Misc
