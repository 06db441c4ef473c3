// The main window: the entry list with its commands, the launch and the wait
// for a launched program, the close flow.
#pragma once
#include <string>
#include "framework/Button.h"
#include "framework/Dialog.h"
#include "launcher/LaunchState.h"
#include "model/ProgramList.h"
#include "ui/ProgramListBox.h"

// Sent by a starting launcher to every top-level window whose title begins
// with "Cobweld"; a running launcher answers INSTANCE_PROBE_REPLY.
#define WM_INSTANCE_PROBE (WM_USER + 100)
#define INSTANCE_PROBE_REPLY 0xF0F0F0F0u

// Posted by the wait thread when the launched program has ended and again
// when its settings are captured.
#define WM_WAIT_FINISHED (WM_USER + 101)

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

    // LauncherDlgLaunch.cpp
    // While a launch runs, or just after a failed start's message: TRUE with
    // result FALSE, which keeps the minimized window from being restored.
    BOOL OnQueryOpen(LRESULT& result);

    // LauncherDlgWait.cpp
    void OnWaitFinished();
    // The close flow's end of a wait. While the program runs the user is
    // asked whether to abandon it (false: No, the window and the wait stay);
    // once it has ended, the capture is completed first.
    bool EndWaitForClose();

    // LauncherDlgSettings.cpp: the selected entry's settings sets, never
    // called while a launch runs.
    void OnUndoCapture(CProgramEntry& entry);
    void OnExportSettings(CProgramEntry& entry);
    void OnImportSettings(CProgramEntry& entry);
    // Greys the undo command when the selected entry has nothing to undo.
    void UpdateSettingsMenu();

    CProgramList* m_pProgramList;
    // The title to put back once a wait is over.
    std::string m_strSavedTitle;
    CLaunchState m_launch;

    CButton m_btnReacquire;
    CButton m_btnLaunch;
    CButton m_btnDelete;
    CButton m_btnProperties;
    CProgramListBox m_listPrograms;
    HICON m_hIcon;
};
