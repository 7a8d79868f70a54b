#include "logs/LogFilesInfo.h"

#include "misc/Text.h"
#include "report/FileSystem.h"
#include "report/TmpFileManager.h"

#include <new>

LogFilesInfo::LogFileEntry::LogFileEntry(const std::wstring& path, bool temporary)
    : m_path(path), m_fileName(Misc::ComposePath(path, Misc::PathFileName)),
      m_folder(Misc::ComposePath(path, Misc::PathFolder)), m_temporary(temporary)
{
}

// A log file of the product is never touched; only a file that the program staged
// itself goes back to the temporary file manager, which deletes it.
LogFilesInfo::LogFileEntry::~LogFileEntry()
{
    if (!m_temporary)
        return;
    if (Misc::AFileManager* shared = Misc::TmpFileManager::Shared())
        shared->Release(m_path);
}

LogFilesInfo::~LogFilesInfo()
{
    Clear();
}

// Programs of the same base name in several installations share one log path: the
// check keeps a single entry. It does not disturb the list's cursor.
void LogFilesInfo::Add(const std::wstring& path)
{
    bool listed = false;
    m_entries.ForEach(
        [&](const LogFileEntry& entry)
        {
            if (!listed && Misc::EqualsAsciiNoCase(entry.Path(), path))
                listed = true;
        });
    if (listed)
        return;
    try
    {
        m_entries.Add(std::make_unique<LogFileEntry>(path));
    }
    catch (const std::bad_alloc&)
    {
        // Nothing was added; the list stays as it was.
    }
}

void LogFilesInfo::Clear()
{
    m_entries.Clear();
}
