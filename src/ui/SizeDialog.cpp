#include "ui/SizeDialog.h"

namespace UI
{

namespace
{
UINT g_contentResizedMessage = 0;
}

SizeDialog::SizeDialog(UINT templateId, HWND parent) : CDialog(templateId, parent)
{
    Init();
}

SizeDialog::SizeDialog(UINT templateId, CDialog* owner) : CDialog(templateId, owner)
{
    Init();
}

void SizeDialog::Init()
{
    if (g_contentResizedMessage == 0)
        g_contentResizedMessage = ::RegisterWindowMessageW(L"Orvo_SizeDialogContentResized");
    m_layout = std::make_unique<RelativeLayout>();
}

SizeDialog::~SizeDialog()
{
    // The window goes first: its last messages still reach the layout.
    DestroyWindow();
    m_layout.reset();
}

UINT SizeDialog::ContentResizedMessage() noexcept
{
    if (g_contentResizedMessage == 0)
        g_contentResizedMessage = ::RegisterWindowMessageW(L"Orvo_SizeDialogContentResized");
    return g_contentResizedMessage;
}

LPARAM SizeDialog::PackGrowth(int dx, int dy) noexcept
{
    const auto low = static_cast<WORD>(static_cast<short>(dx));
    const auto high = static_cast<WORD>(static_cast<short>(dy));
    return static_cast<LPARAM>(static_cast<DWORD>(MAKELONG(low, high)));
}

POINT SizeDialog::UnpackGrowth(LPARAM packed) noexcept
{
    const auto bits = static_cast<DWORD>(packed);
    return {static_cast<short>(LOWORD(bits)), static_cast<short>(HIWORD(bits))};
}

BOOL SizeDialog::OnInitDialog()
{
    const BOOL result = CDialog::OnInitDialog();
    if (m_layout)
        m_layout->Attach(GetHwnd(), false);
    return result;
}

void SizeDialog::OnSize(UINT type, int width, int height)
{
    CDialog::OnSize(type, width, height);
    if (m_layout)
        m_layout->OnSize(GetHwnd(), type, width, height);
}

void SizeDialog::OnGetMinMaxInfo(MINMAXINFO* info)
{
    CDialog::OnGetMinMaxInfo(info);
    if (m_layout)
        m_layout->OnGetMinMaxInfo(GetHwnd(), info);
}

bool SizeDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message != ContentResizedMessage() || message == 0)
        return CDialog::OnMessage(message, wParam, lParam, result);
    POINT growth = UnpackGrowth(lParam);
    HWND child = reinterpret_cast<HWND>(wParam);
    result = 0;
    if (!m_layout || !m_layout->OnContentResized(GetHwnd(), child, &growth))
        return true;
    ::InvalidateRect(GetHwnd(), nullptr, TRUE);
    HWND up = OwnerWindow();
    if (!up)
        up = ::GetWindow(GetHwnd(), GW_OWNER);
    if (!up)
        up = ::GetParent(GetHwnd());
    if (up)
        ::SendMessageW(up, message, reinterpret_cast<WPARAM>(GetHwnd()), lParam);
    result = 1;
    return true;
}

} // namespace UI
