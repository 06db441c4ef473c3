#include "framework/WinThread.h"

namespace {
DWORD WINAPI ThreadEntry(LPVOID param)
{
    auto* thread = static_cast<CWinThread*>(param);
    UINT result = 0;
    try {
        result = thread->m_pfnThreadProc(thread->m_pThreadParams);
    } catch (...) {
        result = static_cast<UINT>(-1);
    }
    if (::InterlockedCompareExchange(&thread->m_bAutoDelete, FALSE, FALSE))
        delete thread;
    return result;
}
}

CWinThread::~CWinThread()
{
    if (m_hThread)
        ::CloseHandle(m_hThread);
}

CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority, UINT stackSize,
                           DWORD createFlags, LPSECURITY_ATTRIBUTES security)
{
    auto* thread = new CWinThread(proc, param);
    thread->m_hThread = ::CreateThread(security, stackSize, ThreadEntry, thread,
                                       createFlags | CREATE_SUSPENDED, &thread->m_nThreadID);
    if (!thread->m_hThread) {
        delete thread;
        return nullptr;
    }
    ::SetThreadPriority(thread->m_hThread, priority);
    if (!(createFlags & CREATE_SUSPENDED))
        ::ResumeThread(thread->m_hThread);
    return thread;
}
