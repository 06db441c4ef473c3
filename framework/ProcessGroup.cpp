#include "framework/ProcessGroup.h"

namespace {
// The job's messages come through a completion port, which cannot be waited
// on together with an event, and the system does not promise to deliver
// every one: this often, the wait looks at its stop event and asks the job
// itself.
const DWORD kLookAgainMilliseconds = 500;

// A job whose processes may break away and which, when it is closed, ends
// none of them; its messages go to port.
bool SetUpJob(HANDLE job, HANDLE port)
{
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_BREAKAWAY_OK;
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT association = {};
    association.CompletionPort = port;
    return ::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits) &&
           ::SetInformationJobObject(job, JobObjectAssociateCompletionPortInformation, &association,
                                     sizeof association);
}
} // namespace

bool CProcessGroup::Start(const std::string& program, const std::string& directory, const STARTUPINFOA& startup)
{
    CHandle job(::CreateJobObjectW(nullptr, nullptr));
    CHandle port(job.IsValid() ? ::CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1) : nullptr);
    if (port.IsValid() && !SetUpJob(job, port))
        port.Reset();

    // Suspended until it is in the job, so that nothing it starts escapes it.
    STARTUPINFOA info = startup;
    PROCESS_INFORMATION started = {};
    if (!::CreateProcessA(program.c_str(), nullptr, nullptr, nullptr, FALSE,
                          CREATE_SEPARATE_WOW_VDM | CREATE_SUSPENDED, nullptr,
                          directory.empty() ? nullptr : directory.c_str(), &info, &started))
        return false;
    m_hProcess.Reset(started.hProcess);
    CHandle thread(started.hThread);
    if (port.IsValid() && ::AssignProcessToJobObject(job, m_hProcess)) {
        m_hJob.Reset(job.Detach());
        m_hPort.Reset(port.Detach());
    }
    if (::ResumeThread(thread) == static_cast<DWORD>(-1)) {
        DWORD error = ::GetLastError();
        ::TerminateProcess(m_hProcess, 1);
        ::SetLastError(error);
        return false;
    }
    return true;
}

bool CProcessGroup::WaitEnd(HANDLE stop)
{
    if (!m_hJob.IsValid()) {
        HANDLE handles[] = {stop, m_hProcess};
        return ::WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0 + 1;
    }
    for (;;) {
        DWORD message = 0;
        ULONG_PTR key = 0;
        LPOVERLAPPED process = nullptr;
        BOOL got = ::GetQueuedCompletionStatus(m_hPort, &message, &key, &process, kLookAgainMilliseconds);
        if (got && message == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO)
            return true;
        // A port that fails does so at once: then the stop event sets the pace.
        DWORD pause = got || ::GetLastError() == WAIT_TIMEOUT ? 0 : kLookAgainMilliseconds;
        if (::WaitForSingleObject(stop, pause) == WAIT_OBJECT_0)
            return false;
        if (Ended())
            return true;
    }
}

bool CProcessGroup::Ended() const
{
    if (!m_hJob.IsValid())
        return ::WaitForSingleObject(m_hProcess, 0) == WAIT_OBJECT_0;
    // No process joins the job but through one of its own, so once none is
    // left none comes back.
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    return ::QueryInformationJobObject(m_hJob, JobObjectBasicAccountingInformation, &accounting, sizeof accounting,
                                       nullptr) &&
           accounting.ActiveProcesses == 0;
}
