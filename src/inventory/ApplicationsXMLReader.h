#pragma once
// Reads a report's "Applications" section back into the installed-files inventory,
// for showing a saved archive as the workstation's user saw it.

#include "inventory/ApplicationsInfo.h"
#include "report/XmlReport.h"

#include <string>

// Adds the section's folders and files below the emptied inventory's root, in the
// order the report lists them. False, with `error` saying what is wrong, when the
// section is not as the report writes it.
bool ReadApplicationsSection(const Misc::XmlElement& applications, ApplicationsInfo& model,
                             std::wstring& error);
