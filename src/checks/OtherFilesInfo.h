#pragma once
// The files a scan stages only to send them in: the registry exports and the driver
// report. Each entry keeps the manager that staged its file counted and releases the
// file when it goes.

#include "checks/RegistryExport.h"
#include "misc/List.h"

#include <memory>
#include <string>

namespace Misc
{
class AFileManager;
}

class OtherFilesInfo
{
  public:
    class FileEntry
    {
      public:
        // `manager` (may be null) is counted while the entry lives.
        FileEntry(const std::wstring& path, Misc::AFileManager* manager);
        FileEntry(const FileEntry&) = delete;
        FileEntry& operator=(const FileEntry&) = delete;
        virtual ~FileEntry();

        const std::wstring& Path() const { return m_path; }
        const std::wstring& FileName() const { return m_fileName; }
        const std::wstring& Folder() const { return m_folder; }
        Misc::AFileManager* Manager() const { return m_manager; }

      private:
        std::wstring m_path;
        std::wstring m_fileName;
        std::wstring m_folder;
        Misc::AFileManager* m_manager;
    };

    // Takes over one counted reference to `manager`, the collector's own.
    explicit OtherFilesInfo(Misc::AFileManager* manager);
    OtherFilesInfo(const OtherFilesInfo&) = delete;
    OtherFilesInfo& operator=(const OtherFilesInfo&) = delete;
    virtual ~OtherFilesInfo();

    // Appends without a duplicate check.
    void Add(std::unique_ptr<FileEntry> entry);
    // Empties the list: every entry's staged file is deleted.
    void Clear();

    Misc::AFileManager* FileManager() const { return m_manager; }
    std::size_t Count() const { return m_entries.Count(); }
    // First to last without moving the list's cursor.
    template <typename F> void ForEachEntry(F&& visit) const { m_entries.ForEach(visit); }
    const Misc::List<FileEntry>& FileEntryList() const { return m_entries; }
    // The registry exports that failed or left names out, from the last scan.
    const std::vector<RegistryExportOutcome>& RegistryExportOutcomes() const { return m_registryOutcomes; }
    void SetRegistryExportOutcomes(std::vector<RegistryExportOutcome> outcomes)
    {
        m_registryOutcomes = std::move(outcomes);
    }

  private:
    Misc::AFileManager* m_manager;
    Misc::List<FileEntry> m_entries;
    std::vector<RegistryExportOutcome> m_registryOutcomes;
};
