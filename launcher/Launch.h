// One launch of a program with its own settings, step by step: the live
// settings are checked for changes made outside the launcher since it left
// them, put in place from the snapshot, the program started and, when its
// settings are to be taken back, waited for and its settings captured. Each
// long step is a job of the window's runner; the window keeps answering.
//
// The launch knows a settings set and a way to start a program, never an
// entry. It asks the window only what a person must answer, and tells it
// how the launch ended.
#pragma once
#include <windows.h>
#include <functional>
#include <memory>
#include "framework/ProcessGroup.h"
#include "launcher/JobRunner.h"
#include "settings/SettingsSet.h"

// What a launch asks of the window, and what it tells it.
class ILaunchWindow {
public:
    enum Answer { TAKE_IN, DISCARD, CANCEL };
    struct CEnd {
        bool started = false;       // the program was started
        bool waited = false;        // ...and its end waited for
        bool captureFailed = false; // ...and its settings could not be taken back
        CSettingsFailure failure;   // why, where it is known
    };

    // The live settings (the key or a path: change.subject) were changed
    // outside the launcher after the entry of change.slot left them: take
    // the changes into that entry before the launch?
    // *takeInto is set to that entry's settings (which keep the changes as a
    // generation when they are not taken in), unless no entry of slot names
    // these settings any more: then DISCARD, without asking.
    virtual Answer AskChangedOutside(const CSettingsChange& change, CSettingsSet* takeInto) = 0;
    // Whether the running program is no longer to be waited for.
    virtual bool AskAbandon() = 0;
    // A failure the user must hear of: the string's id, and why.
    virtual void TellFailure(UINT messageId, const CSettingsFailure& failure) = 0;
    // The program runs, and its end is waited for.
    virtual void OnWaiting() = 0;
    virtual void OnLaunchEnded(const CEnd& end) = 0;

protected:
    ~ILaunchWindow() = default;
};

struct CLaunchPlan {
    CSettingsSet settings;
    // Wait for the program and take its settings back when it ends.
    bool keep = false;
    // Starts the program once its settings are in place.
    std::function<std::unique_ptr<CProcessGroup>()> start;
};

class CLaunch {
public:
    CLaunch(CJobRunner& runner, ILaunchWindow& window) : m_runner(runner), m_window(window) {}
    CLaunch(const CLaunch&) = delete;
    CLaunch& operator=(const CLaunch&) = delete;

    // Starts the launch; false when one runs already or a close is asked for.
    bool Begin(CLaunchPlan plan);
    // The window's commands that change entries or settings do nothing
    // meanwhile.
    bool IsRunning() const { return m_nPhase != IDLE; }
    // A launch runs, or a failed start's message was answered a moment ago:
    // under Wine, closing a message box restores its minimized owner.
    bool RefusesRestore() const;
    // The close flow's part: while the program runs the window is asked
    // whether to abandon it (unless ask is false: the session ends); false:
    // No, the launch goes on. A program that has ended has its capture
    // started; every other step is completed by the runner's close.
    bool PrepareClose(bool ask);

private:
    enum Phase { IDLE, CHECKING, TAKING_IN, RESTORING, WAITING, CAPTURING };
    void OnChecked(const CSettingsChange& change);
    void TakeIn(const CSettingsSet& into, bool inUse);
    void Restore();
    void Start(bool restored, const CSettingsFailure& failure);
    void OnProgramEnded();
    void Capture();
    void End(const ILaunchWindow::CEnd& end);
    // Launches nothing after all: the window stays minimized a moment.
    void Fail(UINT messageId, const CSettingsFailure& failure = CSettingsFailure());

    CJobRunner& m_runner;
    ILaunchWindow& m_window;
    Phase m_nPhase = IDLE;
    CLaunchPlan m_plan;
    std::shared_ptr<CProcessGroup> m_pProgram;
    bool m_bProgramEnded = false;
    DWORD m_dwFailedTick = 0;
};
