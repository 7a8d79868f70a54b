#pragma once
// The product's log files found on this workstation: entries in the order the
// installed-files walk met the programs.

#include "misc/List.h"

#include <string>

class LogFilesInfo
{
  public:
    class LogFileEntry
    {
      public:
        // A temporary entry names a file staged in the shared temporary folder; it is
        // released (deleted) with the entry.
        explicit LogFileEntry(const std::wstring& path, bool temporary = false);
        LogFileEntry(const LogFileEntry&) = delete;
        LogFileEntry& operator=(const LogFileEntry&) = delete;
        virtual ~LogFileEntry();

        const std::wstring& Path() const { return m_path; }
        const std::wstring& FileName() const { return m_fileName; }
        const std::wstring& Folder() const { return m_folder; }
        bool IsTemporary() const { return m_temporary; }

      private:
        std::wstring m_path;
        std::wstring m_fileName;
        std::wstring m_folder;
        bool m_temporary;
    };

    LogFilesInfo() = default;
    LogFilesInfo(const LogFilesInfo&) = delete;
    LogFilesInfo& operator=(const LogFilesInfo&) = delete;
    virtual ~LogFilesInfo();

    // Appends an entry unless one with the same path (ASCII letters folded) is listed.
    void Add(const std::wstring& path);
    void Clear();

    std::size_t Count() const { return m_entries.Count(); }
    LogFileEntry* First() { return m_entries.First(); }
    LogFileEntry* Next() { return m_entries.Next(); }
    // First to last without moving the list's cursor.
    template <typename F> void ForEachEntry(F&& visit) const { m_entries.ForEach(visit); }
    const Misc::List<LogFileEntry>& LogFileEntryList() const { return m_entries; }

  private:
    Misc::List<LogFileEntry> m_entries;
};
