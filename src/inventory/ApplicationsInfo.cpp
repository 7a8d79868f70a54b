#include "inventory/ApplicationsInfo.h"

#include "inventory/FileFacts.h"
#include "inventory/MD5.h"
#include "inventory/VersionInfo.h"
#include "misc/Handles.h"
#include "misc/Text.h"
#include "report/FileSystem.h"

#include <windows.h>

#include <new>

// ---- ApplicationsInfo ----

ApplicationsInfo::ApplicationsInfo()
    : m_root(std::make_unique<FolderContent>(L"", L"", L"Root", FolderContent::OptionRoot, true))
{
}

ApplicationsInfo::~ApplicationsInfo()
{
    Clear();
}

// The driver list holds copies of records of this inventory: a new scan or the end
// of the inventory must not leave the driver test looking at stale libraries.
void ApplicationsInfo::Clear()
{
    m_driverFiles.Clear();
    m_root->ClearContent();
}

// ---- FileInfo ----

ApplicationsInfo::FileInfo::FileInfo(const std::wstring& fullPath, const std::wstring& name)
    : m_fullPath(fullPath), m_name(name)
{
}

void ApplicationsInfo::FileInfo::SetFacts(const std::wstring& version, const std::wstring& date,
                                          const std::wstring& size, const std::wstring& platform,
                                          const std::wstring& digest)
{
    m_version = version;
    m_date = date;
    m_size = size;
    m_platform = platform;
    m_digest = digest;
}

ApplicationsInfo::FileInfo::FileInfo(const FileInfo& other)
    : m_fullPath(other.m_fullPath), m_name(other.m_name), m_version(other.m_version), m_date(other.m_date),
      m_size(other.m_size), m_infoLines(other.m_infoLines), m_infoCursor(0), m_platform(other.m_platform),
      m_digest(other.m_digest)
{
}

ApplicationsInfo::FileInfo& ApplicationsInfo::FileInfo::operator=(const FileInfo& other)
{
    if (this != &other)
    {
        FileInfo copy(other);
        std::swap(m_fullPath, copy.m_fullPath);
        std::swap(m_name, copy.m_name);
        std::swap(m_version, copy.m_version);
        std::swap(m_date, copy.m_date);
        std::swap(m_size, copy.m_size);
        std::swap(m_infoLines, copy.m_infoLines);
        std::swap(m_platform, copy.m_platform);
        std::swap(m_digest, copy.m_digest);
        m_infoCursor = 0;
    }
    return *this;
}

bool ApplicationsInfo::FileInfo::InfoLineAtCursor(std::wstring& text)
{
    if (m_infoCursor < 0 || static_cast<std::size_t>(m_infoCursor) >= m_infoLines.size())
    {
        m_infoCursor = static_cast<std::int32_t>(m_infoLines.size());
        text.clear();
        return false;
    }
    text = m_infoLines[static_cast<std::size_t>(m_infoCursor)];
    return true;
}

bool ApplicationsInfo::FileInfo::FirstInfoLine(std::wstring& text)
{
    m_infoCursor = 0;
    return InfoLineAtCursor(text);
}

bool ApplicationsInfo::FileInfo::NextInfoLine(std::wstring& text)
{
    if (static_cast<std::size_t>(m_infoCursor) < m_infoLines.size())
        ++m_infoCursor;
    return InfoLineAtCursor(text);
}

namespace
{

// The version strings shown as detail lines, in their order.
struct VersionLine
{
    const wchar_t* name;
    const wchar_t* format;
};
constexpr VersionLine kVersionLines[] = {
    {L"ProductName", L"Product Name    : %ls"},     {L"ProductVersion", L"Product Version : %ls"},
    {L"FileDescription", L"Description     : %ls"}, {L"CompanyName", L"Company         : %ls"},
    {L"LegalCopyright", L"Copyright       : %ls"},  {L"InternalName", L"Internal Name   : %ls"},
};

} // namespace

