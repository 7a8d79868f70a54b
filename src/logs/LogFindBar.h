#pragma once
// The find row of the Log Files page: Ctrl+F shows a find field in place of the
// selector row, Enter or F3 finds the next row holding its text, Shift with either the
// previous one, Escape gives the selector row back. "not found" is said beside it.

#include <windows.h>

#include <functional>
#include <string>

class LogFindBar
{
  public:
    // `find` is asked to find the field's text forward or backward; it gives whether a
    // row was found.
    using FindHandler = std::function<bool(const std::wstring& text, bool forward)>;

    void Attach(HWND page, FindHandler find);
    void Open();
    // Back to the selector row; the focus goes to `next`.
    void Close(HWND next);
    bool IsOpen() const noexcept { return m_open; }
    // Finds with the field's text; with no text yet, opens the row instead.
    void FindAgain(bool forward);

  private:
    static LRESULT CALLBACK FieldProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR) noexcept;
    void ShowRow(bool findRow);
    std::wstring FieldText() const;

    HWND m_page = nullptr;
    FindHandler m_find;
    bool m_open = false;
};
