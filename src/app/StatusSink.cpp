#include "app/StatusSink.h"

#include "app/PumpMessages.h"
#include "misc/Text.h"
#include "resource.h"

const wchar_t* const SpinnerFrames[kSpinnerFrameCount] = {
    L"[*        ]", L"[ *       ]", L"[  *      ]", L"[   *     ]", L"[    *    ]", L"[     *   ]",
    L"[      *  ]", L"[       * ]", L"[        *]", L"[       * ]", L"[      *  ]", L"[     *   ]",
    L"[    *    ]", L"[   *     ]", L"[  *      ]", L"[ *       ]",
};

// Five small ticks or one big tick move the star one cell; the control is written
// only when the cell changes, so a busy collector costs one text per five ticks.
int AdvanceSpinner(SpinnerState& state, bool big)
{
    state.position = static_cast<std::uint8_t>((state.position + (big ? 5 : 1)) % kSpinnerPositions);
    const int frame = state.position / 5;
    if (frame == state.shownFrame)
        return -1;
    state.shownFrame = static_cast<std::uint8_t>(frame);
    return frame;
}

bool TickDrainDue(unsigned long long now, unsigned long long lastDrain)
{
    return now - lastDrain >= kTickDrainIntervalMs;
}

void StatusSink::Drain()
{
    PumpMessages();
    m_lastDrain = Milliseconds();
}

void StatusSink::ShowActivity(const wchar_t* text)
{
    const std::wstring line = Misc::Format(L"<<< %ls >>>", text ? text : L"");
    ::SetDlgItemTextW(StatusWindow(), IDC_STATUS, line.c_str());
    Tick(true);
}

// The spinner goes blank but keeps its position: the next tick goes on from there.
void StatusSink::SetStatus(const wchar_t* text)
{
    HWND window = StatusWindow();
    ::SetDlgItemTextW(window, IDC_STATUS, text ? text : L"");
    ::SetDlgItemTextW(window, IDC_SPINNER, L" ");
    Drain();
}

// A collector's walk over a large installation ticks for minutes: without taking its
// messages the window would be marked as not responding (and may be ended, the scan
// lost). So a tick drains the queue once at least the interval has passed since the
// last drain: time decides, not the number of ticks, whatever one tick costs. The
// buttons and the tab strip stay disabled meanwhile; a request to close is kept until
// the scan has ended (the main window's part).
void StatusSink::Tick(bool big)
{
    const int frame = AdvanceSpinner(m_spinner, big);
    if (frame >= 0)
        ::SetDlgItemTextW(StatusWindow(), IDC_SPINNER, SpinnerFrames[frame]);
    if (TickDrainDue(Milliseconds(), m_lastDrain))
        Drain();
}
