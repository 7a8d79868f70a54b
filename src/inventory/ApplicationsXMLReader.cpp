#include "inventory/ApplicationsXMLReader.h"

#include "misc/Text.h"
#include "report/FileSystem.h"

#include <memory>
#include <vector>

namespace
{

using FolderContent = ApplicationsInfo::FolderContent;
using FileInfo = ApplicationsInfo::FileInfo;

// No installation folder is nested this deep within the path length Windows allows.
constexpr int kMaxFolderDepth = 200;

bool Damaged(std::wstring& error, const wchar_t* what)
{
    error = Misc::Format(L"the report's Applications section is damaged (%ls)", what);
    return false;
}

std::unique_ptr<FileInfo> ReadFile(const Misc::XmlElement& element, const FolderContent& folder)
{
    std::wstring name, version, date, size, platform, digest;
    element.TextAttribute(L"Name", name);
    element.TextAttribute(L"Version", version);
    element.TextAttribute(L"Date", date);
    element.TextAttribute(L"Size", size);
    element.TextAttribute(L"MT", platform);
    element.TextAttribute(L"MD5", digest);
    auto file = std::make_unique<FileInfo>(Misc::JoinPath(folder.FullPath(), name), name);
    file->SetFacts(version, date, size, platform, digest);
    for (const Misc::XmlElement& line : element.Child(L"Info").Children(L"Text"))
        file->AddInfoLine(line.Text());
    return file;
}

// The lists sort by name and put a newcomer before its equals: adding in reverse
// keeps the report's order, equal names included.
template <typename Add> bool ForEachReversed(const std::vector<Misc::XmlElement>& elements, Add&& add)
{
    for (auto it = elements.rbegin(); it != elements.rend(); ++it)
        if (!add(*it))
            return false;
    return true;
}

bool ReadContent(const Misc::XmlElement& parent, FolderContent& folder, int depth, std::wstring& error);

bool ReadFolder(const Misc::XmlElement& element, FolderContent& parent, int depth, std::wstring& error)
{
    if (depth > kMaxFolderDepth)
        return Damaged(error, L"folders nested too deeply");
    int options = 0;
    const Misc::XmlElement info = element.Child(L"Info");
    if (!element.IntAttribute(L"Options", options))
        return Damaged(error, L"a folder's options are no number");
    if (!info)
        return Damaged(error, L"a folder without its Info");
    std::wstring name, mainFolder, subFolder;
    info.TextAttribute(L"Name", name);
    info.TextAttribute(L"MainFolder", mainFolder);
    info.TextAttribute(L"SubFolder", subFolder);
    // Only the inventory's own root carries the root option.
    const auto kept = static_cast<std::uint32_t>(options) & ~std::uint32_t{FolderContent::OptionRoot};
    FolderContent* folder =
        parent.AddFolder(std::make_unique<FolderContent>(mainFolder, subFolder, name, kept, false));
    return folder && ReadContent(element, *folder, depth + 1, error);
}

bool ReadContent(const Misc::XmlElement& parent, FolderContent& folder, int depth, std::wstring& error)
{
    const bool foldersRead = ForEachReversed(parent.Children(L"Folder"), [&](const Misc::XmlElement& element)
                                             { return ReadFolder(element, folder, depth, error); });
    return foldersRead && ForEachReversed(parent.Children(L"File"),
                                          [&](const Misc::XmlElement& element)
                                          {
                                              folder.Files().Add(ReadFile(element, folder));
                                              return true;
                                          });
}

} // namespace

bool ReadApplicationsSection(const Misc::XmlElement& applications, ApplicationsInfo& model,
                             std::wstring& error)
{
    return ReadContent(applications, model.Root(), 0, error);
}
