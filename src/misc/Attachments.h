#pragma once
// The files that go into the archive beside the report: full paths, in archive
// order, duplicates kept.

#include <string>
#include <vector>

namespace Misc
{
using AttachmentList = std::vector<std::wstring>;
}
