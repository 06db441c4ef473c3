// The end of a wait for a launched program: the capture, then the window
// back to the user, or the close.
#include "ui/LauncherDlg.h"
#include "framework/Text.h"
#include "framework/WinApp.h"
#include "resources/resource.h"

namespace {
// While a box of the main window is on screen the end of a wait is looked at
// again this often.
const UINT_PTR kRetryTimerId = 0x5741;
const UINT kRetryMilliseconds = 200;

void CALLBACK RetryWaitFinished(HWND window, UINT, UINT_PTR id, DWORD)
{
    ::KillTimer(window, id);
    ::PostMessageA(window, WM_WAIT_FINISHED, 0, 0);
}
}

void CLauncherDlg::OnWaitFinished()
{
    if (!m_launch.IsWaiting())
        return; // a late message: the wait was abandoned or ended by the close
    // A box owned by the window is on screen, most likely the close flow's
    // question whether to abandon this wait: nothing happens before it has
    // been answered.
    if (!::IsWindowEnabled(m_hWnd)) {
        ::SetTimer(m_hWnd, kRetryTimerId, kRetryMilliseconds, RetryWaitFinished);
        return;
    }
    if (!m_launch.CaptureDone()) {
        m_launch.AllowCapture();
        return;
    }
    m_launch.End();
    ::EnableMenuItem(GetSystemMenu(FALSE), SC_RESTORE, MF_BYCOMMAND | MF_ENABLED);
    const char* commandLine = AfxGetApp()->m_lpCmdLine;
    if (commandLine && *commandLine) {
        // Started by a group item: done once the settings are back.
        PostMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
        return;
    }
    SetWindowText(m_strSavedTitle);
    ShowWindow(SW_SHOWNORMAL);
    SetForegroundWindow();
    m_listPrograms.SetFocus();
}

bool CLauncherDlg::EndWaitForClose()
{
    if (!m_launch.IsWaiting())
        return true;
    if (m_launch.ProgramRunning()) {
        int answer = MessageBox(LoadStr(IDS_CONFIRM_ABANDON_WAIT).c_str(), "Cobweld",
                                MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
        if (answer == IDNO)
            return false;
        // The answer decides also when the program ended while it was
        // asked: its capture waits for the answer.
        if (!m_launch.CaptureBegun()) {
            ::KillTimer(m_hWnd, kRetryTimerId);
            m_launch.End();
            return true;
        }
    }
    // The program has ended: nothing is left to abandon, and a capture cut
    // short by the end of the launcher would lose the settings.
    ::KillTimer(m_hWnd, kRetryTimerId);
    m_launch.FinishCapture();
    m_launch.End();
    return true;
}
