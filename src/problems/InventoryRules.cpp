#include "problems/InventoryRules.h"

#include "checks/DriverStep.h"
#include "inventory/InstallLocations.h"
#include "misc/Text.h"
#include "report/FileSystem.h"

#include <windows.h>

#include <cwctype>
#include <map>

namespace
{

using FolderContent = ApplicationsInfo::FolderContent;
using FileInfo = ApplicationsInfo::FileInfo;

std::wstring Folded(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(::towlower(c));
    return text;
}

std::wstring Extension(const std::wstring& name)
{
    return Misc::ComposePath(name, Misc::PathExtension);
}

bool HasExtension(const FileInfo& file, const wchar_t* extension)
{
    return Misc::EqualsNoCase(Extension(file.Name()), extension);
}

bool IsPlugInFile(const FileInfo& file)
{
    return HasExtension(file, L"plugin") || HasExtension(file, L"vlb");
}

template <typename Visit> void ForEachTopFolder(const ApplicationsInfo& inventory, Visit&& visit)
{
    inventory.Root().Folders().ForEach(visit);
}

// The diagnostics program's own folder holds no product: the product neither runs nor
// loads anything from there.
template <typename Visit> void ForEachProductFolder(const ApplicationsInfo& inventory, Visit&& visit)
{
    inventory.Root().Folders().ForEach(
        [&visit](const FolderContent& top)
        {
            if (top.Name() != kOwnFolderLabel)
                visit(top);
        });
}

// Every file of `folder` and of the folders below it, with the folder that holds it.
template <typename Visit> void ForEachFileBelow(const FolderContent& folder, Visit&& visit)
{
    folder.Files().ForEach([&](const FileInfo& file) { visit(folder, file); });
    folder.Folders().ForEach([&](const FolderContent& sub) { ForEachFileBelow(sub, visit); });
}

std::wstring LoadFailedLine(const FileInfo& file)
{
    for (const std::wstring& line : file.InfoLines())
        if (line.rfind(L"Load failed", 0) == 0)
            return line;
    return {};
}

// The label without the registry view it was read from: "Velmora 6 Pro [64]" and
// "Velmora 6 Pro [32]" are one product line.
std::wstring ProductLine(const std::wstring& label)
{
    for (const wchar_t* view : {L" [64]", L" [32]"})
    {
        const std::wstring suffix = view;
        if (label.size() > suffix.size() &&
            label.compare(label.size() - suffix.size(), suffix.size(), suffix) == 0)
            return label.substr(0, label.size() - suffix.size());
    }
    return label;
}

// The one machine type of the programs directly in the folder; empty when there is
// none, or when they disagree (then the rule cannot tell which one loads the libraries).
std::wstring ProgramPlatform(const FolderContent& folder)
{
    std::wstring platform;
    bool mixed = false;
    folder.Files().ForEach(
        [&](const FileInfo& file)
        {
            if (!HasExtension(file, L"exe") || file.Platform().empty())
                return;
            if (platform.empty())
                platform = file.Platform();
            else if (platform != file.Platform())
                mixed = true;
        });
    return mixed ? std::wstring() : platform;
}

bool IsPlugInFolder(const FolderContent& folder)
{
    return folder.SubFolder().size() >= 6 && Misc::EqualsNoCase(folder.SubFolder().substr(0, 6), L"Plugin");
}

bool ProgramsWouldLoad(const FolderContent& holder, const FolderContent& top, const FileInfo& file)
{
    if (IsPlugInFile(file))
        return true;
    if (!HasExtension(file, L"dll"))
        return false;
    return &holder == &top || IsPlugInFolder(holder);
}

// The kinds of installation folder whose walk hands the USB support library over.
bool KeepsUsbSupport(const std::wstring& label)
{
    for (const InstallLocation& row : InstallLocationTable())
        if (label == row.label)
            return row.chain == ProcessorChain::ProgramFull || row.chain == ProcessorChain::ProgramLite ||
                   row.chain == ProcessorChain::Release5;
    return false;
}

} // namespace

