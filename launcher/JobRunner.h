// The window's work off its thread: one job at a time (launcher/Job.h) that
// locks the window's commands while it runs, with its progress shown the
// platform's way once it lasts (the system's progress dialog, or the taskbar
// button while the window is minimized); work beside it that locks nothing;
// and the one rule of a close.
//
// The close: asked for while a question or dialog of the window is open, it
// waits until that is answered. From the moment it is asked for, nothing new
// starts but work that keeps data (a capture, an export), and what runs is
// completed, never cut short by the end of the launcher.
#pragma once
#include <windows.h>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include "framework/Progress.h"
#include "launcher/Job.h"

class CJobRunner {
public:
    // What a job is, for its progress and for a close.
    struct CJobInfo {
        // titleId 0: the job shows no progress.
        CJobInfo(UINT titleId, const std::wstring& line, bool keepsData, bool cancellable);
        std::wstring title; // of the progress dialog
        std::wstring line;  // below the title: what the job works on
        // It keeps what would be lost without it: a close lets it start.
        bool keepsData;
        bool cancellable;
    };
    typedef std::function<void(const CJob& job)> JobEnd;

    // The jobs post message to window, whose handler hands it to OnMessage.
    CJobRunner(HWND window, UINT message) : m_hWnd(window), m_nMessage(message) {}
    CJobRunner(const CJobRunner&) = delete;
    CJobRunner& operator=(const CJobRunner&) = delete;

    // Starts work as the one job; onEnd runs on this thread once it has
    // ended, however the end is learnt (where no thread can start, the work
    // runs here at once). False, and nothing runs, while another job runs,
    // or once a close is asked for and the work keeps no data.
    bool Run(const CJobInfo& info, CJob::Work work, JobEnd onEnd);
    // Work that locks nothing and shows nothing; only the close waits for it.
    void RunBeside(CJob::Work work);
    // The one job runs.
    bool IsBusy() const { return m_pJob != nullptr; }
    // Called when the one job starts, and once it has ended and no other
    // has started: for the window to show what it can do meanwhile.
    void OnBusyChanged(std::function<void()> changed) { m_busyChanged = std::move(changed); }
    // A step that changes data without a job (a removal, a program's start)
    // may be taken: no close is asked for.
    bool MayChange() const { return !m_bClosing && !m_bClosePending; }

    // Lives while the window asks a question or shows a dialog. closes: the
    // close flow's own question, which a second close does not wait for.
    class CQuestion {
    public:
        explicit CQuestion(CJobRunner& runner, bool closes = false);
        ~CQuestion();
        CQuestion(const CQuestion&) = delete;
        CQuestion& operator=(const CQuestion&) = delete;

    private:
        CJobRunner& m_runner;
        bool m_bCloses;
    };
    bool IsAsking() const { return m_nQuestions > 0; }
    // Runs fn once no question is open: now, or after the last is answered.
    void AfterQuestions(std::function<void()> fn);

    // The close flow asks for the close: false while a question is open,
    // and the close comes back (as SC_CLOSE) once it has been answered.
    bool MayClose();
    // From now on only work that keeps data starts. Waits, the window
    // answering and showing progress, until the job and the work beside it
    // have ended and their ends have run.
    void Close();
    bool IsClosing() const { return m_bClosing; }
    // Drops the job without its end: its work is asked to stop, and nothing
    // more is heard of it.
    void Abandon();

    // The jobs' message: their progress, their end, and the end of the last
    // question.
    void OnMessage(WPARAM wParam, LPARAM lParam);

private:
    struct CRunningJob {
        explicit CRunningJob(const CJobInfo& info) : info(info) {}
        std::shared_ptr<CJob> job;
        CJobInfo info;
        JobEnd onEnd;
        CProgressDialog dialog;
        CTaskbarProgress taskbar;
    };
    void ShowProgress();
    void EndJob();
    void Resume();

    HWND m_hWnd;
    UINT m_nMessage;
    std::unique_ptr<CRunningJob> m_pJob;
    std::vector<std::shared_ptr<CJob>> m_beside;
    int m_nQuestions = 0;
    int m_nClosingQuestions = 0;
    std::vector<std::function<void()>> m_afterQuestions;
    std::function<void()> m_busyChanged;
    bool m_bClosePending = false;
    bool m_bClosing = false;
};
