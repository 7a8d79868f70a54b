#include "app/SavedArchive.h"

#include "inventory/ApplicationsXMLReader.h"
#include "misc/Text.h"
#include "report/FileListSectionReader.h"
#include "report/ProblemsXML.h"
#include "report/XmlReport.h"
#include "system/SystemXMLReader.h"

#include <map>

namespace
{

constexpr wchar_t kReportEntry[] = L"OrvoDiag.xml";
// The sections that carry a format version, with the newest this program reads.
const Misc::FileListSectionNames kLogFilesSection = {L"LogFiles", L"LogFile", 1};
const Misc::FileListSectionNames kOtherFilesSection = {L"OtherFiles", L"OtherFile", 1};

bool ReadEntry(Misc::ZipReader& zip, const std::wstring& name, std::string& data, std::wstring& error,
               const Misc::ZipReader::Progress& progress)
{
    const Misc::ZipReader::Entry* entry = zip.Find(name);
    if (!entry)
    {
        error = L"the archive holds no " + name + L" (it is no OrvoDiag archive)";
        return false;
    }
    if (!zip.Read(*entry, data, progress))
    {
        error = zip.Error();
        return false;
    }
    return true;
}

// A section that is there but whose version this program does not know stops the
// opening, even when the section is not shown: the report may mean something else now.
bool CheckVersion(const Misc::XmlElement& section, const Misc::FileListSectionNames& names,
                  std::wstring& error)
{
    std::vector<std::wstring> files;
    return !section || Misc::ReadFileListSection(section, names, files, error);
}

} // namespace

bool SavedArchive::Read(const std::wstring& path, std::wstring& error,
                        const Misc::ZipReader::Progress& progress)
{
    error.clear();
    Misc::ZipReader zip;
    if (!zip.Open(path))
    {
        error = zip.Error();
        return false;
    }
    std::string bytes;
    if (!ReadEntry(zip, kReportEntry, bytes, error, progress))
        return false;
    Misc::XmlReport report;
    if (!report.Load(bytes, error))
        return false;
    bytes = std::string();
    const Misc::XmlElement root = report.Root();
    if (root.Name() != L"Root")
    {
        error =
            L"the report is not an OrvoDiag report (its root element is " + root.Name().substr(0, 40) + L")";
        return false;
    }
    if (!CheckVersion(root.Child(L"OtherFiles"), kOtherFilesSection, error))
        return false;
    if (const Misc::XmlNode problems = FindProblemsElement(root.Node()))
    {
        FindingList findings;
        if (ReadProblems(problems.Get(), findings))
            m_findings = std::move(findings);
    }
    const Misc::XmlElement system = root.Child(L"System");
    const Misc::XmlElement applications = root.Child(L"Applications");
    return (!system || ReadSystemSection(system, m_system, error)) &&
           (!applications || ReadApplicationsSection(applications, m_installedFiles, error)) &&
           ReadLogs(zip, root.Child(L"LogFiles"), error, progress);
}

// Each log is the entry of its name; a second log of one name is the second entry of
// that name, as the save wrote them in order. A log whose entry is missing is listed
// and shows that it cannot be loaded; one whose entry is damaged stops the opening.
bool SavedArchive::ReadLogs(Misc::ZipReader& zip, const Misc::XmlElement& section, std::wstring& error,
                            const Misc::ZipReader::Progress& progress)
{
    std::vector<std::wstring> names;
    if (!section || !Misc::ReadFileListSection(section, kLogFilesSection, names, error))
        return !section;
    std::map<std::wstring, std::size_t> seen;
    std::uint64_t total = 0;
    for (const std::wstring& name : names)
    {
        const Misc::ZipReader::Entry* entry = zip.Find(name, seen[name]++);
        if (!entry)
        {
            m_logFiles.push_back({name, nullptr});
            continue;
        }
        total += entry->size;
        if (total > kMaxLogBytes)
        {
            error = L"the archive's logs together are larger than 1 GiB";
            return false;
        }
        auto content = std::make_shared<std::string>();
        if (!zip.Read(*entry, *content, progress))
        {
            error = zip.Error();
            return false;
        }
        m_logFiles.push_back({name, std::move(content)});
    }
    return true;
}