FindingList LoadTestFindings(const ApplicationsInfo& inventory)
{
    FindingList findings;
    ForEachTopFolder(inventory,
                     [&](const FolderContent& top)
                     {
                         ForEachFileBelow(top,
                                          [&](const FolderContent&, const FileInfo& file)
                                          {
                                              const std::wstring line = LoadFailedLine(file);
                                              if (!line.empty())
                                                  findings.push_back(
                                                      {Severity::Problem, top.Name(),
                                                       file.FullPath() + L": " + OneLine(line)});
                                          });
                     });
    return findings;
}

FindingList FolderFindings(const ApplicationsInfo& inventory)
{
    FindingList findings;
    ForEachTopFolder(
        inventory,
        [&](const FolderContent& top)
        {
            const std::uint32_t error = top.ListError();
            if (top.FullPath().empty())
                findings.push_back(
                    {Severity::Warning, top.Name(), L"The registry names this folder with an empty path."});
            else if (error == ERROR_PATH_NOT_FOUND || error == ERROR_FILE_NOT_FOUND ||
                     error == ERROR_INVALID_NAME)
                findings.push_back({Severity::Problem, top.Name(),
                                    L"The registered folder " + top.FullPath() + L" does not exist."});
            else if (error != 0)
            {
                std::wstring reason;
                Misc::SystemErrorText(error, reason);
                findings.push_back(
                    {Severity::Warning, top.Name(),
                     Misc::Format(L"The folder %ls could not be listed: %08X %ls", top.FullPath().c_str(),
                                  static_cast<unsigned>(error), OneLine(reason).c_str())});
            }
        });
    return findings;
}

FindingList VersionFindings(const ApplicationsInfo& inventory)
{
    struct Seen
    {
        const FolderContent* folder;
        std::wstring version;
    };
    // Per product line and program name (folded), the first folder that has it.
    std::map<std::pair<std::wstring, std::wstring>, Seen> first;
    FindingList findings;
    ForEachProductFolder(
        inventory,
        [&](const FolderContent& top)
        {
            const std::wstring line = ProductLine(top.Name());
            top.Files().ForEach(
                [&](const FileInfo& file)
                {
                    if (!HasExtension(file, L"exe") || file.Version().empty())
                        return;
                    const auto key = std::make_pair(line, Folded(file.Name()));
                    const auto [at, added] = first.emplace(key, Seen{&top, file.Version()});
                    if (added || at->second.version == file.Version())
                        return;
                    findings.push_back(
                        {Severity::Warning, top.Name(),
                         Misc::Format(L"%ls is %ls here but %ls in %ls (%ls).", file.Name().c_str(),
                                      file.Version().c_str(), at->second.version.c_str(),
                                      at->second.folder->Name().c_str(),
                                      at->second.folder->FullPath().c_str())});
                });
        });
    return findings;
}

FindingList MachineTypeFindings(const ApplicationsInfo& inventory)
{
    FindingList findings;
    ForEachProductFolder(
        inventory,
        [&](const FolderContent& top)
        {
            const std::wstring platform = ProgramPlatform(top);
            if (platform.empty())
                return;
            ForEachFileBelow(
                top,
                [&](const FolderContent& holder, const FileInfo& file)
                {
                    if (file.Platform().empty() || file.Platform() == platform ||
                        !ProgramsWouldLoad(holder, top, file))
                        return;
                    findings.push_back(
                        {Severity::Problem, top.Name(),
                         Misc::Format(L"%ls is built for %ls, the folder's programs for "
                                      L"%ls: they cannot load it.",
                                      file.FullPath().c_str(), file.Platform().c_str(), platform.c_str())});
                });
        });
    return findings;
}

FindingList UsbSupportFindings(const ApplicationsInfo& inventory,
                               const Misc::List<ApplicationsInfo::FileInfo>& driverFiles)
{
    bool found = false;
    driverFiles.ForEach([&](const FileInfo& file)
                        { found = found || Misc::EqualsNoCase(file.Name(), kUsbSupportLibraryName); });
    bool installed = false;
    ForEachTopFolder(inventory, [&](const FolderContent& top)
                     { installed = installed || (KeepsUsbSupport(top.Name()) && !top.Files().IsEmpty()); });
    if (found || !installed)
        return {};
    return {
        {Severity::Warning, kUsbTestArea,
         L"No TarvikUSB.dll was found in any installation folder: the product cannot reach a USB DMX box."}};
}
