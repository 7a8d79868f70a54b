#pragma once
// The process-wide wrapper around the USB DMX interface driver library: loads it,
// initialises it, makes its calls and writes every step and failure to a report.

#include "misc/Handles.h"
#include "misc/Text.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Misc
{
class TextLogWriter;
}

// The driver's commands that the interface test uses.
enum DriverCommand : std::uint32_t
{
    DriverCloseBox = 1,
    DriverGetVersion = 18,
    DriverGetBoxName = 46,
    DriverInitialise = 51, // device 20 starts the driver, device 0 shuts it down
    DriverOpenNextBox = 55,
    DriverGetFirmware = 58,
    DriverGetUserData = 60,
};

// Results of the driver; 0 is success.
enum DriverResult : std::uint32_t
{
    DriverOk = 0,
    DriverNoDevice = 0xD0000000,
    DriverNoEntryPoint = 0xE0000001, // the program's own: no driver loaded
};

// The device number that addresses the driver itself in the initialisation call.
constexpr std::uint8_t kDriverInitDevice = 20;
extern const std::int32_t kDriverInitParameter;

// The name of a named driver result ("NO_DEVICE", ...), or null.
const wchar_t* DriverResultName(std::uint32_t result);
// The report line for a failed call: "\t - Call ( c, d, p ) returned NAME" or "... %X".
std::wstring DriverCallLine(std::uint32_t command, std::uint8_t device, std::int32_t parameter,
                            std::uint32_t result);

class LowLevelDriver
{
  public:
    using EntryPoint = DWORD(WINAPI*)(DWORD command, BYTE device, LONG parameter, void* data);
    static constexpr std::size_t kLogChars = 1023;

    // The one driver state of the process: only one driver is loaded at a time.
    static LowLevelDriver& Instance();

    LowLevelDriver() = default;
    LowLevelDriver(const LowLevelDriver&) = delete;
    LowLevelDriver& operator=(const LowLevelDriver&) = delete;
    virtual ~LowLevelDriver();

    void Construct(Misc::TextLogWriter* writer, const std::wstring& folder, const std::wstring& library,
                   const std::vector<std::wstring>& dependencies);
    bool Initialize();
    std::uint32_t Call(std::uint32_t command, std::uint8_t device, std::int32_t parameter, void* data);
    void Uninitialize();
    void Destroy();

    // Writes one formatted message (at most 1023 characters) and a line feed; with
    // `withSystemError`, also the code and text of the last failed system call.
    template <typename... Args> void Log(const wchar_t* format, bool withSystemError, Args... args)
    {
        const DWORD error = ::GetLastError();
        if (m_log)
            WriteLog(Misc::FormatLimited(kLogChars, format, args...), withSystemError, error);
    }

    bool IsLoaded() const { return m_module.IsValid(); }
    bool IsInitialized() const { return m_initialized; }
    std::uint16_t DriverVersion() const { return m_driverVersion; }

  private:
    bool DependenciesLoad(const std::wstring& library, const std::vector<std::wstring>& dependencies);
    void LoadLibraryAndEntryPoint(const std::wstring& path, const std::wstring& library);
    void WriteLog(const std::wstring& message, bool withSystemError, DWORD error);

    Misc::TextLogWriter* m_log = nullptr;
    Misc::ModuleHandle m_module;
    EntryPoint m_entryPoint = nullptr;
    bool m_initialized = false;
    std::uint16_t m_driverVersion = 0;
};
