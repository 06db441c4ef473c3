// The main window: the entry list with its commands, the launch as the
// window sees it, the close flow. The work itself runs below it: the jobs in
// launcher/JobRunner.h, the launch in launcher/Launch.h, an entry's settings
// through its settings set.
#pragma once
#include <memory>
#include <optional>
#include <string>
#include "framework/Button.h"
#include "framework/Dialog.h"
#include "launcher/JobRunner.h"
#include "launcher/Launch.h"
#include "model/ProgramList.h"
#include "ui/ProgramListBox.h"

// Sent by a starting launcher to every top-level window whose title begins
// with "Cobweld"; a running launcher answers INSTANCE_PROBE_REPLY.
#define WM_INSTANCE_PROBE (WM_USER + 100)
#define INSTANCE_PROBE_REPLY 0xF0F0F0F0u

// Posted by the window's jobs (launcher/Job.h): their progress and their end.
#define WM_JOB (WM_USER + 101)

class CLauncherDlg : public CDialog, private ILaunchWindow {
public:
    // startIndex: the row to launch at once, as a group item asks; a number
    // that names no row opens the window as without one.
    CLauncherDlg(CWnd* parent, std::optional<int> startIndex);
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
    // The commands enabled that may run now.
    void UpdateButtons();
    // The selected row when it names an entry of the list, else -1.
    int GetSelectedEntry() const;
    // About, the group command, the settings commands and the close flow;
    // FALSE leaves the command to the default processing.
    BOOL OnSysCommand(UINT id, LPARAM lParam);
    // The one close flow: the window's close button, Alt+F4, the Exit button
    // and the end of a launch all come here (the session's end has its own).
    void OnClose();
    void OnEndSession();
    void OnDestroy();
    BOOL OnPaint();
    LRESULT OnInstanceProbe(WPARAM wParam, LPARAM lParam);
    // Every question and dialog of the window: a close waits for its answer.
    int Ask(const std::wstring& text, UINT type, bool closes = false);
    void TellFailure(UINT messageId, const CSettingsFailure& failure = CSettingsFailure()) override;
    // A failure's message, in wide characters: it may name a path.
    void Tell(const std::wstring& text);
    template <class Dialog>
    INT_PTR RunDialog(Dialog& dialog)
    {
        CJobRunner::CQuestion asking(*m_pRunner);
        return dialog.DoModal();
    }
    // A launch or a job runs: the commands that change entries do nothing.
    bool IsBusy() const { return m_pLaunch->IsRunning() || m_pRunner->IsBusy(); }

    // LauncherDlgEntries.cpp: the commands that change the list.
    void OnNewEntry();
    void OnEntryProperties();
    void OnDeleteEntry();
    void OnMove(bool up);
    void OnMoveUp() { OnMove(true); }
    void OnMoveDown() { OnMove(false); }
    void OnReacquire();
    // Shows the entry of row index anew, selected.
    void RefreshRow(int index);

    // LauncherDlgLaunch.cpp: the launch as the window sees it.
    Answer AskChangedOutside(const CSettingsChange& change, CSettingsSet* takeInto) override;
    bool AskAbandon() override;
    void OnWaiting() override;
    void OnLaunchEnded(const CEnd& end) override;
    // While a launch runs, or just after a failed start's message: TRUE with
    // result FALSE, which keeps the minimized window from being restored.
    BOOL OnQueryOpen(LRESULT& result);

    // LauncherDlgSettings.cpp: the selected entry's settings sets, never
    // called while a launch or a job runs.
    void OnUndoCapture(const CProgramEntry& entry);
    void OnHistory(const CProgramEntry& entry);
    void OnExportSettings(const CProgramEntry& entry);
    void OnImportSettings(const CProgramEntry& entry);
    // Greys the undo command when the selected entry has nothing to undo.
    void UpdateSettingsMenu();

    CProgramList* m_pProgramList;
    std::optional<int> m_startIndex;
    std::unique_ptr<CJobRunner> m_pRunner;
    std::unique_ptr<CLaunch> m_pLaunch;
    bool m_bSessionEnding = false;
    // The command line named a row: its launch, the first, ends the launcher.
    bool m_bLaunchByIndex = false;
    // The entry a launch runs for (the list does not change meanwhile), and
    // the title to put back once its wait is over.
    CProgramEntry* m_pLaunched = nullptr;
    std::string m_strSavedTitle;

    CButton m_btnReacquire;
    CButton m_btnLaunch;
    CButton m_btnDelete;
    CButton m_btnProperties;
    CProgramListBox m_listPrograms;
    HICON m_hIcon;
};
