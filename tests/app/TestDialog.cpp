#include "TestDialog.h"

#include "resource.h"
#include "TestSupport.h"

#include <map>
#include <regex>

namespace AppTest
{

namespace
{

constexpr WORD kButtonClass = 0x0080;
constexpr WORD kStaticClass = 0x0082;

struct ControlSpec
{
    int id;
    WORD windowClass;
    DWORD style;
    short x, y, cx, cy;
    const wchar_t* text;
};

const ControlSpec kControls[] = {
    {IDC_TAB_STRIP, kStaticClass, SS_GRAYRECT, 0, 0, 401, 234, L""},
    {IDC_SCAN, kButtonClass, BS_PUSHBUTTON | WS_TABSTOP, 1, 235, 50, 14, L"Scan"},
    {IDC_SPINNER, kStaticClass, SS_LEFT, 55, 236, 30, 12, L""},
    {IDC_STATUS, kStaticClass, SS_LEFT, 87, 236, 210, 12, L"Nothing scanned yet ..."},
    {IDC_SAVE, kButtonClass, BS_PUSHBUTTON | WS_TABSTOP, 300, 235, 50, 14, L"Save"},
    {2, kButtonClass, BS_PUSHBUTTON | WS_TABSTOP, 350, 235, 50, 14, L"Exit"},
};

void Append(std::vector<WORD>& t, const wchar_t* text)
{
    for (; *text; ++text)
        t.push_back(static_cast<WORD>(*text));
    t.push_back(0);
}

void AppendDword(std::vector<WORD>& t, DWORD value)
{
    t.push_back(LOWORD(value));
    t.push_back(HIWORD(value));
}

std::vector<WORD> BuildTemplate()
{
    std::vector<WORD> t;
    AppendDword(t, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_SETFONT); // style
    AppendDword(t, 0);                                                            // extended style
    t.push_back(static_cast<WORD>(std::size(kControls)));
    t.push_back(10); // x
    t.push_back(10); // y
    t.push_back(401);
    t.push_back(250);
    t.push_back(0); // no menu
    t.push_back(0); // the dialog class
    Append(t, L"Orvo Diagnostics test");
    t.push_back(8);
    Append(t, L"MS Shell Dlg");
    for (const ControlSpec& c : kControls)
    {
        if (t.size() % 2)
            t.push_back(0); // items start on a DWORD boundary
        AppendDword(t, WS_CHILD | WS_VISIBLE | c.style);
        AppendDword(t, 0);
        t.push_back(static_cast<WORD>(c.x));
        t.push_back(static_cast<WORD>(c.y));
        t.push_back(static_cast<WORD>(c.cx));
        t.push_back(static_cast<WORD>(c.cy));
        t.push_back(static_cast<WORD>(c.id));
        t.push_back(0xFFFF);
        t.push_back(c.windowClass);
        Append(t, c.text);
        t.push_back(0); // no creation data
    }
    return t;
}

struct Subclass
{
    WNDPROC original;
    int id;
    std::vector<std::wstring> writes;
};

std::map<HWND, Subclass>& Subclasses()
{
    static std::map<HWND, Subclass> subclasses;
    return subclasses;
}

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Subclass& s = Subclasses()[hwnd];
    if (message == WM_SETTEXT)
    {
        const std::wstring text = lParam ? reinterpret_cast<const wchar_t*>(lParam) : L"";
        s.writes.push_back(text);
        Record(std::to_string(s.id) + "=" + OrvoTest::Narrow(text));
    }
    else if (message == WM_ENABLE)
    {
        Record((wParam ? "enable " : "disable ") + std::to_string(s.id));
    }
    return ::CallWindowProcW(s.original, hwnd, message, wParam, lParam);
}

} // namespace

std::vector<std::string>& Events()
{
    static std::vector<std::string> events;
    return events;
}

void Record(const std::string& event)
{
    Events().push_back(event);
}

NoPaintPauses::NoPaintPauses() : m_previous(SetPaintPause([](DWORD) {})) {}

NoPaintPauses::~NoPaintPauses()
{
    SetPaintPause(m_previous);
}

StatusDialog::StatusDialog()
{
    const std::vector<WORD> t = BuildTemplate();
    m_hwnd =
        ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(t.data()),
                                     nullptr, &StatusDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    if (!m_hwnd)
        return;
    for (const ControlSpec& c : kControls)
    {
        HWND control = ::GetDlgItem(m_hwnd, c.id);
        if (!control)
            continue;
        Subclass s{};
        s.id = c.id;
        s.original = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingProc)));
        Subclasses()[control] = s;
    }
}

StatusDialog::~StatusDialog()
{
    if (m_hwnd)
    {
        for (const ControlSpec& c : kControls)
        {
            HWND control = ::GetDlgItem(m_hwnd, c.id);
            auto it = Subclasses().find(control);
            if (it == Subclasses().end())
                continue;
            ::SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(it->second.original));
            Subclasses().erase(it);
        }
        ::DestroyWindow(m_hwnd);
    }
    // Nothing of this dialog may reach the next test.
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    {
        if (msg.message != WM_QUIT)
            ::DispatchMessageW(&msg);
    }
}

std::wstring StatusDialog::Text(int id) const
{
    wchar_t buffer[512] = {};
    ::GetDlgItemTextW(m_hwnd, id, buffer, 512);
    return buffer;
}

bool StatusDialog::IsEnabled(int id) const
{
    return ::IsWindowEnabled(::GetDlgItem(m_hwnd, id)) != FALSE;
}

std::vector<std::wstring> StatusDialog::Writes(int id) const
{
    auto it = Subclasses().find(::GetDlgItem(m_hwnd, id));
    return it == Subclasses().end() ? std::vector<std::wstring>() : it->second.writes;
}

INT_PTR CALLBACK StatusDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
    {
        ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        return TRUE;
    }
    auto* self = reinterpret_cast<StatusDialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    if (message == WM_COMMAND && self)
    {
        self->commands.push_back(LOWORD(wParam));
        if (LOWORD(wParam) == IDC_SCAN && self->onScanCommand)
            self->onScanCommand();
        return TRUE;
    }
    return FALSE;
}

std::wstring StatusText(HWND dialog)
{
    wchar_t text[256] = {};
    ::GetWindowTextW(::GetDlgItem(dialog, IDC_STATUS), text, ARRAYSIZE(text));
    return text;
}

bool IsScanned(HWND dialog)
{
    static const std::wregex scanned(L"Scanned at \\d\\d:\\d\\d:\\d\\d");
    return ::IsWindow(dialog) && std::regex_match(StatusText(dialog), scanned);
}

} // namespace AppTest
