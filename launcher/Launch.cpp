#include "launcher/Launch.h"
#include "framework/Text.h"
#include "resources/resource.h"

namespace {
// How long after a failed start's message the window refuses to open.
const DWORD kKeepMinimizedAfterFailure = 1000;

CJobRunner::CJobInfo Info(UINT titleId, const CSettingsSet& settings, bool keepsData, bool cancellable = false)
{
    return CJobRunner::CJobInfo(titleId, settings.Describe(), keepsData, cancellable);
}
}

bool CLaunch::Begin(CLaunchPlan plan)
{
    if (IsRunning())
        return false;
    m_plan = std::move(plan);
    m_pProgram.reset();
    m_bProgramEnded = false;
    m_nPhase = CHECKING;
    auto change = std::make_shared<CSettingsChange>();
    CSettingsSet settings = m_plan.settings;
    // Only a look: a close stops it.
    if (!m_runner.Run(Info(IDS_PROGRESS_CHECK, settings, false), [settings, change](CJob& job) {
            *change = settings.ChangedSinceLeft(job.Progress());
            return true;
        }, [this, change](const CJob&) { OnChecked(*change); })) {
        m_nPhase = IDLE;
        return false;
    }
    return true;
}

void CLaunch::OnChecked(const CSettingsChange& change)
{
    if (m_runner.IsClosing()) {
        End({});
        return;
    }
    // Changes made since the entry that left the settings did: they are
    // that entry's to keep, if the user wants them.
    CSettingsSet takeInto;
    ILaunchWindow::Answer answer = change.slot ? m_window.AskChangedOutside(change, &takeInto)
                                               : ILaunchWindow::DISCARD;
    if (answer == ILaunchWindow::CANCEL)
        Fail(0);
    else if (takeInto.Slot() > 0)
        TakeIn(takeInto, answer == ILaunchWindow::TAKE_IN);
    else
        Restore();
}

void CLaunch::TakeIn(const CSettingsSet& into, bool inUse)
{
    m_nPhase = TAKING_IN;
    // The changes are the leaving entry's: taken in, or kept as one of its
    // generations when they are not. It keeps them, so it runs even when a
    // close was asked for meanwhile; the restore after it does not.
    auto failure = std::make_shared<CSettingsFailure>();
    if (!m_runner.Run(Info(IDS_PROGRESS_CAPTURE, into, true), [into, inUse, failure](CJob& job) {
            CWorkProgress progress = job.Progress().Unstoppable();
            return inUse ? into.Capture(REASON_OUTSIDE, progress, failure.get())
                         : into.KeepAside(REASON_OUTSIDE_DISCARDED, progress, failure.get());
        }, [this, failure](const CJob& job) {
            // The changes made outside could not be kept: nothing is
            // restored over them, nothing started.
            if (job.Succeeded())
                Restore();
            else
                Fail(IDS_CAPTURE_FAILED, *failure);
        }))
        End({});
}

void CLaunch::Restore()
{
    m_nPhase = RESTORING;
    CSettingsSet settings = m_plan.settings;
    bool keep = m_plan.keep;
    auto failure = std::make_shared<CSettingsFailure>();
    if (!m_runner.Run(Info(IDS_PROGRESS_RESTORE, settings, false), [settings, keep, failure](CJob& job) {
            return settings.Restore(keep, job.Progress().Unstoppable(), failure.get());
        }, [this, failure](const CJob& job) { Start(job.Succeeded(), *failure); }))
        End({});
}

void CLaunch::Start(bool restored, const CSettingsFailure& failure)
{
    // A settings path refused or a file held open: nothing was changed, and
    // nothing starts.
    if (!restored && failure.StartsNothing()) {
        Fail(IDS_RESTORE_REFUSED, failure);
        return;
    }
    // Otherwise the program is started all the same, with whatever its
    // settings hold; but they are not its own, and are never captured into
    // its snapshot.
    if (!restored)
        m_window.TellFailure(IDS_RESTORE_FAILED, failure);
    if (!m_runner.MayChange()) {
        End({});
        return;
    }
    std::unique_ptr<CProcessGroup> program = m_plan.start();
    if (!program) {
        Fail(IDS_LAUNCH_FAILED);
        return;
    }
    ILaunchWindow::CEnd started;
    started.started = true;
    if (!m_plan.keep || !restored) {
        // Nothing waits for the program.
        End(started);
        return;
    }
    m_pProgram = std::move(program);
    m_nPhase = WAITING;
    m_window.OnWaiting();
    std::shared_ptr<CProcessGroup> waited = m_pProgram;
    if (!m_runner.Run(Info(0, m_plan.settings, false), [waited](CJob& job) { return waited->WaitEnd(job.StopEvent()); },
                      [this](const CJob&) { OnProgramEnded(); }))
        End(started);
}

void CLaunch::OnProgramEnded()
{
    m_bProgramEnded = true;
    // A question on screen, most likely the close flow's whether to abandon
    // this wait: the answer decides first.
    m_runner.AfterQuestions([this] {
        if (m_nPhase == WAITING)
            Capture();
    });
}

void CLaunch::Capture()
{
    m_nPhase = CAPTURING;
    CSettingsSet settings = m_plan.settings;
    auto failure = std::make_shared<CSettingsFailure>();
    ILaunchWindow::CEnd end;
    end.started = end.waited = end.captureFailed = true;
    if (!m_runner.Run(Info(IDS_PROGRESS_CAPTURE, settings, true, true), [settings, failure](CJob& job) {
            return settings.Capture(REASON_PROGRAM_ENDED, job.Progress(), failure.get());
        }, [this, failure, end](const CJob& job) mutable {
            end.captureFailed = job.Failed();
            end.failure = *failure;
            End(end);
        }))
        End(end);
}

void CLaunch::End(const ILaunchWindow::CEnd& end)
{
    m_nPhase = IDLE;
    m_pProgram.reset();
    m_window.OnLaunchEnded(end);
}

void CLaunch::Fail(UINT messageId, const CSettingsFailure& failure)
{
    if (messageId)
        m_window.TellFailure(messageId, failure);
    m_dwFailedTick = ::GetTickCount();
    End({});
}

bool CLaunch::RefusesRestore() const
{
    return IsRunning() || (m_dwFailedTick && ::GetTickCount() - m_dwFailedTick < kKeepMinimizedAfterFailure);
}

bool CLaunch::PrepareClose(bool ask)
{
    if (m_nPhase == WAITING && m_pProgram && !m_pProgram->Ended()) {
        if (ask && !m_window.AskAbandon())
            return false;
        // The answer decides also when the program ended while it was
        // asked: its capture waited for the answer.
        if (m_nPhase == WAITING) {
            m_runner.Abandon();
            m_nPhase = IDLE;
            m_pProgram.reset();
            return true;
        }
    }
    // From here on nothing is abandoned: a capture or restore cut short by
    // the end of the launcher would lose settings. A check is only a look.
    if (m_nPhase == CHECKING)
        m_runner.Abandon(), End({});
    else if (m_nPhase == WAITING && m_bProgramEnded && !m_runner.IsBusy())
        Capture();
    return true;
}
