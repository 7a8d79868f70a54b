#include "app/StatusSink.h"

#include "misc/Text.h"

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

namespace
{
bool IsDialogWindow(HWND window)
{
    constexpr ULONG_PTR kDialogClassAtom = 32770; // the system's dialog class, "#32770"
    return ::GetClassLongPtrW(window, GCW_ATOM) == kDialogClassAtom;
}
} // namespace

// Keyboard input for a dialog goes through the dialog manager, as in its own loop, so
// that the About box opened during a scan answers Enter and Escape. A quit request
// taken from the queue here is not lost: it is posted again once the queue is empty,
// for the modal loop to see after the running sequence has returned.
void PumpMessages()
{
    bool quit = false;
    WPARAM exitCode = 0;
    MSG msg{};
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    {
        if (msg.message == WM_QUIT)
        {
            quit = true;
            exitCode = msg.wParam;
            continue;
        }
        HWND root = msg.hwnd ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (root && IsDialogWindow(root) && ::IsDialogMessageW(root, &msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    if (quit)
        ::PostQuitMessage(static_cast<int>(exitCode));
}

void StatusSink::ShowActivity(const wchar_t* text)
{
    const std::wstring line = Misc::Format(L"<<< %ls >>>", text ? text : L"");
    ::SetDlgItemTextW(StatusWindow(), kStatusControl, line.c_str());
    Tick(true);
}

// The spinner goes blank but keeps its position: the next tick goes on from there.
void StatusSink::SetStatus(const wchar_t* text)
{
    HWND window = StatusWindow();
    ::SetDlgItemTextW(window, kStatusControl, text ? text : L"");
    ::SetDlgItemTextW(window, kSpinnerControl, L" ");
    PumpMessages();
}

void StatusSink::Tick(bool big)
{
    const int frame = AdvanceSpinner(m_spinner, big);
    if (frame >= 0)
        ::SetDlgItemTextW(StatusWindow(), kSpinnerControl, SpinnerFrames[frame]);
}
