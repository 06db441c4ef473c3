// A worker thread running one function. With m_bAutoDelete set (the default)
// the object deletes itself when its thread ends; whoever clears the flag
// owns the object and deletes it.
#pragma once
#include <windows.h>

typedef UINT (*AFX_THREADPROC)(LPVOID);

class CWinThread {
public:
    CWinThread(AFX_THREADPROC proc, LPVOID param) : m_pfnThreadProc(proc), m_pThreadParams(param) {}
    virtual ~CWinThread();

    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;

    HANDLE m_hThread = nullptr;
    DWORD m_nThreadID = 0;
    // Read by the thread when its function has returned.
    volatile LONG m_bAutoDelete = TRUE;

    AFX_THREADPROC m_pfnThreadProc;
    LPVOID m_pThreadParams;
};

// Starts proc(param) on a new thread. Returns the thread object, or NULL when
// the thread could not be started.
CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param,
                           int priority = THREAD_PRIORITY_NORMAL, UINT stackSize = 0,
                           DWORD createFlags = 0, LPSECURITY_ATTRIBUTES security = nullptr);
