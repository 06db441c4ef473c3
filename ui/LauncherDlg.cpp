#include "ui/LauncherDlg.h"
#include "framework/Text.h"
#include "framework/WinApp.h"
#include "progman/ProgmanGroup.h"
#include "resources/resource.h"
#include "ui/AboutDlg.h"
#include "ui/FailureText.h"

CLauncherDlg::CLauncherDlg(CWnd* parent, std::optional<int> startIndex)
    : CDialog(IDD_MAIN, parent), m_pProgramList(nullptr), m_startIndex(startIndex), m_pRunner(new CJobRunner(nullptr, WM_JOB)),
      m_pLaunch(new CLaunch(*m_pRunner, *this)), m_hIcon(nullptr)
{
    m_hIcon = ::LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME));
    m_pProgramList = new CProgramList;
}

CLauncherDlg::~CLauncherDlg()
{
    delete m_pProgramList;
}

void CLauncherDlg::DoDataExchange()
{
    DDX_Control(IDC_REACQUIRE, m_btnReacquire);
    DDX_Control(IDOK, m_btnLaunch);
    DDX_Control(IDC_DELETE, m_btnDelete);
    DDX_Control(IDC_PROPERTIES, m_btnProperties);
    DDX_Control(IDC_PROGRAM_LIST, m_listPrograms);
}

BOOL CLauncherDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    CenterWindow();
    m_pRunner.reset(new CJobRunner(m_hWnd, WM_JOB));
    m_pLaunch.reset(new CLaunch(*m_pRunner, *this));
    m_pRunner->OnBusyChanged([this] { UpdateButtons(); });

    if (HMENU systemMenu = GetSystemMenu(FALSE)) {
        // A zero is a separator.
        const UINT items[][2] = {{0, 0}, {IDM_CREATE_GROUP, IDS_CREATE_GROUP}, {0, 0}, {IDM_UNDO_CAPTURE, IDS_UNDO_CAPTURE},
            {IDM_HISTORY, IDS_HISTORY_MENU}, {IDM_EXPORT_SETTINGS, IDS_EXPORT_SETTINGS},
            {IDM_IMPORT_SETTINGS, IDS_IMPORT_SETTINGS}, {0, 0}, {IDM_ABOUTBOX, IDS_ABOUTBOX}};
        for (const auto& item : items)
            ::AppendMenuA(systemMenu, item[0] ? MF_STRING : MF_SEPARATOR, item[0], item[0] ? LoadStr(item[1]).c_str() : nullptr);
        // The window has a fixed size.
        ::DeleteMenu(systemMenu, SC_MAXIMIZE, MF_BYCOMMAND);
        ::DeleteMenu(systemMenu, SC_SIZE, MF_BYCOMMAND);
    }

    m_listPrograms.SetItemHeight(0, LOWORD(::GetSystemMetrics(SM_CYICON)));
    FillProgramList();

    // An index that names no row leaves the list without a selection.
    m_listPrograms.SetCurSel(static_cast<int>(AfxGetApp()->GetProfileInt("Cobweld", "Current", 0)));
    UpdateButtons();

    // Started from a group item: launch that entry at once, with the window
    // minimized. The posted command arrives in the modal loop.
    if (m_startIndex && m_listPrograms.SetCurSel(*m_startIndex) != LB_ERR) {
        ShowWindow(SW_SHOWMINNOACTIVE);
        m_bLaunchByIndex = true;
        PostMessage(WM_COMMAND, IDOK, 0);
    }
    return TRUE;
}

void CLauncherDlg::FillProgramList()
{
    m_listPrograms.ResetContent();
    for (int i = 0; i < m_pProgramList->GetCount(); ++i)
        m_listPrograms.AddItemData(m_pProgramList->GetAt(i));
}

int CLauncherDlg::GetSelectedEntry() const
{
    int sel = m_listPrograms.GetCurSel();
    if (!m_pProgramList || sel < 0 || sel >= m_pProgramList->GetCount())
        return -1;
    return sel;
}

void CLauncherDlg::UpdateButtons()
{
    // Nothing that changes the list or settings while a launch or a job runs.
    BOOL idle = !IsBusy(), entries = idle && m_listPrograms.GetCount() > 0;
    for (CButton* button : {&m_btnLaunch, &m_btnProperties, &m_btnDelete, &m_btnReacquire})
        button->EnableWindow(entries);
    for (int id : {IDC_NEW, IDC_UP, IDC_DOWN})
        ::EnableWindow(GetDlgItem(id), idle);
}

BOOL CLauncherDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg) {
    case WM_SYSCOMMAND:
        result = 0;
        return OnSysCommand(static_cast<UINT>(wParam), lParam);
    case WM_INITMENUPOPUP:
        if (HIWORD(lParam))
            UpdateSettingsMenu();
        return FALSE;
    case WM_ENDSESSION:
        if (wParam)
            OnEndSession();
        result = 0;
        return TRUE;
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    case WM_PAINT:
        result = 0;
        return OnPaint();
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<LRESULT>(m_hIcon);
        return TRUE;
    case WM_INSTANCE_PROBE:
        result = OnInstanceProbe(wParam, lParam);
        return TRUE;
    case WM_QUERYOPEN:
        return OnQueryOpen(result);
    case WM_JOB:
        m_pRunner->OnMessage(wParam, lParam);
        result = 0;
        return TRUE;
    }
    // WM_INITDIALOG, WM_COMMAND and the reflected WM_DRAWITEM.
    return CDialog::OnMessage(msg, wParam, lParam, result);
}

