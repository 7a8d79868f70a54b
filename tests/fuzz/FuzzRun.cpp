#include "FuzzRun.h"

#include "TestSupport.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

namespace Fuzz
{

namespace
{

constexpr uint32_t kDefaultSeed = 20261209;
constexpr int kHangSeconds = 20;

// The images whose damaged copies are read: libraries and programs of both
// machine types, with and without translations, and one whose version comes in two
// languages (its entry is named by the platform's lookup).
const wchar_t* const kFixtures[] = {
    L"version_plain.dll", L"version_twotranslations.dll", L"version_notranslation.dll", L"pe32_library.dll",
    L"pe64_program.exe",  L"pe_optional240.bin",          L"version_languages.dll",
};

std::mutex g_lock;
std::string g_current;
std::atomic<long long> g_enteredAt{0};
std::atomic<bool> g_stop{false};

long long Now()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void Report(const char* what)
{
    std::lock_guard<std::mutex> hold(g_lock);
    std::fprintf(stderr,
                 "\nFUZZ %s on input: %s (seed %u; replay with ORVO_FUZZ_SEED=%u ORVO_FUZZ_ONLY=<n>)\n", what,
                 g_current.c_str(), Seed(), Seed());
    std::fflush(stderr);
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS* info)
{
    char what[64];
    std::snprintf(what, sizeof what, "CRASH 0x%08lX", info->ExceptionRecord->ExceptionCode);
    Report(what);
    ::TerminateProcess(::GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

std::thread g_watchdog;

} // namespace

uint32_t Seed()
{
    const char* text = std::getenv("ORVO_FUZZ_SEED");
    return text && *text ? static_cast<uint32_t>(std::strtoul(text, nullptr, 10)) : kDefaultSeed;
}

std::vector<Input> ImageInputs(uint32_t seed)
{
    Generator generator(seed);
    std::vector<Input> all;
    for (const wchar_t* fixture : kFixtures)
    {
        const std::string image = OrvoTest::ReadBytes(OrvoTest::FixturePath(fixture));
        if (image.empty())
        {
            ADD_FAILURE() << "missing fixture " << OrvoTest::Narrow(fixture);
            continue;
        }
        for (Input& input : generator.Damage(OrvoTest::Narrow(fixture), image))
            all.push_back(std::move(input));
    }
    return Selected(std::move(all));
}

std::vector<Input> Selected(std::vector<Input> all)
{
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i].name = std::string("#").append(std::to_string(i)).append(" ").append(all[i].name);
    if (const char* only = std::getenv("ORVO_FUZZ_ONLY"); only && *only)
    {
        const std::size_t n = std::strtoul(only, nullptr, 10);
        std::vector<Input> one;
        if (n < all.size())
            one.push_back(std::move(all[n]));
        return one;
    }
    // ORVO_FUZZ_FROM=<n> goes on after an input that ended an earlier run.
    if (const char* from = std::getenv("ORVO_FUZZ_FROM"); from && *from)
        all.erase(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(
                                                 std::strtoul(from, nullptr, 10), all.size())));
    return all;
}

Watch::Watch()
{
    ::SetUnhandledExceptionFilter(OnCrash);
    g_stop = false;
    g_enteredAt = Now();
    g_watchdog = std::thread(
        []
        {
            while (!g_stop)
            {
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                if (!g_stop && Now() - g_enteredAt > kHangSeconds * 1000)
                {
                    Report("HANG");
                    ::TerminateProcess(::GetCurrentProcess(), 4);
                }
            }
        });
}

Watch::~Watch()
{
    g_stop = true;
    g_watchdog.join();
    ::SetUnhandledExceptionFilter(nullptr);
}

void Watch::Enter(const std::string& reader, const std::string& input)
{
    std::lock_guard<std::mutex> hold(g_lock);
    g_current = reader + " " + input;
    g_enteredAt = Now();
}

GuardedBuffer::GuardedBuffer(std::string_view bytes) : m_size(bytes.size())
{
    constexpr std::size_t kPage = 4096;
    const std::size_t pages = (bytes.size() + kPage - 1) / kPage;
    m_base = static_cast<uint8_t*>(
        ::VirtualAlloc(nullptr, (pages + 1) * kPage, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!m_base)
        return;
    DWORD old = 0;
    ::VirtualProtect(m_base + pages * kPage, kPage, PAGE_NOACCESS, &old);
    m_data = m_base + pages * kPage - bytes.size();
    if (!bytes.empty())
        std::memcpy(m_data, bytes.data(), bytes.size());
}

GuardedBuffer::~GuardedBuffer()
{
    if (m_base)
        ::VirtualFree(m_base, 0, MEM_RELEASE);
}

} // namespace Fuzz
