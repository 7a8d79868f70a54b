#include "inventory/ApplicationsDraw.h"

#include "misc/Text.h"
#include "report/FileSystem.h"

#include <algorithm>

namespace
{

// Columns stop lining up beyond this, but one odd long name cannot stretch every line
// of its folder off the screen.
constexpr std::size_t kMaxPadding = 60;

std::size_t Padding(const std::wstring& text, std::size_t width)
{
    return width > text.size() ? std::min(width - text.size(), kMaxPadding) : 0;
}

void Widen(std::size_t& width, const std::wstring& text)
{
    width = std::max(width, text.size());
}

} // namespace

std::wstring PadRight(const std::wstring& text, std::size_t width)
{
    return text + std::wstring(Padding(text, width), L' ');
}

std::wstring PadLeft(const std::wstring& text, std::size_t width)
{
    return std::wstring(Padding(text, width), L' ') + text;
}

FileColumns FileColumns::Of(const ApplicationsInfo::FileInfo& file)
{
    return {file.Name(), file.Platform(), file.Version(), file.Date(), file.Size(), file.Digest()};
}

void ColumnWidths::Widen(const FileColumns& file)
{
    ::Widen(name, file.name);
    ::Widen(platform, file.platform);
    ::Widen(version, file.version);
    ::Widen(date, file.date);
    ::Widen(size, file.size);
    ::Widen(digest, file.digest);
}

// Platform and version are the columns that whole folders lack (text files, data):
// there they are left out rather than shown as empty columns.
std::wstring FileLineText(const FileColumns& file, const ColumnWidths& widths)
{
    const std::wstring separator = L" | ";
    std::wstring line = PadRight(file.name, widths.name) + separator;
    if (widths.platform > 0)
        line += PadRight(file.platform, widths.platform) + separator;
    if (widths.version > 0)
        line += PadRight(file.version, widths.version) + separator;
    line += PadRight(file.date, widths.date) + separator;
    line += PadLeft(file.size, widths.size) + separator;
    line += PadLeft(file.digest, widths.digest);
    return line;
}

std::wstring FolderLineText(const ApplicationsInfo::FolderContent& folder, std::size_t nameWidth)
{
    std::wstring line = PadRight(folder.Name(), nameWidth);
    if (folder.Options() & ApplicationsInfo::FolderContent::OptionShowPath)
        line += L"  '" + folder.FullPath() + L"'";
    return line;
}

RowColours ApplicationsDraw::ColoursForExtension(const std::wstring& extension)
{
    static const struct
    {
        const wchar_t* extension;
        RowColours colours;
    } table[] = {
        {L"exe", {0x007F00, 0xDFFFDF}},    // dark green on light green
        {L"dll", {0x7F0000, 0xFFDFDF}},    // dark blue on light blue
        {L"plugin", {0x7F007F, 0xFFDFFF}}, // purple on light purple
        {L"vlb", {0x7F007F, 0xFFDFFF}},
    };
    for (const auto& row : table)
        if (Misc::EqualsAsciiNoCase(extension, row.extension))
            return row.colours;
    return {0, 0xBFBFBF};
}

RowColours ApplicationsDraw::ColoursForFolder(std::uint32_t options)
{
    if (options & ApplicationsInfo::FolderContent::OptionPlain)
        return {0, 0xBFBFBF};
    return {0x00007F, 0xDFDFFF}; // dark red on light red
}

HTREEITEM ApplicationsDraw::AddItem(HWND tree, HTREEITEM parent, const std::wstring& text, int kind,
                                    COLORREF textColour, COLORREF selectedBackground)
{
    UI::ItemInfo info;
    info.kind = kind;
    info.textColour = textColour;
    info.selectedBackground = selectedBackground;
    return AddRow(tree, parent, text, info);
}

