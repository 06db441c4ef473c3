// The main window: the entry list with its commands, the launch and the wait
// for a launched program, the close flow.
#pragma once
#include <string>
#include "framework/Dialog.h"
#include "framework/Button.h"
#include "framework/WinThread.h"
#include "model/ProgramList.h"
#include "ui/ProgramListBox.h"

// Sent by a starting launcher to every top-level window whose title begins
// with "Cobweld"; a running launcher answers INSTANCE_PROBE_REPLY.
#define WM_INSTANCE_PROBE (WM_USER + 100)
#define INSTANCE_PROBE_REPLY 0xF0F0F0F0u

// Posted by the wait thread once the launched program has ended and its
// settings were captured: the window steps of the wait's end run on the
// interface thread.
#define WM_WAIT_FINISHED (WM_USER + 101)

// What the interface thread and the wait thread share about one wait.
struct CWaitContext;

class CLauncherDlg : public CDialog {
public:
    explicit CLauncherDlg(CWnd* parent = nullptr);
    ~CLauncherDlg() override;

    CProgramList* m_pProgramList;
    // Launch state: the wait thread while a wait runs (NULL otherwise), the
    // title to put back after it, the entry and process launched last.
    CWinThread* m_pWaitThread;
    std::string m_strSavedTitle;
    CProgramEntry* m_pLaunchedEntry;
    HANDLE m_hProcess;
    // The running wait's shared state; NULL when no wait runs.
    CWaitContext* m_pWaitContext = nullptr;
    // Set while the launch command runs, and the tick count when its failure
    // message was answered: the window, minimized for the launch, is not
    // restored when one of its message boxes closes.
    BOOL m_bLaunching = FALSE;
    DWORD m_dwLaunchFailedTick = 0;

    CButton m_btnReacquire;
    CButton m_btnLaunch;
    CButton m_btnDelete;
    CButton m_btnProperties;
    CProgramListBox m_listPrograms;
    HICON m_hIcon;

    // Empties the list box and adds one row per entry.
    void FillProgramList();
    // Enables or disables Launch, Properties, Delete and Re-acquire.
    void EnableEntryButtons(BOOL enable);
    // The selected row when it names an entry of the list, else -1.
    int GetSelectedEntry() const;

    // System commands: About, the group command, the close flow. FALSE
    // leaves the command to the default processing.
    BOOL OnSysCommand(UINT id, LPARAM lParam);
    void OnDestroy();
    BOOL OnPaint();
    HICON OnQueryDragIcon();
    void OnNewEntry();
    void OnEntryProperties();
    void OnDeleteEntry();
    void OnMoveUp();
    void OnMoveDown();
    void OnDblclkProgramList();
    LRESULT OnInstanceProbe(WPARAM wParam, LPARAM lParam);
    // While a launch or a wait runs: TRUE with result FALSE, which keeps the
    // minimized window from being restored. Otherwise FALSE: WM_QUERYOPEN is left to the
    // default processing.
    BOOL OnQueryOpen(LRESULT& result);
    void OnExit();
    void OnReacquire();

    // Runs on the wait thread: waits for the launched program, captures its
    // settings and posts WM_WAIT_FINISHED. It works on the shared context
    // only, never on the window object or the list, which may be gone.
    static UINT OnChildExited(CWaitContext* context);
    // WM_WAIT_FINISHED, on the interface thread.
    void OnWaitFinished();
    // The close flow's end of a running wait: the launched program keeps
    // running, nothing is captured when it ends, and the wait thread no
    // longer touches this window or the list. Leaves m_pWaitThread NULL.
    void AbandonWait();

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    // The launch command.
    void OnOK() override;
    // Escape does not close the main window.
    void OnCancel() override {}
    BOOL OnCommand(WORD id, WORD code, HWND control) override;
    BOOL OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};
