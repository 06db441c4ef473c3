// The main window: the entry list with its commands, the launch and the wait
// for a launched program, the close flow.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include "framework/Button.h"
#include "framework/Dialog.h"
#include "framework/Progress.h"
#include "launcher/Job.h"
#include "launcher/LaunchState.h"
#include "model/ProgramList.h"
#include "ui/ProgramListBox.h"

// Sent by a starting launcher to every top-level window whose title begins
// with "Cobweld"; a running launcher answers INSTANCE_PROBE_REPLY.
#define WM_INSTANCE_PROBE (WM_USER + 100)
#define INSTANCE_PROBE_REPLY 0xF0F0F0F0u

// Posted by the window's jobs (launcher/Job.h): their progress and their end.
#define WM_JOB (WM_USER + 101)

class CLauncherDlg : public CDialog {
public:
    explicit CLauncherDlg(CWnd* parent = nullptr);
    ~CLauncherDlg() override;

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    // The launch command.
    void OnOK() override;
    // Escape does not close the main window.
    void OnCancel() override {}
    BOOL OnCommand(WORD id, WORD code, HWND control) override;
    BOOL OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    // LauncherDlg.cpp
    void FillProgramList();
    void EnableEntryButtons(BOOL enable);
    // The selected row when it names an entry of the list, else -1.
    int GetSelectedEntry() const;
    // About, the group command, the settings commands and the close flow;
    // FALSE leaves the command to the default processing.
    BOOL OnSysCommand(UINT id, LPARAM lParam);
    void OnExit();
    void OnEndSession();
    void OnDestroy();
    BOOL OnPaint();
    HICON OnQueryDragIcon();
    LRESULT OnInstanceProbe(WPARAM wParam, LPARAM lParam);
    void OnDblclkProgramList();

    // LauncherDlgEntries.cpp: the commands that change the list.
    void OnNewEntry();
    void OnEntryProperties();
    void OnDeleteEntry();
    void OnMoveUp();
    void OnMoveDown();
    void OnReacquire();
    // Shows the entry of row index anew, selected.
    void RefreshRow(int index);

    // LauncherDlgLaunch.cpp: the launch, step by step, each long step a job.
    // The settings key is checked for changes made outside the launcher...
    void OnLaunchChecked(int changedBy);
    // ...restored, perhaps after the changes were taken into the entry that
    // left them (takenIn false: that capture failed)...
    void OnLaunchRestored(bool takenIn, bool restored);
    // ...the program started and waited for, and its settings captured.
    void OnProgramEnded();
    void OnRetryTimer();
    void StartWaitCapture();
    void OnLaunchCaptured(bool failed);
    // While a launch runs, or just after a failed start's message: TRUE with
    // result FALSE, which keeps the minimized window from being restored.
    BOOL OnQueryOpen(LRESULT& result);
    // The close flow's end of whatever runs. While the program runs the user
    // is asked whether to abandon it (false: No, the window and the wait
    // stay), unless the session ends; every copy under way is completed.
    bool PrepareClose(bool ask);

    // LauncherDlgSettings.cpp: the selected entry's settings sets, never
    // called while a launch or a job runs.
    void OnUndoCapture(CProgramEntry& entry);
    void OnExportSettings(CProgramEntry& entry);
    void OnImportSettings(CProgramEntry& entry);
    // Greys the undo command when the selected entry has nothing to undo.
    void UpdateSettingsMenu();

    // LauncherDlgJobs.cpp: the one job at a time. RunJob starts work off
    // this thread; progress (title id, the line below it) shows once the work
    // lasts, in the system's progress dialog or, while the window is
    // minimized, on its taskbar button; onEnd runs here once it has ended,
    // however the end is learnt (where no thread can start, the work runs on
    // this one). titleId 0: the work shows no progress.
    typedef std::function<void(const CJob& job)> JobEnd;
    void RunJob(UINT titleId, const std::string& line, bool cancellable, CJob::Work work, JobEnd onEnd);
    // A capture of the settings key into the slot, as a job that may be
    // cancelled.
    void RunCapture(const std::string& settingsName, int slot, JobEnd onEnd);
    void OnJobMessage(WPARAM id, LPARAM kind);
    void ShowProgress();
    // Waits, showing progress, until the job has ended, then ends it.
    void FinishJob();
    void EndJob();
    // Drops the job without its end: the work is asked to stop and nothing
    // more is heard of it.
    void AbandonJob();
    // Work that locks no command and shows nothing, beside the one job: its
    // end is not waited for but by the close.
    void StartBackgroundJob(CJob::Work work);
    void FinishBackgroundJobs();
    // A launch or a job runs: the commands that change entries do nothing.
    bool IsBusy() const { return m_launch.IsRunning() || m_pJob != nullptr; }

    struct CRunningJob {
        std::shared_ptr<CJob> job;
        UINT titleId = 0;
        std::string line;
        bool cancellable = false;
        JobEnd onEnd;
        CProgressDialog dialog;
        CTaskbarProgress taskbar;
    };
    std::unique_ptr<CRunningJob> m_pJob;
    std::vector<std::shared_ptr<CJob>> m_background;
    // The close flow is under way: what ends now goes no further than
    // keeping what was done.
    bool m_bClosing = false;
    bool m_bSessionEnding = false;

    CProgramList* m_pProgramList;
    // The title to put back once a wait is over.
    std::string m_strSavedTitle;
    CLaunchState m_launch;
    // The entry a launch runs for; the list does not change meanwhile.
    CProgramEntry* m_pLaunched = nullptr;

    CButton m_btnReacquire;
    CButton m_btnLaunch;
    CButton m_btnDelete;
    CButton m_btnProperties;
    CProgramListBox m_listPrograms;
    HICON m_hIcon;
};
