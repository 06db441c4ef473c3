#include "framework/Progress.h"

namespace {
// Progress goes to the system in thousandths.
const ULONGLONG kSteps = 1000;

ULONGLONG Steps(double done)
{
    return static_cast<ULONGLONG>((done < 0 ? 0 : done > 1 ? 1 : done) * kSteps);
}
}

bool CProgressDialog::Open(HWND owner, const std::wstring& title, const std::wstring& line, bool cancellable)
{
    Close();
    if (FAILED(::CoCreateInstance(CLSID_ProgressDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IProgressDialog,
                                  m_dialog.Out())))
        return false;
    m_dialog->SetTitle(title.c_str());
    m_dialog->SetLine(1, line.c_str(), TRUE, nullptr);
    DWORD flags = PROGDLG_NORMAL | PROGDLG_AUTOTIME | PROGDLG_NOMINIMIZE | (cancellable ? 0 : PROGDLG_NOCANCEL);
    if (FAILED(m_dialog->StartProgressDialog(owner, nullptr, flags, nullptr))) {
        m_dialog.Reset();
        return false;
    }
    m_bOpen = true;
    return true;
}

void CProgressDialog::SetProgress(double done)
{
    if (m_bOpen)
        m_dialog->SetProgress64(Steps(done), kSteps);
}

bool CProgressDialog::Cancelled() const
{
    return m_bOpen && m_dialog->HasUserCancelled();
}

void CProgressDialog::Close()
{
    if (m_bOpen)
        m_dialog->StopProgressDialog();
    m_bOpen = false;
    m_dialog.Reset();
}

void CTaskbarProgress::Set(HWND window, double done)
{
    if (m_bUnavailable)
        return;
    if (!m_taskbar) {
        if (FAILED(::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                      m_taskbar.Out()))
            || FAILED(m_taskbar->HrInit())) {
            m_taskbar.Reset();
            m_bUnavailable = true;
            return;
        }
    }
    m_hWnd = window;
    m_taskbar->SetProgressValue(window, Steps(done), kSteps);
}

void CTaskbarProgress::Clear()
{
    if (m_taskbar && m_hWnd)
        m_taskbar->SetProgressState(m_hWnd, TBPF_NOPROGRESS);
    m_hWnd = nullptr;
}