BOOL CLauncherDlg::OnCommand(WORD id, WORD code, HWND control)
{
    if (id == IDC_PROGRAM_LIST) {
        if (code == LBN_DBLCLK)
            OnOK();
        return TRUE;
    }
    if (code != BN_CLICKED)
        return CDialog::OnCommand(id, code, control);
    void (CLauncherDlg::*handler)() = nullptr;
    switch (id) {
    case IDC_EXIT: OnClose(); return TRUE;
    case IDC_NEW: handler = &CLauncherDlg::OnNewEntry; break;
    case IDC_PROPERTIES: handler = &CLauncherDlg::OnEntryProperties; break;
    case IDC_DELETE: handler = &CLauncherDlg::OnDeleteEntry; break;
    case IDC_UP: handler = &CLauncherDlg::OnMoveUp; break;
    case IDC_DOWN: handler = &CLauncherDlg::OnMoveDown; break;
    case IDC_REACQUIRE: handler = &CLauncherDlg::OnReacquire; break;
    default:
        // IDOK (the launch), IDCANCEL (ignored) and the help command.
        return CDialog::OnCommand(id, code, control);
    }
    // While a launch or a job runs the list stays as it is, however the
    // command arrives (a button's mnemonic reaches the minimized window too):
    // a new entry could take the slot that the waited-for capture goes to.
    if (!IsBusy())
        (this->*handler)();
    return TRUE;
}

BOOL CLauncherDlg::OnSysCommand(UINT id, LPARAM lParam)
{
    switch (id) {
    case IDM_ABOUTBOX: {
        CAboutDlg about(this);
        RunDialog(about);
        return TRUE;
    }
    case IDM_CREATE_GROUP:
        PublishProgmanGroup(*m_pProgramList);
        return TRUE;
    case IDM_UNDO_CAPTURE:
    case IDM_HISTORY:
    case IDM_EXPORT_SETTINGS:
    case IDM_IMPORT_SETTINGS: {
        // Like the entry commands: nothing while a launch or a job runs.
        int sel = GetSelectedEntry();
        if (IsBusy() || sel < 0)
            return TRUE;
        const CProgramEntry& entry = *m_pProgramList->GetAt(sel);
        (this->*(id == IDM_UNDO_CAPTURE ? &CLauncherDlg::OnUndoCapture : id == IDM_HISTORY ? &CLauncherDlg::OnHistory
                 : id == IDM_EXPORT_SETTINGS ? &CLauncherDlg::OnExportSettings : &CLauncherDlg::OnImportSettings))(entry);
        return TRUE;
    }
    case SC_CLOSE:
        OnClose();
        return TRUE;
    }
    return FALSE;
}

void CLauncherDlg::OnClose()
{
    if (!m_pRunner->MayClose() || !m_pLaunch->PrepareClose(true))
        return;
    m_pRunner->Close();
    {
        CJobRunner::CQuestion asking(*m_pRunner, true);
        RunCloseGroupStep(*this, *m_pProgramList);
    }
    CDialog::OnCancel();
}

void CLauncherDlg::OnEndSession()
{
    // The session ends without asking anybody, whatever is on screen: a copy
    // under way is completed, a program still running is no longer waited
    // for. The list and the group state are stored already; the group is
    // left for the next close.
    m_bSessionEnding = true;
    m_pLaunch->PrepareClose(false);
    m_pRunner->Close();
    CDialog::OnCancel();
}

int CLauncherDlg::Ask(const std::wstring& text, UINT type, bool closes)
{
    CJobRunner::CQuestion asking(*m_pRunner, closes);
    return ::MessageBoxW(m_hWnd, text.c_str(), L"Cobweld", type);
}

void CLauncherDlg::TellFailure(UINT messageId, const CSettingsFailure& failure)
{
    Tell(FailureText(messageId, failure));
}

void CLauncherDlg::Tell(const std::wstring& text)
{
    CJobRunner::CQuestion asking(*m_pRunner);
    ::MessageBoxW(m_hWnd, text.c_str(), Widen(AfxGetAppTitle()).c_str(), MB_OK | MB_ICONEXCLAMATION);
}

void CLauncherDlg::OnDestroy()
{
    if (CWinApp* app = AfxGetApp())
        app->CloseHelp();
}

BOOL CLauncherDlg::OnPaint()
{
    if (!IsIconic())
        return FALSE;
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(&client);
    int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
    ::EndPaint(m_hWnd, &paint);
    return TRUE;
}

LRESULT CLauncherDlg::OnInstanceProbe(WPARAM wParam, LPARAM lParam)
{
    // Both arguments all ones; only the low 32 bits count, so that a 32-bit
    // prober's -1 matches however it was widened.
    if (static_cast<DWORD>(wParam) == 0xFFFFFFFFu && static_cast<DWORD>(lParam) == 0xFFFFFFFFu)
        return static_cast<LRESULT>(INSTANCE_PROBE_REPLY);
    return 0;
}
