// A borrowed window handle with the few calls the program makes on it.
// The wrapper never destroys the window.
#pragma once
#include <windows.h>
#include <string>

class CWnd {
public:
    CWnd() = default;
    explicit CWnd(HWND hWnd) : m_hWnd(hWnd) {}
    virtual ~CWnd() = default;

    operator HWND() const { return m_hWnd; }
    HWND GetSafeHwnd() const { return m_hWnd; }
    void Attach(HWND hWnd) { m_hWnd = hWnd; }
    HWND Detach() { HWND h = m_hWnd; m_hWnd = nullptr; return h; }

    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const
        { return ::SendMessageA(m_hWnd, msg, wParam, lParam); }
    BOOL PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const
        { return ::PostMessageA(m_hWnd, msg, wParam, lParam); }

    std::string GetWindowText() const;
    // Copies at most size - 1 bytes and a terminator.
    int GetWindowText(char* buffer, int size) const { return ::GetWindowTextA(m_hWnd, buffer, size); }
    int GetWindowTextLength() const { return ::GetWindowTextLengthA(m_hWnd); }
    void SetWindowText(const char* text) const { ::SetWindowTextA(m_hWnd, text); }
    void SetWindowText(const std::string& text) const { ::SetWindowTextA(m_hWnd, text.c_str()); }
    // The text as the window has it, also where the ANSI code page cannot
    // hold it.
    std::wstring GetWideText() const;
    void SetWideText(const std::wstring& text) const { ::SetWindowTextW(m_hWnd, text.c_str()); }

    BOOL EnableWindow(BOOL enable = TRUE) const { return ::EnableWindow(m_hWnd, enable); }
    BOOL ShowWindow(int cmdShow) const { return ::ShowWindow(m_hWnd, cmdShow); }
    HWND SetFocus() const { return ::SetFocus(m_hWnd); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    BOOL SetForegroundWindow() const { return ::SetForegroundWindow(m_hWnd); }
    HMENU GetSystemMenu(BOOL revert) const { return ::GetSystemMenu(m_hWnd, revert); }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
    void GetWindowRect(RECT* rect) const { ::GetWindowRect(m_hWnd, rect); }
    // Centres the window on the screen.
    void CenterWindow() const;

    // A message box owned by this window. Without a caption the application's
    // title is used.
    int MessageBox(const char* text, const char* caption = nullptr, UINT type = MB_OK) const;

    HWND m_hWnd = nullptr;
};
