// The launch command, step by step: check the entry's settings key for
// changes made outside the launcher, restore the entry's settings, start its
// program, and either close or wait for the program to capture its settings
// back. Each long step is a job; the window keeps answering meanwhile.
#include "ui/LauncherDlg.h"
#include "framework/Scoped.h"
#include "framework/Text.h"
#include "framework/WinApp.h"
#include "registry/Snapshot.h"
#include "resources/resource.h"

namespace {
// While a box of the main window is on screen the end of a wait is looked at
// again this often.
const UINT_PTR kRetryTimerId = 0x5741;
const UINT kRetryMilliseconds = 200;

bool StartedFromGroupItem()
{
    const char* commandLine = AfxGetApp()->m_lpCmdLine;
    return commandLine && *commandLine;
}
}

void CLauncherDlg::OnOK()
{
    // A posted IDOK still arrives while a launch runs: a second launch would
    // lose the first one's capture.
    if (IsBusy())
        return;
    if (::GetKeyState(VK_MENU) & 0x8000) {
        OnEntryProperties();
        return;
    }
    int sel = GetSelectedEntry();
    if (sel < 0)
        return;
    AfxGetApp()->WriteProfileInt("Cobweld", "Current", sel);
    m_pLaunched = m_pProgramList->GetAt(sel);
    ShowWindow(SW_MINIMIZE);

    m_launch.Begin(FieldText(m_pLaunched->m_szRegistry), m_pLaunched->m_nSaveSlot, m_pLaunched->m_bRetrieveAgain != 0);
    auto changedBy = std::make_shared<int>(0);
    std::string settingsName = m_launch.SettingsName();
    RunJob(IDS_PROGRESS_CHECK, settingsName, false, [settingsName, changedBy](CJob& job) {
        *changedBy = Snapshot::ChangedSinceLeft(settingsName, job.Progress());
        return true;
    }, [this, changedBy](const CJob&) { OnLaunchChecked(*changedBy); });
}

void CLauncherDlg::OnLaunchChecked(int changedBy)
{
    if (m_bClosing) {
        m_launch.End();
        return;
    }
    // Changes made since the entry that left the settings key did: they are
    // that entry's to keep, if the user wants them.
    int takeInto = 0;
    const CProgramEntry* leftBy = changedBy ? m_pProgramList->FindBySlot(changedBy) : nullptr;
    if (leftBy && Snapshot::SameSettingsName(FieldText(leftBy->m_szRegistry), m_launch.SettingsName())) {
        std::string question = FormatStr(IDS_CHANGED_OUTSIDE, {FieldText(m_pLaunched->m_szRegistry),
                                                                FieldText(leftBy->m_szTitle)});
        int answer = MessageBox(question.c_str(), "Cobweld", MB_YESNOCANCEL | MB_ICONQUESTION);
        if (answer == IDCANCEL) {
            m_launch.StartFailed();
            return;
        }
        if (answer == IDYES)
            takeInto = changedBy;
    }
    m_launch.SetPhase(CLaunchState::RESTORING);
    struct Result {
        bool takenIn = true, restored = false;
    };
    auto result = std::make_shared<Result>();
    std::string settingsName = m_launch.SettingsName();
    int slot = m_launch.Slot();
    bool keep = m_launch.Keeps();
    RunJob(IDS_PROGRESS_RESTORE, settingsName, false, [=](CJob& job) {
        double share = takeInto ? 0.5 : 1;
        result->takenIn = !takeInto || Snapshot::Capture(settingsName, takeInto, job.Progress().Unstoppable().Part(0, share));
        if (result->takenIn)
            result->restored = Snapshot::Restore(settingsName, slot, keep, job.Progress().Unstoppable().Part(1 - share, share));
        return result->restored;
    }, [this, result](const CJob&) { OnLaunchRestored(result->takenIn, result->restored); });
}

