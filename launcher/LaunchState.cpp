#include "launcher/LaunchState.h"
#include <mutex>
#include "framework/ResponsiveWait.h"
#include "framework/Scoped.h"
#include "registry/Snapshot.h"

namespace {
// How long after a failed start's message the window refuses to open.
const DWORD kKeepMinimizedAfterFailure = 1000;
}

// What the wait thread and the window share. The thread holds a reference
// until it returns.
struct CLaunchState::Wait {
    enum State { PROGRAM_RUNNING, PROGRAM_ENDED, CAPTURING, CAPTURED };

    std::unique_ptr<CProcessGroup> program;
    CHandle ended{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    CHandle goAhead{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    CHandle captured{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    HWND notify = nullptr;
    UINT message = 0;
    std::string settingsName;
    int slot = 0;

    mutable std::mutex lock;
    State state = PROGRAM_RUNNING;
    bool abandoned = false;

    State GetState() const
    {
        std::lock_guard<std::mutex> guard(lock);
        return state;
    }
    // Moves on and tells the window; false once the wait is abandoned.
    bool Advance(State next)
    {
        std::lock_guard<std::mutex> guard(lock);
        if (abandoned)
            return false;
        state = next;
        ::PostMessageW(notify, message, 0, 0);
        return true;
    }
    bool Allow()
    {
        std::lock_guard<std::mutex> guard(lock);
        if (abandoned || state != PROGRAM_ENDED)
            return false;
        state = CAPTURING;
        return true;
    }
    // From here on the thread neither captures nor posts.
    void Abandon()
    {
        {
            std::lock_guard<std::mutex> guard(lock);
            abandoned = true;
        }
        ::SetEvent(goAhead);
    }
};

namespace {

DWORD WINAPI WaitThreadProc(LPVOID param)
{
    std::unique_ptr<std::shared_ptr<CLaunchState::Wait>> reference(
        static_cast<std::shared_ptr<CLaunchState::Wait>*>(param));
    CLaunchState::Wait& wait = **reference;
    // Until the program has ended, only an abandon sets goAhead.
    if (!wait.program->WaitEnd(wait.goAhead) || !wait.Advance(CLaunchState::Wait::PROGRAM_ENDED))
        return 0;
    ::SetEvent(wait.ended);
    ::WaitForSingleObject(wait.goAhead, INFINITE);
    if (wait.GetState() != CLaunchState::Wait::CAPTURING)
        return 0;
    // A failed capture is not reported: the wait ends the same way.
    Snapshot::Capture(wait.settingsName, wait.slot);
    wait.Advance(CLaunchState::Wait::CAPTURED);
    ::SetEvent(wait.captured);
    return 0;
}

} // namespace

CLaunchState::~CLaunchState()
{
    End();
}

void CLaunchState::BeginStart()
{
    m_nPhase = STARTING;
}

void CLaunchState::StartFailed()
{
    m_nPhase = IDLE;
    m_dwFailedTick = ::GetTickCount();
}

bool CLaunchState::BeginWait(std::unique_ptr<CProcessGroup> program, HWND notify, UINT message,
                             const std::string& settingsName, int slot)
{
    auto wait = std::make_shared<Wait>();
    wait->program = std::move(program);
    wait->notify = notify;
    wait->message = message;
    wait->settingsName = settingsName;
    wait->slot = slot;
    auto* reference = new std::shared_ptr<Wait>(wait);
    CHandle thread(wait->ended.IsValid() && wait->goAhead.IsValid() && wait->captured.IsValid()
                       ? ::CreateThread(nullptr, 0, WaitThreadProc, reference, 0, nullptr)
                       : nullptr);
    if (!thread.IsValid()) {
        delete reference;
        m_nPhase = IDLE;
        return false;
    }
    m_pWait = wait;
    m_nPhase = WAITING;
    return true;
}

void CLaunchState::End()
{
    if (m_pWait)
        m_pWait->Abandon();
    m_pWait.reset();
    m_nPhase = IDLE;
}

bool CLaunchState::RefusesRestore() const
{
    return IsRunning() || (m_dwFailedTick && ::GetTickCount() - m_dwFailedTick < kKeepMinimizedAfterFailure);
}

bool CLaunchState::ProgramRunning() const
{
    // The program's last process may have ended a moment before the thread
    // saw it: what the user saw end has ended.
    return m_pWait && m_pWait->GetState() == Wait::PROGRAM_RUNNING && !m_pWait->program->Ended();
}

bool CLaunchState::CaptureBegun() const
{
    return m_pWait && m_pWait->GetState() >= Wait::CAPTURING;
}

bool CLaunchState::CaptureDone() const
{
    return m_pWait && m_pWait->GetState() == Wait::CAPTURED;
}

void CLaunchState::AllowCapture()
{
    if (m_pWait && m_pWait->Allow())
        ::SetEvent(m_pWait->goAhead);
}

void CLaunchState::FinishCapture()
{
    if (!m_pWait)
        return;
    if (!ProgramRunning())
        WaitResponsive(m_pWait->ended, INFINITE); // at once, or as soon as the thread saw the end
    AllowCapture();
    if (CaptureBegun())
        WaitResponsive(m_pWait->captured, INFINITE);
}
