// Work off the interface thread. A job runs one function on a thread of its
// own and shares with the window only this object: how far the work has
// come, whether it is asked to stop, and how it ended. It posts its progress
// (never faster than the window takes it) and its end to a window handle,
// and touches no window otherwise. The launch's wait for its program and
// every long registry copy are jobs.
#pragma once
#include <windows.h>
#include <atomic>
#include <functional>
#include <memory>
#include "framework/Scoped.h"
#include "framework/WorkProgress.h"

// lParam of a job's message; its wParam is the job's id.
enum { JOB_PROGRESS = 0, JOB_ENDED = 1 };

class CJob {
public:
    // The work: true when it succeeded. It runs on the job's thread and must
    // not touch a window.
    typedef std::function<bool(CJob& job)> Work;

    // Starts work on a thread of its own; message goes to notify with the
    // job's id in wParam and JOB_PROGRESS or JOB_ENDED in lParam. NULL when
    // no thread could start.
    static std::shared_ptr<CJob> Start(Work work, HWND notify, UINT message);
    // Where no thread can start: runs work on this thread, and returns the
    // ended job. Nothing is posted.
    static std::shared_ptr<CJob> RunHere(Work work);
    ~CJob() = default;
    CJob(const CJob&) = delete;
    CJob& operator=(const CJob&) = delete;

    // For the work: how far it has come, from 0 to 1. False once the job is
    // asked to stop.
    bool Report(double done);
    bool StopRequested() const { return m_bStop; }
    // The job's progress as the work's copies take it: it stops when the job
    // is asked to (see CWorkProgress::Unstoppable for work that must not).
    CWorkProgress Progress();
    // Signalled when the job is asked to stop, for work that waits.
    HANDLE StopEvent() const { return m_stop; }

    // For the window.
    UINT_PTR Id() const { return m_nId; }
    // Asks the work to stop; it ends when it sees it.
    void Stop();
    bool Ended() const { return m_bEnded; }
    // Once ended: the work's result, and whether it ended asked to stop
    // without succeeding.
    bool Succeeded() const { return m_bSucceeded; }
    bool Stopped() const { return m_bEnded && !m_bSucceeded && m_bStop; }
    // Ended without success, and not because it was asked to stop: a
    // cancelled copy is no failure.
    bool Failed() const { return m_bEnded && !m_bSucceeded && !m_bStop; }
    double Done() const { return m_nDone / 1e6; }
    // Milliseconds since the start.
    DWORD Elapsed() const { return ::GetTickCount() - m_dwStart; }
    // The window has taken the last progress message; the next may come.
    void ProgressTaken() { m_bProgressPosted = false; }
    // Waits at most milliseconds for the end, this thread's windows answering
    // what is sent to them and repainting meanwhile. True once ended.
    bool WaitEnded(DWORD milliseconds) const;

private:
    CJob() = default;
    static DWORD WINAPI ThreadProc(LPVOID param);
    void Run();

    Work m_work;
    HWND m_hNotify = nullptr;
    UINT m_nMessage = 0;
    UINT_PTR m_nId = 0;
    DWORD m_dwStart = 0;
    DWORD m_dwLastPost = 0;
    CHandle m_stop{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    CHandle m_ended{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bEnded{false};
    std::atomic<bool> m_bSucceeded{false};
    std::atomic<bool> m_bProgressPosted{false};
    std::atomic<unsigned> m_nDone{0};
};
