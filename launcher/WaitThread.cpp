// The wait for a launched program and the end of it.
//
// The wait thread works on a CWaitContext only. Once the program has ended it
// asks the interface thread for the go-ahead (WM_WAIT_FINISHED), captures the
// settings, marks the wait captured and posts WM_WAIT_FINISHED again; the
// interface thread then clears the window's wait state and does the window
// steps. The interface thread gives the go-ahead, and does the window steps,
// only while no modal box of the window is on screen: while the close flow
// asks whether to abandon the wait, the answer decides whether the settings
// are captured at all.
#include "ui/LauncherDlg.h"
#include <cstring>
#include "framework/WinApp.h"
#include "launcher/WaitContext.h"

namespace {
// While a modal box of the main window is on screen the end of a wait is
// looked at again this often.
const UINT_PTR kRetryTimerId = 0x5741;
const UINT kRetryMilliseconds = 200;

void CALLBACK RetryWaitFinished(HWND window, UINT, UINT_PTR id, DWORD)
{
    ::KillTimer(window, id);
    ::PostMessageA(window, WM_WAIT_FINISHED, 0, 0);
}
}

// ---------------------------------------------------------------- context

CWaitContext::CWaitContext(HANDLE process, HWND window, const char* registry, int saveSlot)
    : m_hProcess(process), m_hWnd(window),
      m_hGoAhead(::CreateEventA(nullptr, TRUE, FALSE, nullptr)), m_szRegistry(),
      m_nSaveSlot(saveSlot), m_nState(WAITING), m_bAbandoned(FALSE), m_nRefs(1)
{
    // The entry's field may lack its terminator; never read past it.
    size_t length = strnlen(registry, sizeof m_szRegistry - 1);
    std::memcpy(m_szRegistry, registry, length);
    m_szRegistry[length] = '\0';
    ::InitializeCriticalSection(&m_lock);
}

CWaitContext::~CWaitContext()
{
    if (m_hProcess)
        ::CloseHandle(m_hProcess);
    if (m_hGoAhead)
        ::CloseHandle(m_hGoAhead);
    ::DeleteCriticalSection(&m_lock);
}

void CWaitContext::AddRef()
{
    ::InterlockedIncrement(&m_nRefs);
}

void CWaitContext::Release()
{
    if (::InterlockedDecrement(&m_nRefs) == 0)
        delete this;
}

CWaitContext::State CWaitContext::GetState()
{
    ::EnterCriticalSection(&m_lock);
    State state = m_nState;
    ::LeaveCriticalSection(&m_lock);
    return state;
}

BOOL CWaitContext::IsAbandoned()
{
    ::EnterCriticalSection(&m_lock);
    BOOL abandoned = m_bAbandoned;
    ::LeaveCriticalSection(&m_lock);
    return abandoned;
}

void CWaitContext::Abandon()
{
    ::EnterCriticalSection(&m_lock);
    m_bAbandoned = TRUE;
    ::LeaveCriticalSection(&m_lock);
    ::SetEvent(m_hGoAhead);
}

BOOL CWaitContext::AllowCapture()
{
    ::EnterCriticalSection(&m_lock);
    BOOL allowed = !m_bAbandoned && m_nState == ENDED;
    if (allowed)
        m_nState = CAPTURING;
    ::LeaveCriticalSection(&m_lock);
    if (allowed)
        ::SetEvent(m_hGoAhead);
    return allowed;
}

// ---------------------------------------------------------------- wait thread

UINT WaitThreadProc(LPVOID param)
{
    return CLauncherDlg::OnChildExited(static_cast<CWaitContext*>(param));
}

UINT CLauncherDlg::OnChildExited(CWaitContext* context)
{
    ::WaitForSingleObject(context->m_hProcess, INFINITE);
    ::CloseHandle(context->m_hProcess);
    context->m_hProcess = nullptr;

    ::EnterCriticalSection(&context->m_lock);
    BOOL go = !context->m_bAbandoned;
    if (go) {
        context->m_nState = CWaitContext::ENDED;
        go = ::PostMessageA(context->m_hWnd, WM_WAIT_FINISHED, 0, 0);
    }
    ::LeaveCriticalSection(&context->m_lock);

    if (go) {
        ::WaitForSingleObject(context->m_hGoAhead, INFINITE);
        ::EnterCriticalSection(&context->m_lock);
        go = !context->m_bAbandoned && context->m_nState == CWaitContext::CAPTURING;
        ::LeaveCriticalSection(&context->m_lock);
    }

    if (go) {
        // A private entry with the two fields the capture reads: the list's
        // entry may be freed by an abandoned close meanwhile. A failed capture
        // is not reported; the wait ends the same way.
        CProgramEntry entry;
        std::memcpy(entry.m_szRegistry, context->m_szRegistry, sizeof entry.m_szRegistry);
        entry.m_nSaveSlot = context->m_nSaveSlot;
        entry.CaptureSnapshot();

        ::EnterCriticalSection(&context->m_lock);
        if (!context->m_bAbandoned) {
            context->m_nState = CWaitContext::CAPTURED;
            ::PostMessageA(context->m_hWnd, WM_WAIT_FINISHED, 0, 0);
        }
        ::LeaveCriticalSection(&context->m_lock);
    }

    context->Release();
    return 0;
}

// ---------------------------------------------------------------- interface thread

void CLauncherDlg::OnWaitFinished()
{
    CWaitContext* context = m_pWaitContext;
    if (!context)
        return; // a late message: the wait was abandoned or has ended
    CWaitContext::State state = context->GetState();
    if (state != CWaitContext::ENDED && state != CWaitContext::CAPTURED)
        return;
    // A box owned by the window is on screen, most likely the close flow's
    // question whether to abandon this wait: nothing happens before it has
    // been answered.
    if (!::IsWindowEnabled(m_hWnd)) {
        ::SetTimer(m_hWnd, kRetryTimerId, kRetryMilliseconds, RetryWaitFinished);
        return;
    }
    if (state == CWaitContext::ENDED) {
        context->AllowCapture();
        return;
    }

    // Captured: the wait is over.
    m_pWaitContext = nullptr;
    m_pWaitThread = nullptr; // the thread object deletes itself
    m_hProcess = nullptr;    // closed by the wait thread
    context->Release();

    ::EnableMenuItem(GetSystemMenu(FALSE), SC_RESTORE, MF_BYCOMMAND | MF_ENABLED);
    CWinApp* app = AfxGetApp();
    if (app && app->m_lpCmdLine && *app->m_lpCmdLine) {
        // Started by a group item: done once the settings are back.
        PostMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
        return;
    }
    SetWindowText(m_strSavedTitle);
    ShowWindow(SW_SHOWNORMAL);
    SetForegroundWindow();
    m_listPrograms.SetFocus();
}

void CLauncherDlg::AbandonWait()
{
    if (CWaitContext* context = m_pWaitContext) {
        m_pWaitContext = nullptr;
        context->Abandon();
        context->Release();
    }
    if (m_hWnd)
        ::KillTimer(m_hWnd, kRetryTimerId);
    // The thread object is not deleted here: the thread still runs and
    // deletes it itself when it returns, or it ends with the process.
    m_pWaitThread = nullptr;
    m_hProcess = nullptr; // owned by the context, closed by the wait thread
}
