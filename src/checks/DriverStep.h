#pragma once
// The driver step of the other-files scan: the live test of the USB DMX interface
// driver, run after the registry exports.

#include "misc/StatusInfo.h"

#include <string>

namespace Misc
{
class AFileManager;
}

// Stages its report with `manager` and gives the report's full path, or an empty
// path when no report was written.
std::wstring RunDriverStep(Misc::AFileManager& manager, IStatusInfo* status);
