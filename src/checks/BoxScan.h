#pragma once
// The timed search for USB DMX boxes and the report of what each found box tells.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

class LowLevelDriver;

// The clock and the pause of the box search; tests replace them to run the timed
// search without waiting.
class IScanClock
{
  public:
    virtual DWORD Now() = 0; // milliseconds, wrapping like GetTickCount
    virtual void Pause(DWORD milliseconds) = 0;

  protected:
    ~IScanClock() = default;
};

// GetTickCount and Sleep.
IScanClock& SystemScanClock();

constexpr DWORD kBoxScanMilliseconds = 2000;
constexpr DWORD kBoxScanPauseMilliseconds = 100;
constexpr std::size_t kMaxBoxes = 256;
constexpr std::size_t kMaxBoxNameBytes = 255;
constexpr std::size_t kUserDataBytes = 16;

// Opens boxes for kBoxScanMilliseconds or until kMaxBoxes were found; gives their IDs
// in the order they were opened.
std::vector<std::uint8_t> ScanForBoxes(LowLevelDriver& driver, IScanClock& clock);

// Writes index, ID, name, firmware and user data of every box.
void ReportBoxes(LowLevelDriver& driver, const std::vector<std::uint8_t>& boxes);

// A driver string as text, each byte the character of the same code, at most
// kMaxBoxNameBytes bytes; empty for null.
std::wstring BoxNameText(const char* name);
// The user data line: the suggested universes of a marked block, else the unknown format.
std::wstring UserDataText(const std::uint8_t (&data)[kUserDataBytes]);
