#pragma once
// A saved archive read back for the desk: the models of the report's System,
// Applications and LogFiles sections, each log's bytes taken from its archive entry.
// Everything is read into memory; nothing is written anywhere.

#include "inventory/ApplicationsInfo.h"
#include "logs/ArchivedLog.h"
#include "report/Findings.h"
#include "report/XmlReport.h"
#include "report/ZipReader.h"
#include "system/SystemInfo.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class SavedArchive
{
  public:
    // The logs of one archive together are refused above this, as one entry is.
    static constexpr std::uint64_t kMaxLogBytes = Misc::ZipReader::kMaxEntrySize;

    SavedArchive() = default;
    SavedArchive(const SavedArchive&) = delete;
    SavedArchive& operator=(const SavedArchive&) = delete;
    virtual ~SavedArchive() = default;

    // Reads the archive at `path` into the (empty) models. False, with `error` saying
    // why in one line, when the archive or its report cannot be shown; the models may
    // then hold part of it and are not to be shown.
    bool Read(const std::wstring& path, std::wstring& error, const Misc::ZipReader::Progress& progress = {});

    const SystemInfo& System() const noexcept { return m_system; }
    const ApplicationsInfo& InstalledFiles() const noexcept { return m_installedFiles; }
    const std::vector<ArchivedLog>& LogFiles() const noexcept { return m_logFiles; }
    // What the program that saved the archive found wrong; none when its report has no
    // "Problems" element (a report saved before the program judged what it found).
    const std::optional<FindingList>& Findings() const noexcept { return m_findings; }

  private:
    bool ReadLogs(Misc::ZipReader& zip, const Misc::XmlElement& section, std::wstring& error,
                  const Misc::ZipReader::Progress& progress);

    SystemInfo m_system;
    ApplicationsInfo m_installedFiles;
    std::vector<ArchivedLog> m_logFiles;
    std::optional<FindingList> m_findings;
};