// The size is taken through a handle without access rights, so that it is found even
// for files the program may not read; files beyond 4 GiB keep their full size.
std::wstring FileSizeText(const std::wstring& path)
{
    Misc::FileHandle file(
        ::CreateFileW(path.c_str(), 0, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0)
        return L"0";
    return Misc::Format(L"%llu", static_cast<unsigned long long>(size.QuadPart));
}

// Every fact is looked up on its own terms: one that cannot be obtained stays empty
// (the size "0") and does not keep the others from being read. The facts that come
// from the file's handle and content share one pass (ReadFileFacts), the version
// resource included; an image whose version entry only the platform's lookup can
// name is looked up after that pass has let go of the file.
void ApplicationsInfo::FileInfo::FillFacts()
{
    Misc::VersionInfo versionInfo;
    FileFacts facts = ReadFileFacts(m_fullPath, &versionInfo);
    if (facts.version == Misc::ImageVersion::Platform)
        versionInfo.Load(m_fullPath);
    if (versionInfo.IsLoaded())
    {
        std::wstring text;
        if (versionInfo.FileVersionText(text))
            m_version = text;
        for (const VersionLine& line : kVersionLines)
        {
            if (versionInfo.QueryString(line.name, text))
                AddInfoLine(Misc::Format(line.format, text.c_str()));
        }
    }
    m_date = std::move(facts.date);
    m_size = std::move(facts.size);
    m_platform = std::move(facts.platform);
    m_digest = std::move(facts.digest);
}

// Memory running out while the facts are read leaves a record that says nothing rather
// than half of what it found; the scan goes on with the next file.
void ApplicationsInfo::FileInfo::Fill() noexcept
{
    m_version.clear();
    m_date.clear();
    m_size.clear();
    m_platform.clear();
    m_digest.clear();
    try
    {
        FillFacts();
    }
    catch (const std::bad_alloc&)
    {
        m_version.clear();
        m_date.clear();
        m_platform.clear();
        m_digest.clear();
        m_infoLines.clear();
        m_size = L"0"; // fits the string's own storage: no allocation
    }
}

// ---- FileProcessor ----

ApplicationsInfo::FileProcessor::~FileProcessor()
{
    // Unlink the rest of the chain one by one rather than through nested destructors.
    std::unique_ptr<FileProcessor> next = std::move(m_next);
    while (next)
        next = std::move(next->m_next);
}

bool ApplicationsInfo::FileProcessor::Process(FolderContent* folder, const std::wstring& mainFolder,
                                              const std::wstring& subFolder, const std::wstring& fileName)
{
    return PassOn(folder, mainFolder, subFolder, fileName);
}

bool ApplicationsInfo::FileProcessor::PassOn(FolderContent* folder, const std::wstring& mainFolder,
                                             const std::wstring& subFolder, const std::wstring& fileName)
{
    return m_next ? m_next->Process(folder, mainFolder, subFolder, fileName) : false;
}

// ---- FolderContent ----

ApplicationsInfo::FolderContent::FolderContent(const std::wstring& mainFolder, const std::wstring& subFolder,
                                               const std::wstring& name, std::uint32_t options, bool rootMark)
    : m_rootMark(rootMark), m_options(options), m_mainFolder(mainFolder), m_subFolder(subFolder),
      m_name(name), m_fullPath(Misc::JoinPath(mainFolder, subFolder))
{
}

ApplicationsInfo::FolderContent::~FolderContent()
{
    ClearContent();
    DeleteProcessors();
}

void ApplicationsInfo::FolderContent::DeleteProcessors()
{
    m_processors.reset();
}

void ApplicationsInfo::FolderContent::ClearContent()
{
    m_folders.Clear();
    m_files.Clear();
}

void ApplicationsInfo::FolderContent::AddProcessor(std::unique_ptr<FileProcessor> processor)
{
    if (!processor)
        return;
    processor->m_next = std::move(m_processors);
    m_processors = std::move(processor);
}

// One folder has one identity whether it was written with a trailing backslash or
// not (the program's own folder always has one, registry values mostly not); a drive's
// root keeps its backslash.
std::wstring FolderIdentity(const std::wstring& path)
{
    std::wstring identity = Misc::JoinPath(path, L"");
    while (identity.size() > 1 && identity.back() == L'\\' && !(identity.size() == 3 && identity[1] == L':'))
        identity.pop_back();
    return identity;
}

bool SameFolder(const std::wstring& first, const std::wstring& second)
{
    return Misc::CompareKeys(FolderIdentity(first), FolderIdentity(second)) == 0;
}

// Compared in normalised form and case-insensitively, so that one installation named
// twice (both registry views, old and new brand, the program's own folder) is walked
// once.
bool ApplicationsInfo::FolderContent::IsNewTopFolder(const std::wstring& path) const
{
    bool isNew = true;
    m_folders.ForEach(
        [&](const FolderContent& folder)
        {
            if (isNew && SameFolder(folder.FullPath(), path))
                isNew = false;
        });
    return isNew;
}

ApplicationsInfo::FileInfo* ApplicationsInfo::FolderContent::RecordFile(FolderContent* folder,
                                                                        const std::wstring& mainFolder,
                                                                        const std::wstring& subFolder,
                                                                        const std::wstring& fileName)
{
    if (!folder)
        return nullptr;
    FileInfo* record = nullptr;
    try
    {
        const std::wstring fullPath = Misc::JoinPath(Misc::JoinPath(mainFolder, subFolder), fileName);
        record = folder->m_files.Add(std::make_unique<FileInfo>(fullPath, fileName));
    }
    catch (const std::bad_alloc&)
    {
        return nullptr;
    }
    if (record)
        record->Fill();
    return record;
}
