#include "checks/DriverReport.h"
#include "checks/DriverStep.h"
#include "checks/LowLevelDriver.h"
#include "misc/Text.h"
#include "report/FileSystem.h"
#include "report/TextLogWriter.h"

// The test of one driver generation, as it runs inside the probe process (or, with a
// replaced clock, in the program itself).
void TestUsbBoxes(Misc::TextLogWriter& writer, const std::wstring& folder, const std::wstring& library,
                  const std::vector<std::wstring>& dependencies, IScanClock& clock, LowLevelDriver* driverIn)
{
    LowLevelDriver& driver = driverIn ? *driverIn : LowLevelDriver::Instance();
    const std::wstring path = Misc::JoinPath(folder, library);
    writer.Write(kHyphenLine);
    writer.Write(Misc::Format(L"Try accessing Tarvik USB Boxes using '%ls'\n", path.c_str()));
    if (!Misc::PathExists(path))
        writer.Write(kMissingFileLine);
    writer.Write(kHyphenLine);

    driver.Construct(&writer, folder, library, dependencies);
    if (driver.Initialize())
    {
        const std::vector<std::uint8_t> boxes = ScanForBoxes(driver, clock);
        driver.Log(L"Found %d boxes", false, static_cast<int>(boxes.size()));
        driver.Log(L"Getting information from all found boxes", false);
        ReportBoxes(driver, boxes);
        driver.Log(L"Closing all found boxes", false);
        for (const std::uint8_t id : boxes)
            driver.Call(DriverCloseBox, id, 0, nullptr);
        driver.Uninitialize();
    }
    driver.Destroy();
    writer.Write(kHyphenLine);
}
