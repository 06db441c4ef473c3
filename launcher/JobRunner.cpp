#include "launcher/JobRunner.h"
#include <algorithm>
#include "framework/Text.h"

namespace {
// Work that ends sooner shows no progress at all.
const DWORD kShowProgressAfter = 1000;
// How often a waiting close looks at the progress.
const DWORD kCloseProgressInterval = 150;
// lParam of the message that resumes what waited for the questions; its
// wParam, 0, is no job's id.
const LPARAM kQuestionsAnswered = 2;
}

CJobRunner::CJobInfo::CJobInfo(UINT titleId, const std::wstring& line, bool keepsData, bool cancellable)
    : title(titleId ? Widen(LoadStr(titleId)) : std::wstring()), line(line), keepsData(keepsData),
      cancellable(cancellable)
{
}

bool CJobRunner::Run(const CJobInfo& info, CJob::Work work, JobEnd onEnd)
{
    if (m_pJob || (!MayChange() && !info.keepsData))
        return false;
    auto running = std::make_unique<CRunningJob>(info);
    running->job = CJob::Start(work, m_hWnd, m_nMessage);
    if (!running->job) {
        onEnd(*CJob::RunHere(std::move(work)));
        return true;
    }
    running->onEnd = std::move(onEnd);
    m_pJob = std::move(running);
    if (m_busyChanged)
        m_busyChanged();
    return true;
}

void CJobRunner::RunBeside(CJob::Work work)
{
    m_beside.erase(std::remove_if(m_beside.begin(), m_beside.end(),
                                  [](const std::shared_ptr<CJob>& job) { return job->Ended(); }),
                   m_beside.end());
    if (std::shared_ptr<CJob> job = CJob::Start(work, m_hWnd, m_nMessage))
        m_beside.push_back(job);
    else
        CJob::RunHere(std::move(work));
}

CJobRunner::CQuestion::CQuestion(CJobRunner& runner, bool closes) : m_runner(runner), m_bCloses(closes)
{
    ++m_runner.m_nQuestions;
    m_runner.m_nClosingQuestions += closes ? 1 : 0;
}

CJobRunner::CQuestion::~CQuestion()
{
    m_runner.m_nClosingQuestions -= m_bCloses ? 1 : 0;
    // What waited is taken up from the message loop, once the code that
    // asked has acted on the answer.
    if (--m_runner.m_nQuestions == 0 && (m_runner.m_bClosePending || !m_runner.m_afterQuestions.empty()))
        ::PostMessageW(m_runner.m_hWnd, m_runner.m_nMessage, 0, kQuestionsAnswered);
}

void CJobRunner::AfterQuestions(std::function<void()> fn)
{
    if (IsAsking())
        m_afterQuestions.push_back(std::move(fn));
    else
        fn();
}

bool CJobRunner::MayClose()
{
    if (!IsAsking())
        return true;
    // A second close during the close flow's own question is that close.
    if (m_nClosingQuestions == 0)
        m_bClosePending = true;
    return false;
}

void CJobRunner::Close()
{
    m_bClosing = true;
    m_bClosePending = false;
    // An end may start the next job (one that keeps data).
    while (m_pJob) {
        while (m_pJob && !m_pJob->job->WaitEnded(kCloseProgressInterval))
            ShowProgress();
        if (m_pJob)
            EndJob();
    }
    for (const std::shared_ptr<CJob>& job : m_beside)
        job->WaitEnded(INFINITE);
    m_beside.clear();
}

void CJobRunner::Abandon()
{
    if (m_pJob)
        m_pJob->job->Stop();
    m_pJob.reset();
}

void CJobRunner::OnMessage(WPARAM id, LPARAM kind)
{
    if (kind == kQuestionsAnswered) {
        Resume();
        return;
    }
    // A job dropped or already ended may still be heard of.
    if (!m_pJob || m_pJob->job->Id() != id)
        return;
    if (kind == JOB_PROGRESS) {
        m_pJob->job->ProgressTaken();
        ShowProgress();
        return;
    }
    EndJob();
}

void CJobRunner::Resume()
{
    while (!IsAsking() && !m_afterQuestions.empty()) {
        std::function<void()> fn = std::move(m_afterQuestions.front());
        m_afterQuestions.erase(m_afterQuestions.begin());
        fn();
    }
    if (!IsAsking() && m_bClosePending) {
        m_bClosePending = false;
        ::PostMessageW(m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
}

void CJobRunner::ShowProgress()
{
    CRunningJob& running = *m_pJob;
    if (running.info.title.empty() || running.job->Elapsed() < kShowProgressAfter)
        return;
    double done = running.job->Done();
    if (::IsIconic(m_hWnd)) {
        running.taskbar.Set(m_hWnd, done);
        return;
    }
    if (!running.dialog.IsOpen())
        running.dialog.Open(m_hWnd, running.info.title, running.info.line, running.info.cancellable);
    running.dialog.SetProgress(done);
    if (running.info.cancellable && running.dialog.Cancelled())
        running.job->Stop();
}

void CJobRunner::EndJob()
{
    // The end may start the next job.
    std::unique_ptr<CRunningJob> ended = std::move(m_pJob);
    ended->dialog.Close();
    ended->taskbar.Clear();
    ended->onEnd(*ended->job);
    if (!m_pJob && m_busyChanged)
        m_busyChanged();
}