void CLauncherDlg::OnLaunchRestored(bool takenIn, bool restored)
{
    // Closed meanwhile: the settings are in place, but nobody starts the
    // program any more.
    if (m_bClosing) {
        m_launch.End();
        return;
    }
    // The changes made outside could not be kept: nothing is restored over
    // them, nothing started.
    if (!takenIn) {
        MessageBox(LoadStr(IDS_CAPTURE_FAILED).c_str(), nullptr, MB_OK);
        m_launch.StartFailed();
        return;
    }
    // The program is started all the same, with whatever its settings key holds.
    if (!restored)
        MessageBox(LoadStr(IDS_RESTORE_FAILED).c_str(), nullptr, MB_OK);
    std::unique_ptr<CProcessGroup> program = m_pLaunched->LaunchEntry();
    if (!program) {
        MessageBox(LoadStr(IDS_LAUNCH_FAILED).c_str(), nullptr, MB_OK);
        m_launch.StartFailed();
        return;
    }
    m_launch.SetProgram(std::move(program));
    if (!m_pLaunched->m_bRetrieveAgain) {
        // Nothing waits for the program: the launcher's work is done.
        m_launch.End();
        OnSysCommand(SC_CLOSE, 0);
        return;
    }
    m_launch.SetPhase(CLaunchState::WAITING);
    m_strSavedTitle = GetWindowText();
    SetWindowText("Cobweld - " + FieldText(m_pLaunched->m_szTitle) + LoadStr(IDS_WAITING_SUFFIX));
    ::EnableMenuItem(GetSystemMenu(FALSE), SC_RESTORE, MF_BYCOMMAND | MF_GRAYED);
    RunJob(0, std::string(), false, m_launch.WaitWork(), [this](const CJob&) { OnProgramEnded(); });
}

void CLauncherDlg::OnProgramEnded()
{
    m_launch.SetProgramEnded();
    // A box owned by the window is on screen, most likely the close flow's
    // question whether to abandon this wait: nothing happens before it has
    // been answered.
    if (!m_bClosing && !::IsWindowEnabled(m_hWnd)) {
        ::SetTimer(m_hWnd, kRetryTimerId, kRetryMilliseconds, nullptr);
        return;
    }
    StartWaitCapture();
}

void CLauncherDlg::OnRetryTimer()
{
    ::KillTimer(m_hWnd, kRetryTimerId);
    if (m_launch.GetPhase() == CLaunchState::WAITING && m_launch.ProgramEnded() && !m_pJob)
        OnProgramEnded();
}

void CLauncherDlg::StartWaitCapture()
{
    ::KillTimer(m_hWnd, kRetryTimerId);
    m_launch.SetPhase(CLaunchState::CAPTURING);
    RunCapture(m_launch.SettingsName(), m_launch.Slot(), [this](const CJob& job) { OnLaunchCaptured(job.Failed()); });
}

void CLauncherDlg::OnLaunchCaptured(bool failed)
{
    m_launch.End();
    ::EnableMenuItem(GetSystemMenu(FALSE), SC_RESTORE, MF_BYCOMMAND | MF_ENABLED);
    if (m_bClosing) {
        if (failed && !m_bSessionEnding)
            MessageBox(LoadStr(IDS_CAPTURE_FAILED).c_str(), nullptr, MB_OK);
        return;
    }
    if (StartedFromGroupItem()) {
        // Done once the settings are back.
        if (failed)
            MessageBox(LoadStr(IDS_CAPTURE_FAILED).c_str(), nullptr, MB_OK);
        PostMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
        return;
    }
    SetWindowText(m_strSavedTitle);
    ShowWindow(SW_SHOWNORMAL);
    SetForegroundWindow();
    m_listPrograms.SetFocus();
    if (failed)
        MessageBox(LoadStr(IDS_CAPTURE_FAILED).c_str(), nullptr, MB_OK);
}

bool CLauncherDlg::PrepareClose(bool ask)
{
    if (m_launch.GetPhase() == CLaunchState::WAITING && m_launch.ProgramRunning()) {
        if (ask && MessageBox(LoadStr(IDS_CONFIRM_ABANDON_WAIT).c_str(), "Cobweld",
                              MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDNO)
            return false;
        // The answer decides also when the program ended while it was
        // asked: its capture waits for the answer.
        if (m_launch.GetPhase() == CLaunchState::WAITING) {
            ::KillTimer(m_hWnd, kRetryTimerId);
            AbandonJob();
            m_launch.End();
            return true;
        }
    }
    // From here on nothing is abandoned: a capture or restore cut short by
    // the end of the launcher would lose settings. A check is only a look.
    m_bClosing = true;
    if (m_launch.GetPhase() == CLaunchState::CHECKING && m_pJob)
        m_pJob->job->Stop();
    if (m_launch.GetPhase() == CLaunchState::WAITING && !m_pJob)
        StartWaitCapture(); // the program has ended; its capture was waiting
    while (m_pJob)
        FinishJob();
    FinishBackgroundJobs();
    return true;
}

BOOL CLauncherDlg::OnQueryOpen(LRESULT& result)
{
    if (!m_launch.RefusesRestore())
        return FALSE;
    result = FALSE;
    return TRUE;
}
