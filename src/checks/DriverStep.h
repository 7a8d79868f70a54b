#pragma once
// The live test of the USB DMX interface driver and its report "Tarvik_UsbBox.txt",
// the driver step of the other-files collector.

#include "checks/BoxScan.h"
#include "misc/CollectorContracts.h"

#include <string>
#include <vector>

namespace Misc
{
class TextLogWriter;
}
class LowLevelDriver;

namespace Misc
{
class AFileManager;
}

constexpr const wchar_t* kDriverReportName = L"Tarvik_UsbBox.txt";
constexpr const wchar_t* kUsbSupportLibraryName = L"TarvikUSB.dll";

// One generation of the driver library with the libraries it needs.
struct DriverGeneration
{
    const wchar_t* library;
    std::vector<std::wstring> dependencies;
};
// The generations in the order they are tested.
const std::vector<DriverGeneration>& DriverGenerations();

// Stages the report with `manager` for every USB support library among `driverFiles`
// (full paths of the driver libraries that the inventory handed over, in its order);
// gives the staged path, or empty when no report was staged.
std::wstring RunDriverStep(const std::vector<std::wstring>& driverFiles, Misc::AFileManager* manager,
                           IStatusInfo* status, IScanClock& clock = SystemScanClock());

// Tests every USB support library among `driverFiles` (full paths).
void TestUsbDriverFiles(const std::vector<std::wstring>& driverFiles, Misc::TextLogWriter& writer,
                        IStatusInfo* status, IScanClock& clock);

// Tests both driver generations beside one USB support library.
void TestUsbDriverFile(Misc::TextLogWriter& writer, const std::wstring& path,
                       IScanClock& clock = SystemScanClock());

// Loads one driver library from `folder`, opens, reports and closes its boxes.
void TestUsbBoxes(Misc::TextLogWriter& writer, const std::wstring& folder, const std::wstring& library,
                  const std::vector<std::wstring>& dependencies, IScanClock& clock = SystemScanClock(),
                  LowLevelDriver* driver = nullptr);
