// A launch as the main window sees it: from the restore of the entry's
// settings until the wait for its program is over or abandoned.
//
// The wait runs on a thread of its own, which captures the settings once the
// program has ended. The thread works on its own copy of what the capture
// needs and knows nothing of the window but the handle it posts to, so it
// may outlive the window. It captures only after AllowCapture: the window
// lets it begin only while it asks the user nothing, so that an answer to
// "abandon the wait?" still decides.
#pragma once
#include <windows.h>
#include <memory>
#include <string>
#include "framework/ProcessGroup.h"

class CLaunchState {
public:
    CLaunchState() = default;
    // A wait still running is abandoned.
    ~CLaunchState();
    CLaunchState(const CLaunchState&) = delete;
    CLaunchState& operator=(const CLaunchState&) = delete;

    // The entry's settings are being restored and its program started.
    void BeginStart();
    // The start failed: idle again.
    void StartFailed();
    // Waits until the last process of program has ended. Posts message to
    // notify then and again when its settings are captured (settingsName into
    // slot). False, idle again, when no thread could start.
    bool BeginWait(std::unique_ptr<CProcessGroup> program, HWND notify, UINT message, const std::string& settingsName,
                   int slot);
    // Idle again; a wait that has not ended is abandoned.
    void End();

    // A launch runs: the window's entry commands do nothing meanwhile.
    bool IsRunning() const { return m_nPhase != IDLE; }
    bool IsWaiting() const { return m_nPhase == WAITING; }
    // A launch runs, or a failed start's message was answered a moment ago:
    // under Wine, closing a message box restores its minimized owner.
    bool RefusesRestore() const;

    // While waiting: the program has not ended yet.
    bool ProgramRunning() const;
    bool CaptureBegun() const;
    bool CaptureDone() const;
    // Lets the capture begin once the program has ended.
    void AllowCapture();
    // Lets the capture begin and waits until it is done, the window staying
    // responsive meanwhile.
    void FinishCapture();

    struct Wait;

private:
    enum Phase { IDLE, STARTING, WAITING };
    Phase m_nPhase = IDLE;
    DWORD m_dwFailedTick = 0;
    std::shared_ptr<Wait> m_pWait;
};
