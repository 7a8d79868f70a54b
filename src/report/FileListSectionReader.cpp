#include "report/FileListSectionReader.h"

#include "misc/Text.h"

namespace Misc
{

bool ReadFileListSection(const XmlElement& section, const FileListSectionNames& names,
                         std::vector<std::wstring>& files, std::wstring& error)
{
    files.clear();
    int version = 0, count = 0;
    if (!section.IntAttribute(L"Version", version) || version < 1 || !section.IntAttribute(L"Count", count))
    {
        error =
            Format(L"the report's %ls section is damaged (its version or count is no number)", names.section);
        return false;
    }
    if (version > names.version)
    {
        error = Format(L"the report is of a newer format (%ls version %d; this OrvoDiag reads version %d)",
                       names.section, version, names.version);
        return false;
    }
    for (const XmlElement& element : section.Children(names.element))
    {
        std::wstring file;
        element.TextAttribute(L"File", file);
        files.push_back(file);
    }
    return true;
}

} // namespace Misc