// Folder rows alone say nothing: an inventory in which no folder holds a file (no
// installation found and nothing in the program's own folder) shows as no information.
// Once any file is shown, folders without files (an installation folder that no longer
// exists) are shown with it.
bool ApplicationsDraw::Fill(HWND tree, HTREEITEM parent, const ApplicationsInfo* inventory)
{
    if (!tree || !parent || !inventory || !HoldsFiles(inventory->Root()))
        return false;
    return AddFolderItems(tree, parent, inventory->Root());
}

bool ApplicationsDraw::HoldsFiles(const ApplicationsInfo::FolderContent& folder)
{
    if (!folder.Files().IsEmpty())
        return true;
    bool found = false;
    folder.Folders().ForEach([&](const ApplicationsInfo::FolderContent& sub)
                             { found = found || HoldsFiles(sub); });
    return found;
}

// Widths are taken over this folder's own lists only: each folder lines up its own
// files. Rows start collapsed.
bool ApplicationsDraw::AddFolderItems(HWND tree, HTREEITEM parent,
                                      const ApplicationsInfo::FolderContent& folder)
{
    std::size_t folderNameWidth = 0;
    folder.Folders().ForEach([&](const ApplicationsInfo::FolderContent& sub)
                             { Widen(folderNameWidth, sub.Name()); });
    ColumnWidths widths;
    folder.Files().ForEach([&](const ApplicationsInfo::FileInfo& file)
                           { widths.Widen(FileColumns::Of(file)); });

    bool added = false;
    folder.Folders().ForEach(
        [&](const ApplicationsInfo::FolderContent& sub)
        {
            const RowColours colours = ColoursForFolder(sub.Options());
            const HTREEITEM row = AddItem(tree, parent, FolderLineText(sub, folderNameWidth),
                                          kApplicationsItemFolder, colours.text, colours.selectedBackground);
            if (!row)
                return;
            added = true;
            m_subjects[row] = RowSubject{&sub, nullptr, false};
            AddFolderItems(tree, row, sub);
        });
    folder.Files().ForEach(
        [&](const ApplicationsInfo::FileInfo& file)
        {
            AddFileItems(tree, parent, file, widths);
            added = true;
        });
    return added;
}

// A file whose row cannot be inserted still counts as shown content of its folder.
void ApplicationsDraw::AddFileItems(HWND tree, HTREEITEM parent, const ApplicationsInfo::FileInfo& file,
                                    const ColumnWidths& widths)
{
    const RowColours colours = ColoursForExtension(Misc::ComposePath(file.Name(), Misc::PathExtension));
    const HTREEITEM row = AddItem(tree, parent, FileLineText(FileColumns::Of(file), widths),
                                  kApplicationsItemFile, colours.text, colours.selectedBackground);
    if (!row)
        return;
    m_subjects[row] = RowSubject{nullptr, &file, false};
    for (const std::wstring& line : file.InfoLines())
        if (HTREEITEM detail = AddItem(tree, row, line, kApplicationsItemFile, kDetailText, kDetailSelected))
            m_subjects[detail] = RowSubject{nullptr, &file, true};
}

void ApplicationsDraw::ClearItems()
{
    m_subjects.clear();
    UI::CommonDraw::ClearItems();
}

const RowSubject* ApplicationsDraw::SubjectOf(HTREEITEM row) const
{
    const auto found = m_subjects.find(row);
    return found == m_subjects.end() ? nullptr : &found->second;
}

namespace
{

std::wstring Folded(std::wstring text)
{
    if (!text.empty())
        ::CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

bool Holds(const std::wstring& text, const std::wstring& foldedNeedle)
{
    return Folded(text).find(foldedNeedle) != std::wstring::npos;
}

} // namespace

bool SubjectMatches(const RowSubject& subject, const std::wstring& needle)
{
    if (needle.empty() || subject.detail)
        return false;
    const std::wstring folded = Folded(needle);
    if (subject.folder)
        return Holds(subject.folder->Name(), folded);
    if (subject.file)
        return Holds(subject.file->Name(), folded) || Holds(subject.file->Version(), folded) ||
               Holds(subject.file->Digest(), folded);
    return false;
}
