#include "launcher/LaunchState.h"

namespace {
// How long after a failed start's message the window refuses to open.
const DWORD kKeepMinimizedAfterFailure = 1000;
}

void CLaunchState::Begin(const std::string& settingsName, int slot, bool keep)
{
    m_nPhase = CHECKING;
    m_strSettingsName = settingsName;
    m_nSlot = slot;
    m_bKeep = keep;
    m_bProgramEnded = false;
    m_pProgram.reset();
}

void CLaunchState::SetProgram(std::unique_ptr<CProcessGroup> program)
{
    m_pProgram = std::move(program);
}

CJob::Work CLaunchState::WaitWork() const
{
    std::shared_ptr<CProcessGroup> program = m_pProgram;
    return [program](CJob& job) { return program->WaitEnd(job.StopEvent()); };
}

void CLaunchState::StartFailed()
{
    End();
    m_dwFailedTick = ::GetTickCount();
}

void CLaunchState::End()
{
    m_nPhase = IDLE;
    m_pProgram.reset();
}

bool CLaunchState::RefusesRestore() const
{
    return IsRunning() || (m_dwFailedTick && ::GetTickCount() - m_dwFailedTick < kKeepMinimizedAfterFailure);
}
