#include "launcher/Job.h"
#include "framework/ResponsiveWait.h"

namespace {
// A window that repaints a progress bar more often gains nothing.
const DWORD kProgressInterval = 100;
std::atomic<UINT_PTR> g_nNextJobId{1};
}

std::shared_ptr<CJob> CJob::Start(Work work, HWND notify, UINT message)
{
    std::shared_ptr<CJob> job(new CJob);
    job->m_work = std::move(work);
    job->m_hNotify = notify;
    job->m_nMessage = message;
    job->m_nId = g_nNextJobId++;
    job->m_dwStart = ::GetTickCount();
    if (!job->m_stop.IsValid() || !job->m_ended.IsValid())
        return nullptr;
    // The thread holds a reference of its own until it returns: the window
    // may drop the job (an abandoned wait) while the work goes on.
    auto* reference = new std::shared_ptr<CJob>(job);
    CHandle thread(::CreateThread(nullptr, 0, ThreadProc, reference, 0, nullptr));
    if (!thread.IsValid()) {
        delete reference;
        return nullptr;
    }
    return job;
}

std::shared_ptr<CJob> CJob::RunHere(Work work)
{
    std::shared_ptr<CJob> job(new CJob);
    job->m_work = std::move(work);
    job->m_dwStart = ::GetTickCount();
    job->Run();
    return job;
}

DWORD WINAPI CJob::ThreadProc(LPVOID param)
{
    std::unique_ptr<std::shared_ptr<CJob>> reference(static_cast<std::shared_ptr<CJob>*>(param));
    (*reference)->Run();
    return 0;
}

void CJob::Run()
{
    // Nothing may unwind out of the thread: the process would end with it.
    // Work that throws (out of memory in a huge copy) has failed.
    try {
        m_bSucceeded = m_work(*this);
    } catch (...) {
        m_bSucceeded = false;
    }
    m_bEnded = true;
    ::SetEvent(m_ended);
    if (m_hNotify)
        ::PostMessageW(m_hNotify, m_nMessage, m_nId, JOB_ENDED);
}

bool CJob::Report(double done)
{
    m_nDone = static_cast<unsigned>((done < 0 ? 0 : done > 1 ? 1 : done) * 1e6);
    DWORD now = ::GetTickCount();
    if (m_hNotify && !m_bProgressPosted && now - m_dwLastPost >= kProgressInterval) {
        m_dwLastPost = now;
        m_bProgressPosted = true;
        ::PostMessageW(m_hNotify, m_nMessage, m_nId, JOB_PROGRESS);
    }
    return !m_bStop;
}

CWorkProgress CJob::Progress()
{
    return CWorkProgress([this](double done) { return Report(done); });
}

void CJob::Stop()
{
    m_bStop = true;
    ::SetEvent(m_stop);
}

bool CJob::WaitEnded(DWORD milliseconds) const
{
    return m_bEnded || WaitResponsive(m_ended, milliseconds);
}
