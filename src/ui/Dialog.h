#pragma once
// The program's small dialog framework: a dialog object owns its window, created
// modally or as a child from a dialog template, and one dispatch switch hands the
// messages to small virtual handlers. Nothing thrown ever leaves a window procedure.

#include <windows.h>

namespace UI
{

class CDialog
{
  public:
    // `parent` is the window that owns a modal dialog; `owner` names a dialog object
    // whose window may not exist yet (pages are constructed before their main window).
    CDialog(UINT templateId, HWND parent);
    CDialog(UINT templateId, CDialog* owner);
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Runs the dialog modally from its own template; gives EndDialog's result, or -1
    // when the window could not be created.
    INT_PTR DoModal();
    // Creates the window modelessly from the dialog's own template.
    bool Create(HWND parent);
    // Creates the window modelessly from an explicit template (pages of the tab strip).
    bool Create(HWND parent, UINT templateId);
    // Destroys the window if it exists.
    void DestroyWindow();

    HWND GetHwnd() const noexcept { return m_hwnd; }
    HWND GetDlgItem(int id) const noexcept { return m_hwnd ? ::GetDlgItem(m_hwnd, id) : nullptr; }
    UINT TemplateId() const noexcept { return m_templateId; }
    bool IsModal() const noexcept { return m_modal; }
    // The window the dialog reports to: the owner object's window, or the parent given.
    HWND OwnerWindow() const noexcept;
    void EndDialog(INT_PTR result);

    // The module whose resources hold the templates.
    static HINSTANCE ResourceInstance() noexcept;

  protected:
    // Default initialisation; true lets the dialog manager set the focus.
    virtual BOOL OnInitDialog() { return TRUE; }
    // Gives true when the command was handled.
    virtual bool OnCommand(WORD id, WORD code, HWND control);
    // Gives true when handled; `result` becomes the notification's result.
    virtual bool OnNotify(NMHDR* header, LRESULT& result);
    virtual void OnSize(UINT type, int width, int height);
    virtual void OnGetMinMaxInfo(MINMAXINFO* info);
    // Window-menu commands; false gives the default handling.
    virtual bool OnSysCommand(UINT id, LPARAM lParam);
    // True while the window draws itself; then Paint serves WM_PAINT and WM_PRINTCLIENT.
    virtual bool PaintsItself() const { return false; }
    virtual void Paint(HDC) {}
    // The icon shown while the minimized window is dragged; none gives the default.
    virtual HICON OnQueryDragIcon() { return nullptr; }
    virtual void OnDestroy() {}
    // Any other message, registered ones included; gives true when handled.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    virtual void OnOK();
    virtual void OnCancel();

  private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    void Close(INT_PTR result);

    UINT m_templateId;
    HWND m_parent;
    CDialog* m_owner;
    HWND m_hwnd = nullptr;
    bool m_modal = false;
};

} // namespace UI
