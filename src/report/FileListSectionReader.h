#pragma once
// Reads back a section that lists files by name (log files, other files): the names in
// the report's order, for looking the files up among the archive's entries.

#include "report/FileListSection.h"
#include "report/XmlReport.h"

#include <string>
#include <vector>

namespace Misc
{

// False, with `error` saying why, when the section's version is newer than `names`
// knows or its attributes are not the writer's numbers.
bool ReadFileListSection(const XmlElement& section, const FileListSectionNames& names,
                         std::vector<std::wstring>& files, std::wstring& error);

} // namespace Misc
