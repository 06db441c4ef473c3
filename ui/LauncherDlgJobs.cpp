// The main window's one job at a time (launcher/Job.h): started here, its
// progress shown the platform's way, its end taken back on this thread.
#include "ui/LauncherDlg.h"
#include <algorithm>
#include "framework/Text.h"
#include "registry/Snapshot.h"
#include "resources/resource.h"

namespace {
// Work that ends sooner shows no progress at all.
const DWORD kShowProgressAfter = 1000;
// How often a waiting close looks at the progress.
const DWORD kCloseProgressInterval = 150;
}


void CLauncherDlg::RunJob(UINT titleId, const std::string& line, bool cancellable, CJob::Work work, JobEnd onEnd)
{
    auto running = std::make_unique<CRunningJob>();
    running->job = CJob::Start(work, m_hWnd, WM_JOB);
    if (!running->job) {
        onEnd(*CJob::RunHere(std::move(work)));
        return;
    }
    running->titleId = titleId;
    running->line = line;
    running->cancellable = cancellable;
    running->onEnd = std::move(onEnd);
    m_pJob = std::move(running);
}

void CLauncherDlg::RunCapture(const std::string& settingsName, int slot, JobEnd onEnd)
{
    RunJob(IDS_PROGRESS_CAPTURE, settingsName, true, [settingsName, slot](CJob& job) {
        return Snapshot::Capture(settingsName, slot, job.Progress());
    }, std::move(onEnd));
}

void CLauncherDlg::OnJobMessage(WPARAM id, LPARAM kind)
{
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

void CLauncherDlg::ShowProgress()
{
    CRunningJob& running = *m_pJob;
    if (running.titleId == 0 || running.job->Elapsed() < kShowProgressAfter)
        return;
    double done = running.job->Done();
    if (IsIconic()) {
        running.taskbar.Set(m_hWnd, done);
        return;
    }
    if (!running.dialog.IsOpen())
        running.dialog.Open(m_hWnd, Widen(LoadStr(running.titleId)), Widen(running.line), running.cancellable);
    running.dialog.SetProgress(done);
    if (running.cancellable && running.dialog.Cancelled())
        running.job->Stop();
}

void CLauncherDlg::FinishJob()
{
    while (m_pJob && !m_pJob->job->WaitEnded(kCloseProgressInterval))
        ShowProgress();
    if (m_pJob)
        EndJob();
}

void CLauncherDlg::EndJob()
{
    // The end may start the next job.
    std::unique_ptr<CRunningJob> ended = std::move(m_pJob);
    ended->dialog.Close();
    ended->taskbar.Clear();
    ended->onEnd(*ended->job);
}

void CLauncherDlg::StartBackgroundJob(CJob::Work work)
{
    m_background.erase(std::remove_if(m_background.begin(), m_background.end(),
                                      [](const std::shared_ptr<CJob>& job) { return job->Ended(); }),
                       m_background.end());
    if (std::shared_ptr<CJob> job = CJob::Start(std::move(work), m_hWnd, WM_JOB))
        m_background.push_back(job);
}

void CLauncherDlg::FinishBackgroundJobs()
{
    for (const std::shared_ptr<CJob>& job : m_background)
        job->WaitEnded(INFINITE);
    m_background.clear();
}

void CLauncherDlg::AbandonJob()
{
    if (m_pJob)
        m_pJob->job->Stop();
    m_pJob.reset();
}
