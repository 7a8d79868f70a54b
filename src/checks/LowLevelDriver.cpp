#include "checks/LowLevelDriver.h"

#include "report/FileSystem.h"
#include "report/TextLogWriter.h"

namespace
{

// The entry point as the driver exports it: its compiler's decorated name.
constexpr char kEntryPointName[] = "?Dmxbox@@YGKKEHPAX@Z";

struct NamedResult
{
    std::uint32_t result;
    const wchar_t* name;
};

// The driver's own names of its results, as its documentation spells them.
constexpr NamedResult kNamedResults[] = {
    {0xD0000000, L"NO_DEVICE"},
    {0xD0000001, L"OUT_OF_DEVICES"},
    {0xD0000003, L"FORCED_EXIT"},
    {0xD0000004, L"UNKNOWN_COMMAND"},
    {0xD0000005, L"ALLREADY_OPEN"},
    {0xD0000006, L"ALLREADY_CLOSED"},
    {0xD0000007, L"MAX_DEVCNT_REACHED"},
    {0xD0000008, L"DEVICE_NAME_NOT_FOUND"},
    {0xD0000009, L"CONNECTION_WATCH_BUSY"},
    {0xD000000A, L"DMX_READY"},
};

// The system's text for an error code, or false when it has none.
bool SystemMessage(DWORD code, std::wstring& text)
{
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr,
        code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    Misc::LocalMemory owner(buffer);
    if (length == 0 || !buffer)
        return false;
    text.assign(buffer, length);
    return true;
}

// Loading a broken or foreign library must fail quietly with its error code, never
// stop the scan with a system dialog. The caller's last error survives the restore.
class QuietLoadScope
{
  public:
    QuietLoadScope() { ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &m_old); }
    ~QuietLoadScope()
    {
        const DWORD error = ::GetLastError();
        ::SetThreadErrorMode(m_old, nullptr);
        ::SetLastError(error);
    }
    QuietLoadScope(const QuietLoadScope&) = delete;
    QuietLoadScope& operator=(const QuietLoadScope&) = delete;

  private:
    DWORD m_old = 0;
};

} // namespace

// The driver opens its interface only to callers that present this key in the
// initialisation call; any other value is refused as an unknown command.
const std::int32_t kDriverInitParameter = 0x44424F58;

const wchar_t* DriverResultName(std::uint32_t result)
{
    for (const NamedResult& named : kNamedResults)
        if (named.result == result)
            return named.name;
    return nullptr;
}

std::wstring DriverCallLine(std::uint32_t command, std::uint8_t device, std::int32_t parameter,
                            std::uint32_t result)
{
    std::wstring line = Misc::Format(L"\t - Call ( %d, %d, %d ) returned ", static_cast<int>(command),
                                     static_cast<int>(device), static_cast<int>(parameter));
    if (const wchar_t* name = DriverResultName(result))
        return line + name;
    return line + Misc::Format(L"%X", static_cast<unsigned>(result));
}

LowLevelDriver& LowLevelDriver::Instance()
{
    static LowLevelDriver driver;
    return driver;
}

LowLevelDriver::~LowLevelDriver()
{
    // The report writer may be gone by now; a driver left running is still shut down.
    m_log = nullptr;
    Destroy();
}

void LowLevelDriver::Construct(Misc::TextLogWriter* writer, const std::wstring& folder,
                               const std::wstring& library, const std::vector<std::wstring>& dependencies)
{
    m_log = writer;
    const std::wstring path = Misc::JoinPath(folder, library);
    Log(L"Constructing the LowLevelDriver", false);
    // A driver that is already loaded stays as it is.
    if (!m_module && DependenciesLoad(library, dependencies))
        LoadLibraryAndEntryPoint(path, library);
    m_initialized = false;
}

// The driver needs its own companion library from the system's search path; loading
// it first by name tells a missing companion apart from a broken driver.
bool LowLevelDriver::DependenciesLoad(const std::wstring& library,
                                      const std::vector<std::wstring>& dependencies)
{
    for (std::size_t index = 0; index < dependencies.size(); ++index)
    {
        const std::wstring& dependency = dependencies[index];
        QuietLoadScope quiet;
        Misc::ModuleHandle module(::LoadLibraryW(dependency.c_str()));
        if (!module)
        {
            Log(L"Failed to load '%ls' due to\n\tdependency %d : '%ls'", true, library.c_str(),
                static_cast<int>(index), dependency.c_str());
            return false;
        }
    }
    return true;
}

void LowLevelDriver::LoadLibraryAndEntryPoint(const std::wstring& path, const std::wstring& library)
{
    {
        QuietLoadScope quiet;
        m_module.Reset(::LoadLibraryW(path.c_str()));
    }
    if (!m_module)
    {
        Log(L"Failed to load '%ls'", true, library.c_str());
        return;
    }
    m_entryPoint = reinterpret_cast<EntryPoint>(
        reinterpret_cast<void*>(::GetProcAddress(m_module.Get(), kEntryPointName)));
    if (!m_entryPoint)
    {
        Log(L"Failed to get the entry point for Dmxbox()", true);
        m_module.Reset();
    }
}

bool LowLevelDriver::Initialize()
{
    if (!m_module)
        return false;
    Log(L"Initializing the LowLevelDriver", false);
    std::uint32_t version = 0;
    Call(DriverGetVersion, 0, 0, &version);
    m_driverVersion = static_cast<std::uint16_t>(version & 0xFFFF);
    Log(L"Driver version : %d", false, static_cast<int>(m_driverVersion));
    const std::uint32_t result = Call(DriverInitialise, kDriverInitDevice, kDriverInitParameter, nullptr);
    if (static_cast<std::int32_t>(result) >= 0)
    {
        m_initialized = true;
        return true;
    }
    Log(L"InitDriver call failed", false);
    return false;
}

std::uint32_t LowLevelDriver::Call(std::uint32_t command, std::uint8_t device, std::int32_t parameter,
                                   void* data)
{
    if (!m_entryPoint)
        return DriverNoEntryPoint;
    const std::uint32_t result = m_entryPoint(command, device, parameter, data);
    if (result != DriverOk)
        Log(L"%ls", false, DriverCallLine(command, device, parameter, result).c_str());
    return result;
}

void LowLevelDriver::Uninitialize()
{
    Log(L"Uninitializing the LowLevelDriver", false);
    if (m_initialized)
    {
        Call(DriverInitialise, 0, 0, nullptr);
        m_initialized = false;
    }
}

void LowLevelDriver::Destroy()
{
    if (m_initialized)
        Uninitialize();
    Log(L"Destroying the LowLevelDriver", false);
    m_entryPoint = nullptr;
    m_module.Reset();
    m_log = nullptr;
}

void LowLevelDriver::WriteLog(const std::wstring& message, bool withSystemError, DWORD error)
{
    m_log->Write(message + L"\n");
    if (!withSystemError)
        return;
    std::wstring text;
    if (SystemMessage(error, text))
        m_log->Write(Misc::Format(L"\tLastError : %08X = %ls\n", static_cast<unsigned>(error), text.c_str()));
    else
        m_log->Write(Misc::Format(L"\tLastError : %08X (?)\n", static_cast<unsigned>(error)));
}
