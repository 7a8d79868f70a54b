#include "checks/BoxScan.h"

#include "checks/LowLevelDriver.h"

#include <cstring>

namespace
{

class SystemClock final : public IScanClock
{
  public:
    DWORD Now() override { return ::GetTickCount(); }
    void Pause(DWORD milliseconds) override { ::Sleep(milliseconds); }
};

// Bytes 2 and 3 of the user data mark the format that carries the suggested
// universes of outputs A and B in bytes 4 and 5.
constexpr std::uint8_t kUserDataMark[2] = {0xA4, 0x5B};

// The queries preset their answers to zero and ignore what a failed call left behind:
// the report shows what the driver answered, never what happened to be in memory.
std::wstring QueryName(LowLevelDriver& driver, std::uint8_t id)
{
    const char* name = nullptr;
    if (driver.Call(DriverGetBoxName, id, 0, static_cast<void*>(&name)) != DriverOk)
        return {};
    return BoxNameText(name);
}

std::uint16_t QueryFirmware(LowLevelDriver& driver, std::uint8_t id)
{
    std::uint16_t firmware = 0;
    if (driver.Call(DriverGetFirmware, id, 0, &firmware) != DriverOk)
        return 0;
    return firmware;
}

} // namespace

IScanClock& SystemScanClock()
{
    static SystemClock clock;
    return clock;
}

std::vector<std::uint8_t> ScanForBoxes(LowLevelDriver& driver, IScanClock& clock)
{
    driver.Log(L"Running a timed scan. Trying to open boxes for %d ms", false,
               static_cast<int>(kBoxScanMilliseconds));
    std::vector<std::uint8_t> boxes;
    // Elapsed time, not a deadline: the bound holds when the tick count wraps.
    const DWORD start = clock.Now();
    while (clock.Now() - start < kBoxScanMilliseconds && boxes.size() < kMaxBoxes)
    {
        std::uint8_t id = 0;
        const std::uint32_t result = driver.Call(DriverOpenNextBox, 0, 0, &id);
        if (result == DriverOk)
        {
            driver.Log(L"\t - A box was found, trying to find another", false);
            boxes.push_back(id);
            continue;
        }
        if (result == DriverNoDevice)
            driver.Log(L"\t - No box found, sleeping a short while", false);
        // Every failure pauses, so a driver that answers only errors cannot fill the
        // report with thousands of lines.
        clock.Pause(kBoxScanPauseMilliseconds);
    }
    return boxes;
}

void ReportBoxes(LowLevelDriver& driver, const std::vector<std::uint8_t>& boxes)
{
    for (std::size_t index = 0; index < boxes.size(); ++index)
    {
        const std::uint8_t id = boxes[index];
        driver.Log(L"  * Box %d, ID = %d", false, static_cast<int>(index), static_cast<int>(id));
        driver.Log(L"  * Box name : '%ls'", false, QueryName(driver, id).c_str());
        const std::uint16_t firmware = QueryFirmware(driver, id);
        driver.Log(L"  * Box firmware version : %d.%d\n", false, firmware >> 8, firmware & 0xFF);
        std::uint8_t userData[kUserDataBytes] = {};
        if (driver.Call(DriverGetUserData, id, 0, userData) == DriverOk)
            driver.Log(L"%ls", false, UserDataText(userData).c_str());
    }
}

std::wstring BoxNameText(const char* name)
{
    std::wstring text;
    if (!name)
        return text;
    for (std::size_t i = 0; i < kMaxBoxNameBytes && name[i] != '\0'; ++i)
        text += static_cast<wchar_t>(static_cast<unsigned char>(name[i]));
    return text;
}

std::wstring UserDataText(const std::uint8_t (&data)[kUserDataBytes])
{
    if (data[2] == kUserDataMark[0] && data[3] == kUserDataMark[1])
        return Misc::Format(L"  * Box suggested universes : A = %d, B = %d", data[4], data[5]);
    return L"  * Unknown User Data Format";
}
