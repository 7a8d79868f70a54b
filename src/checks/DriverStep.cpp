#include "checks/DriverStep.h"

#include "checks/DriverProbe.h"
#include "checks/DriverReport.h"
#include "inventory/ProbeRunner.h"
#include "misc/Text.h"
#include "report/FileSystem.h"
#include "report/TextLogWriter.h"
#include "report/TmpFileManager.h"

#include <new>

const std::vector<DriverGeneration>& DriverGenerations()
{
    static const std::vector<DriverGeneration> generations = {
        {L"UsbDmx.dll", {L"WDAPI921.DLL"}},
        {L"UsbDmx12.dll", {L"WDAPI1200.DLL"}},
    };
    return generations;
}

std::wstring RunDriverStep(const std::vector<std::wstring>& driverFiles, Misc::AFileManager* manager,
                           IStatusInfo* status, IScanClock& clock)
{
    if (!manager || driverFiles.empty())
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
    TestUsbDriverFiles(driverFiles, writer, status, clock);
    writer.Close();
    return path;
}

// Running out of memory stops the tests with a line that says so; the report keeps
// what was written before and is listed, and the scan goes on.
void TestUsbDriverFiles(const std::vector<std::wstring>& driverFiles, Misc::TextLogWriter& writer,
                        IStatusInfo* status, IScanClock& clock)
{
    try
    {
        ProbeSession probes; // the driver tests share their unpacked probes
        for (const std::wstring& file : driverFiles)
        {
            if (!Misc::EqualsNoCase(Misc::ComposePath(file, Misc::PathFileName), kUsbSupportLibraryName))
                continue;
            if (status)
                status->Tick(false);
            TestUsbDriverFile(writer, file, clock);
        }
    }
    catch (const std::bad_alloc&)
    {
        writer.Write(kOutOfMemoryLine);
    }
}

void TestUsbDriverFile(Misc::TextLogWriter& writer, const std::wstring& path, IScanClock& clock)
{
    writer.Write(kEqualsLine);
    writer.Write(Misc::Format(L"TESTING '%ls'\n", path.c_str()));
    if (!Misc::PathExists(path))
        writer.Write(kMissingFileLine);
    writer.Write(kEqualsLine);

    const std::wstring folder = Misc::ComposePath(path, Misc::PathFolder);
    // Each generation runs in a probe process; a replaced clock (a test's) can only
    // drive a test in this process.
    const bool probe = &clock == &SystemScanClock();
    for (const DriverGeneration& generation : DriverGenerations())
    {
        if (probe)
            ProbeUsbBoxes(writer, folder, generation.library, generation.dependencies);
        else
            TestUsbBoxes(writer, folder, generation.library, generation.dependencies, clock);
    }
}
