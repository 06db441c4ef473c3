// The launch command of the main window and the start of a wait.
#include "ui/LauncherDlg.h"
#include <cstring>
#include <new>
#include "framework/Text.h"
#include "framework/WinApp.h"
#include "launcher/WaitContext.h"
#include "resources/resource.h"

void CLauncherDlg::OnOK()
{
    // The window cannot be restored during a wait, but a posted IDOK still
    // arrives; a second launch would lose the first one's capture.
    if (m_pWaitThread || m_pWaitContext)
        return;
    if (::GetKeyState(VK_MENU) & 0x8000) {
        OnEntryProperties();
        return;
    }
    int sel = GetSelectedEntry();
    if (sel < 0)
        return;
    if (CWinApp* app = AfxGetApp())
        app->WriteProfileInt("Cobweld", "Current", sel);
    m_pLaunchedEntry = m_pProgramList->GetAt(sel);
    ShowWindow(SW_MINIMIZE);

    // Closing a message box reactivates its owner, which under Wine also
    // restores a minimized one, a moment after the box has gone.
    m_bLaunching = TRUE;
    m_hProcess = m_pLaunchedEntry->LaunchEntry();
    if (!m_hProcess) {
        MessageBox(LoadStr(IDS_LAUNCH_FAILED).c_str(), nullptr, MB_OK);
        m_dwLaunchFailedTick = ::GetTickCount();
        m_bLaunching = FALSE;
        return;
    }
    m_bLaunching = FALSE;

    if (!m_pLaunchedEntry->m_bRetrieveAgain) {
        // Nothing waits for the program: the launcher's work is done.
        HANDLE process = m_hProcess;
        OnSysCommand(SC_CLOSE, 0);
        ::CloseHandle(process);
        if (m_hProcess == process)
            m_hProcess = nullptr;
        return;
    }

    m_strSavedTitle = GetWindowText();
    const char* title = m_pLaunchedEntry->m_szTitle;
    SetWindowText("Cobweld - " + std::string(title, strnlen(title, sizeof m_pLaunchedEntry->m_szTitle)) +
                  LoadStr(IDS_WAITING_SUFFIX));
    ::EnableMenuItem(GetSystemMenu(FALSE), SC_RESTORE, MF_BYCOMMAND | MF_GRAYED);

    // One reference for the window, one for the thread; the context owns
    // the process handle from here on.
    CWaitContext* context = new (std::nothrow)
        CWaitContext(m_hProcess, m_hWnd, m_pLaunchedEntry->m_szRegistry, m_pLaunchedEntry->m_nSaveSlot);
    if (context && context->m_hGoAhead) {
        context->AddRef();
        m_pWaitContext = context;
        m_pWaitThread = AfxBeginThread(WaitThreadProc, context, THREAD_PRIORITY_NORMAL, 0, 0, nullptr);
        if (m_pWaitThread)
            return;
        m_pWaitContext = nullptr;
        context->Release(); // the thread's, never taken
    }
    // No wait could begin: the program runs on, unwatched, and the window
    // goes back to idle (minimized, but restorable).
    if (context)
        context->Release(); // closes the process handle
    else
        ::CloseHandle(m_hProcess);
    m_hProcess = nullptr;
    SetWindowText(m_strSavedTitle);
    ::EnableMenuItem(GetSystemMenu(FALSE), SC_RESTORE, MF_BYCOMMAND | MF_ENABLED);
}

namespace {
// How long after a failed launch's message the window refuses to open.
const DWORD kKeepMinimizedAfterFailure = 1000;
}

BOOL CLauncherDlg::OnQueryOpen(LRESULT& result)
{
    bool justFailed = m_dwLaunchFailedTick != 0 &&
                      ::GetTickCount() - m_dwLaunchFailedTick < kKeepMinimizedAfterFailure;
    if (!m_pWaitThread && !m_bLaunching && !justFailed)
        return FALSE;
    result = FALSE;
    return TRUE;
}
