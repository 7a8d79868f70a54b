#pragma once
// Rules over the installed-files inventory: each looks at what the scan recorded and
// gives one finding per thing it judges wrong, with the installation folder's label
// as the area. A rule that lacks what it needs says nothing.

#include "inventory/ApplicationsInfo.h"
#include "report/Findings.h"

// The area of the findings about the USB DMX interface.
constexpr wchar_t kUsbTestArea[] = L"USB DMX test";

// A product library whose load test failed: its path and the "Load failed" line.
FindingList LoadTestFindings(const ApplicationsInfo& inventory);

// A registered installation folder that could not be listed: missing, not readable,
// or registered with an empty path.
FindingList FolderFindings(const ApplicationsInfo& inventory);

// Two installation folders of one product line (the same label but for the registry
// view) whose programs of the same name have different versions.
FindingList VersionFindings(const ApplicationsInfo& inventory);

// Libraries of another machine type than the programs of their installation folder,
// where the programs would load them: beside them, in a plug-in folder, or plug-in
// files anywhere below.
FindingList MachineTypeFindings(const ApplicationsInfo& inventory);

// No USB support library in any installation folder where the product keeps it,
// although such a folder holds files. `driverFiles` is what the inventory handed over
// to the driver test.
FindingList UsbSupportFindings(const ApplicationsInfo& inventory,
                               const Misc::List<ApplicationsInfo::FileInfo>& driverFiles);
