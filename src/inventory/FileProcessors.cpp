#include "inventory/FileProcessors.h"

#include "inventory/LibraryLoadTest.h"
#include "inventory/TextLines.h"
#include "report/FileSystem.h"
#include "report/TmpFileManager.h"

#include <windows.h>

#include <new>

namespace
{

using FileInfo = ApplicationsInfo::FileInfo;

bool KeysEqual(const std::wstring& a, const std::wstring& b)
{
    return Misc::CompareKeys(a, b) == 0;
}

} // namespace

// "*" takes every name; "*suffix" a name ending in the suffix; anything else the whole
// name. Letter case is ignored throughout.
bool FileMaskMatches(const std::wstring& mask, const std::wstring& fileName)
{
    if (mask == L"*")
        return true;
    if (!mask.empty() && mask.front() == L'*')
    {
        const std::size_t length = mask.size() - 1;
        return fileName.size() >= length &&
               KeysEqual(fileName.substr(fileName.size() - length), mask.substr(1));
    }
    return KeysEqual(mask, fileName);
}

// With `prefix` the mask is compared with the beginning of the sub-folder, so "Gobo"
// covers Gobo, Gobo\Gel and also Gobos; without it the whole sub-folder must match,
// and the empty mask stands for the installation folder itself.
bool SubFolderMaskMatches(const std::wstring& mask, const std::wstring& subFolder, bool prefix)
{
    if (mask == L"*")
        return true;
    if (prefix)
        return KeysEqual(mask, subFolder.substr(0, mask.size()));
    return KeysEqual(mask, subFolder);
}

bool CommonProcessor::DataRec::Matches(const std::wstring& subFolder, const std::wstring& fileName) const
{
    return FileMaskMatches(m_fileMask, fileName) &&
           SubFolderMaskMatches(m_subFolderMask, subFolder, (m_flags & Prefix) != 0);
}

bool GenericFileProcessor::Process(FolderContent* folder, const std::wstring& mainFolder,
                                   const std::wstring& subFolder, const std::wstring& fileName)
{
    FolderContent::RecordFile(folder, mainFolder, subFolder, fileName);
    return true;
}

void CommonProcessor::AddRule(const std::wstring& subFolderMask, const std::wstring& fileMask,
                              std::uint32_t flags)
{
    m_rules.Add(std::make_unique<DataRec>(subFolderMask, fileMask, flags | Act));
}

void CommonProcessor::AddPassiveRule(const std::wstring& subFolderMask, const std::wstring& fileMask,
                                     std::uint32_t flags)
{
    m_rules.Add(std::make_unique<DataRec>(subFolderMask, fileMask, flags & ~static_cast<std::uint32_t>(Act)));
}

bool CommonProcessor::FindRule(const std::wstring& subFolder, const std::wstring& fileName,
                               std::uint32_t& flags)
{
    for (const DataRec* rule = m_rules.First(); rule; rule = m_rules.Next())
    {
        if (rule->Matches(subFolder, fileName))
        {
            flags = rule->Flags();
            return true;
        }
    }
    return false;
}

bool CommonProcessor::HasExtension(const std::wstring& fileName, const wchar_t* extension)
{
    return KeysEqual(Misc::ComposePath(fileName, Misc::PathExtension), extension);
}

// A file without a rule is the processor's to work on; a rule decides for the others.
CommonProcessor::Claim CommonProcessor::ClaimFile(FolderContent* folder, const std::wstring& mainFolder,
                                                  const std::wstring& subFolder, const std::wstring& fileName,
                                                  const wchar_t* extension)
{
    Claim claim;
    if (!HasExtension(fileName, extension))
        return claim;
    const bool ruled = FindRule(subFolder, fileName, claim.flags);
    if (ruled && (claim.flags & Decline))
        return claim;
    claim.record = FolderContent::RecordFile(folder, mainFolder, subFolder, fileName);
    claim.act = !ruled || (claim.flags & Act);
    if (!ruled)
        claim.flags = 0;
    return claim;
}

bool DllProcessor::Process(FolderContent* folder, const std::wstring& mainFolder,
                           const std::wstring& subFolder, const std::wstring& fileName)
{
    const Claim claim = ClaimFile(folder, mainFolder, subFolder, fileName, L"dll");
    if (!claim.record)
        return PassOn(folder, mainFolder, subFolder, fileName);
    if (!claim.act)
        return true;
    FileInfo* record = claim.record;
    if (claim.flags & HandOver)
    {
        // The driver test reads the copy after the walk; a copy that cannot be made
        // leaves the driver unlisted, which the test reports as not installed.
        try
        {
            if (m_driverFiles)
                m_driverFiles->Add(std::make_unique<FileInfo>(*record));
        }
        catch (const std::bad_alloc&)
        {
        }
        return true;
    }
    record->AddInfoLine(LibraryLoadDetail(Misc::JoinPath(Misc::JoinPath(mainFolder, subFolder), fileName)));
    return true;
}

bool TextContentProcessor::Process(FolderContent* folder, const std::wstring& mainFolder,
                                   const std::wstring& subFolder, const std::wstring& fileName)
{
    const Claim claim = ClaimFile(folder, mainFolder, subFolder, fileName, m_extension);
    if (!claim.record)
        return PassOn(folder, mainFolder, subFolder, fileName);
    if (!claim.act)
        return true;
    FileInfo* record = claim.record;
    std::vector<std::wstring> lines;
    const bool read = ReadTextFileLines(record->FullPath(), lines);
    // Memory running out while the lines are kept leaves the record with those it got;
    // the walk goes on with the next file.
    try
    {
        if (!read)
            record->AddInfoLine(L"File could not be opened.");
        for (const std::wstring& line : lines)
            record->AddInfoLine(line);
    }
    catch (const std::bad_alloc&)
    {
    }
    return true;
}

// The product names its log files after its programs: <base name>.log in the
// temporary directory that the shared file manager found at start.
bool LogProcessor::Process(FolderContent* folder, const std::wstring& mainFolder,
                           const std::wstring& subFolder, const std::wstring& fileName)
{
    std::uint32_t flags = 0;
    if (m_logFileFound && HasExtension(fileName, L"exe") && FindRule(subFolder, fileName, flags) &&
        (flags & Act))
    {
        const std::wstring program = Misc::JoinPath(Misc::JoinPath(mainFolder, subFolder), fileName);
        const Misc::AFileManager* shared = Misc::TmpFileManager::Shared();
        const std::wstring tempDir = shared ? shared->TemporaryDirectory() : std::wstring();
        if (!tempDir.empty())
        {
            const std::wstring candidate =
                Misc::JoinPath(tempDir, Misc::ComposePath(program, Misc::PathName) + L".log");
            if (Misc::PathExists(candidate))
                m_logFileFound(candidate);
        }
    }
    return PassOn(folder, mainFolder, subFolder, fileName);
}
