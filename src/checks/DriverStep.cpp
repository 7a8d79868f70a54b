#include "checks/DriverStep.h"

#include "checks/LowLevelDriver.h"
#include "inventory/ApplicationsInfo.h"
#include "misc/Text.h"
#include "report/FileSystem.h"
#include "report/TextLogWriter.h"
#include "report/TmpFileManager.h"

#include <io.h>

namespace
{

const wchar_t* const kEqualsLine = L"========================================\n";
const wchar_t* const kHyphenLine = L"----------------------------------------\n";
const wchar_t* const kMissingFileLine = L"\t[ file does not exist ]\n";

bool FileExists(const std::wstring& path)
{
    return ::_waccess(path.c_str(), 0) == 0;
}

} // namespace

const std::vector<DriverGeneration>& DriverGenerations()
{
    static const std::vector<DriverGeneration> generations = {
        {L"UsbDmx.dll", {L"WDAPI921.DLL"}},
        {L"UsbDmx12.dll", {L"WDAPI1200.DLL"}},
    };
    return generations;
}

std::wstring RunDriverStep(Misc::AFileManager* manager, IStatusInfo* status, IScanClock& clock)
{
    if (!manager || DriverFileList.IsEmpty())
        return {};
    const std::wstring path = manager->Register(kDriverReportName);
    if (path.empty())
        return {};
    Misc::TextLogWriter writer;
    if (!writer.Open(path))
    {
        writer.Close();
        // The reserved name goes again, with whatever the failed open left behind.
        manager->Release(path);
        return {};
    }
    DriverFileList.ForEach(
        [&](const ApplicationsInfo::FileInfo& file)
        {
            if (!Misc::EqualsNoCase(file.Name(), kUsbSupportLibraryName))
                return;
            if (status)
                status->Tick(false);
            TestUsbDriverFile(writer, file.FullPath(), clock);
        });
    writer.Close();
    return path;
}

void TestUsbDriverFile(Misc::TextLogWriter& writer, const std::wstring& path, IScanClock& clock)
{
    writer.Write(kEqualsLine);
    writer.Write(Misc::Format(L"TESTING '%ls'\n", path.c_str()));
    if (!FileExists(path))
        writer.Write(kMissingFileLine);
    writer.Write(kEqualsLine);

    const std::wstring folder = Misc::ComposePath(path, Misc::PathFolder);
    for (const DriverGeneration& generation : DriverGenerations())
        TestUsbBoxes(writer, folder, generation.library, generation.dependencies, clock);
}

void TestUsbBoxes(Misc::TextLogWriter& writer, const std::wstring& folder, const std::wstring& library,
                  const std::vector<std::wstring>& dependencies, IScanClock& clock, LowLevelDriver* driverIn)
{
    LowLevelDriver& driver = driverIn ? *driverIn : LowLevelDriver::Instance();
    const std::wstring path = Misc::JoinPath(folder, library);
    writer.Write(kHyphenLine);
    writer.Write(Misc::Format(L"Try accessing Tarvik USB Boxes using '%ls'\n", path.c_str()));
    if (!FileExists(path))
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
