#pragma once
// Reads a report's "System" section back into the System model, for showing a saved
// archive as the workstation's user saw it.

#include "report/XmlReport.h"
#include "system/SystemInfo.h"

#include <string>

// Fills the emptied `model` from `system`. An "OS" element marks the facts as
// collected; without one the tab shows its empty state, as before a scan. False, with
// `error` saying what is wrong, when the section is not as the report writes it.
bool ReadSystemSection(const Misc::XmlElement& system, SystemInfo& model, std::wstring& error);
