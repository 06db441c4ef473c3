// Progress the platform's way: the system's progress dialog, and a window's
// taskbar button. Where the system lacks either, its calls do nothing and
// the work goes on without it.
#pragma once
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <string>
#include "framework/Scoped.h"

// The system's progress dialog (IProgressDialog) for one piece of work. It
// runs on a thread of the system's: its owner keeps answering meanwhile.
class CProgressDialog {
public:
    CProgressDialog() = default;
    ~CProgressDialog() { Close(); }
    CProgressDialog(const CProgressDialog&) = delete;
    CProgressDialog& operator=(const CProgressDialog&) = delete;

    // Shows the dialog, owned by owner, with a Cancel button when the work
    // may be cancelled. False when the system has no such dialog.
    bool Open(HWND owner, const std::wstring& title, const std::wstring& line, bool cancellable);
    bool IsOpen() const { return m_bOpen; }
    // done: from 0 to 1.
    void SetProgress(double done);
    // The user asked to cancel.
    bool Cancelled() const;
    void Close();

private:
    CComPtr<IProgressDialog> m_dialog;
    bool m_bOpen = false;
};

// The progress of one window's work on its taskbar button (ITaskbarList3).
class CTaskbarProgress {
public:
    CTaskbarProgress() = default;
    ~CTaskbarProgress() { Clear(); }
    CTaskbarProgress(const CTaskbarProgress&) = delete;
    CTaskbarProgress& operator=(const CTaskbarProgress&) = delete;

    // done: from 0 to 1.
    void Set(HWND window, double done);
    // The button shows no progress any more.
    void Clear();

private:
    CComPtr<ITaskbarList3> m_taskbar;
    HWND m_hWnd = nullptr;
    bool m_bUnavailable = false;
};
