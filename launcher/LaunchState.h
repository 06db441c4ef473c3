// A launch as the main window sees it: from the check of the entry's settings
// key until its settings are captured back, or the launch ends otherwise.
// The long steps are jobs (launcher/Job.h) that the window runs; this object
// keeps the step the launch is at, what its jobs work on, and the program.
#pragma once
#include <windows.h>
#include <memory>
#include <string>
#include "framework/ProcessGroup.h"
#include "launcher/Job.h"

class CLaunchState {
public:
    enum Phase {
        IDLE,
        CHECKING,  // the settings key is checked for changes made outside
        RESTORING, // the entry's settings are put in place
        WAITING,   // the program runs, or has ended and its capture waits
        CAPTURING  // the program's settings are taken back
    };

    CLaunchState() = default;
    CLaunchState(const CLaunchState&) = delete;
    CLaunchState& operator=(const CLaunchState&) = delete;

    // A launch of the entry with this settings key and slot begins; keep:
    // the program's settings are taken back when it ends.
    void Begin(const std::string& settingsName, int slot, bool keep);
    void SetPhase(Phase phase) { m_nPhase = phase; }
    Phase GetPhase() const { return m_nPhase; }
    const std::string& SettingsName() const { return m_strSettingsName; }
    int Slot() const { return m_nSlot; }
    bool Keeps() const { return m_bKeep; }

    // The program, started: its wait is the work of a job. The work ends
    // when the program has ended (true) or the job is asked to stop (false);
    // the program then runs on, unwatched.
    void SetProgram(std::unique_ptr<CProcessGroup> program);
    CJob::Work WaitWork() const;
    // The program runs: asked directly, so that it is known before the wait
    // hears of the end.
    bool ProgramRunning() const { return m_pProgram && !m_pProgram->Ended(); }
    // While waiting: the program has ended (its capture may still wait).
    void SetProgramEnded() { m_bProgramEnded = true; }
    bool ProgramEnded() const { return m_bProgramEnded; }

    // The start failed or was called off: idle again, and the window stays
    // minimized a moment (see RefusesRestore).
    void StartFailed();
    // Idle again.
    void End();

    // A launch runs: the window's entry commands do nothing meanwhile.
    bool IsRunning() const { return m_nPhase != IDLE; }
    // A launch runs, or a failed start's message was answered a moment ago:
    // under Wine, closing a message box restores its minimized owner.
    bool RefusesRestore() const;

private:
    Phase m_nPhase = IDLE;
    std::string m_strSettingsName;
    int m_nSlot = 0;
    bool m_bKeep = false;
    bool m_bProgramEnded = false;
    std::shared_ptr<CProcessGroup> m_pProgram;
    DWORD m_dwFailedTick = 0;
};
