#pragma once
// The driver step of the other-files scan: the live test of the USB DMX interface
// driver, run after the registry exports.

#include "misc/StatusInfo.h"

#include <string>

namespace Misc
{
class AFileManager;
}

// Stages its report with `manager` and gives the staged path, or empty when no report
// was staged.
std::wstring RunDriverStep(Misc::AFileManager* manager, IStatusInfo* status);
