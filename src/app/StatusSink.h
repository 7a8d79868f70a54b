#pragma once
// The status line and its activity indicator: the window's implementation of the
// status sink, over the status text and the spinner text of a dialog.

#include "misc/CollectorContracts.h"

#include <windows.h>

#include <cstdint>

struct SpinnerState
{
    std::uint8_t position = 0;   // 0..79
    std::uint8_t shownFrame = 0; // the frame last written to the spinner control
};

constexpr int kSpinnerPositions = 80;
constexpr int kSpinnerFrameCount = 16;
extern const wchar_t* const SpinnerFrames[kSpinnerFrameCount];

// Moves the star by one small (1) or big (5) step. Gives the frame to write, or -1
// when the shown frame stays.
int AdvanceSpinner(SpinnerState& state, bool big);

// How often a busy collector's ticks let the window take its messages: often enough
// that the spinner moves and the window answers, rarely enough to cost nothing.
constexpr unsigned long long kTickDrainIntervalMs = 100;
// Whether a tick at `now` drains the queue, the last drain having been at `lastDrain`
// (milliseconds of one monotonic clock).
bool TickDrainDue(unsigned long long now, unsigned long long lastDrain);

// Meant as a base of the main window, which names its dialog through StatusWindow.
class StatusSink : public IStatusInfo
{
  public:
    StatusSink() = default;
    StatusSink(const StatusSink&) = delete;
    StatusSink& operator=(const StatusSink&) = delete;
    virtual ~StatusSink() = default;

    void ShowActivity(const wchar_t* text) override;
    void SetStatus(const wchar_t* text) override;
    void Tick(bool big) override;

    const SpinnerState& Spinner() const { return m_spinner; }

  protected:
    // The dialog holding the two controls; null while it does not exist.
    virtual HWND StatusWindow() const = 0;
    // Milliseconds of a monotonic clock; tests replace it.
    virtual unsigned long long Milliseconds() const { return ::GetTickCount64(); }

  private:
    void Drain();

    SpinnerState m_spinner;
    unsigned long long m_lastDrain = 0;
};
