#include "ui/LauncherDlg.h"
#include <cstdlib>
#include "framework/Text.h"
#include "framework/WinApp.h"
#include "progman/ProgmanGroup.h"
#include "resources/resource.h"
#include "ui/AboutDlg.h"

CLauncherDlg::CLauncherDlg(CWnd* parent)
    : CDialog(IDD_MAIN, parent),
      m_pProgramList(nullptr),
      m_pWaitThread(nullptr),
      m_pLaunchedEntry(nullptr),
      m_hProcess(nullptr),
      m_hIcon(nullptr)
{
    m_hIcon = ::LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME));
    m_pProgramList = new CProgramList;
}

CLauncherDlg::~CLauncherDlg()
{
    // Deleting the list writes it back when it was changed.
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

    if (HMENU systemMenu = GetSystemMenu(FALSE)) {
        ::AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuA(systemMenu, MF_STRING, IDM_CREATE_GROUP, LoadStr(IDS_CREATE_GROUP).c_str());
        ::AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, LoadStr(IDS_ABOUTBOX).c_str());
        // The window has a fixed size.
        ::DeleteMenu(systemMenu, SC_MAXIMIZE, MF_BYCOMMAND);
        ::DeleteMenu(systemMenu, SC_SIZE, MF_BYCOMMAND);
    }

    m_listPrograms.SetItemHeight(0, LOWORD(::GetSystemMetrics(SM_CYICON)));
    FillProgramList();

    if (m_listPrograms.GetCount() > 0) {
        // An index that names no row leaves the list without a selection.
        int current = static_cast<int>(AfxGetApp()->GetProfileInt("Cobweld", "Current", 0));
        m_listPrograms.SetCurSel(current);
    } else {
        EnableEntryButtons(FALSE);
    }

    // Started from a Program Manager item: launch that entry at once, with
    // the window minimized. The posted command arrives in the modal loop.
    const char* commandLine = AfxGetApp()->m_lpCmdLine;
    if (commandLine && *commandLine) {
        int index = std::atoi(commandLine);
        if (m_listPrograms.SetCurSel(index) != LB_ERR) {
            ShowWindow(SW_SHOWMINNOACTIVE);
            PostMessage(WM_COMMAND, IDOK, 0);
        }
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

void CLauncherDlg::EnableEntryButtons(BOOL enable)
{
    m_btnLaunch.EnableWindow(enable);
    m_btnProperties.EnableWindow(enable);
    m_btnDelete.EnableWindow(enable);
    m_btnReacquire.EnableWindow(enable);
}

BOOL CLauncherDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg) {
    case WM_SYSCOMMAND:
        result = 0;
        return OnSysCommand(static_cast<UINT>(wParam), lParam);
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    case WM_PAINT:
        result = 0;
        return OnPaint();
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<LRESULT>(OnQueryDragIcon());
        return TRUE;
    case WM_INSTANCE_PROBE:
        result = OnInstanceProbe(wParam, lParam);
        return TRUE;
    case WM_QUERYOPEN:
        return OnQueryOpen(result);
    case WM_WAIT_FINISHED:
        OnWaitFinished();
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
            OnDblclkProgramList();
        return TRUE;
    }
    if (code == BN_CLICKED) {
        switch (id) {
        case IDC_NEW: OnNewEntry(); return TRUE;
        case IDC_PROPERTIES: OnEntryProperties(); return TRUE;
        case IDC_DELETE: OnDeleteEntry(); return TRUE;
        case IDC_UP: OnMoveUp(); return TRUE;
        case IDC_DOWN: OnMoveDown(); return TRUE;
        case IDC_EXIT: OnExit(); return TRUE;
        case IDC_REACQUIRE: OnReacquire(); return TRUE;
        }
    }
    // IDOK (the launch), IDCANCEL (ignored) and the help command.
    return CDialog::OnCommand(id, code, control);
}

BOOL CLauncherDlg::OnSysCommand(UINT id, LPARAM lParam)
{
    switch (id) {
    case IDM_ABOUTBOX: {
        CAboutDlg about(this);
        about.DoModal();
        return TRUE;
    }
    case IDM_CREATE_GROUP:
        PublishProgmanGroup(*m_pProgramList);
        return TRUE;
    case SC_CLOSE:
        // The one close flow: the window's close button, Alt+F4, the Exit
        // button and the end of a launch all come here.
        if (m_pWaitThread) {
            int answer = MessageBox(LoadStr(IDS_CONFIRM_ABANDON_WAIT).c_str(), "Cobweld",
                                    MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
            if (answer == IDNO)
                return TRUE;
            // The wait may have ended while the question was open.
            if (m_pWaitThread)
                AbandonWait();
        }
        RunCloseGroupStep(*this, *m_pProgramList);
        CDialog::OnCancel();
        return TRUE;
    }
    return FALSE;
}

void CLauncherDlg::OnExit()
{
    OnSysCommand(SC_CLOSE, 0);
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

HICON CLauncherDlg::OnQueryDragIcon()
{
    return m_hIcon;
}

LRESULT CLauncherDlg::OnInstanceProbe(WPARAM wParam, LPARAM lParam)
{
    // Both arguments all ones; only the low 32 bits count, so that a 32-bit
    // prober's -1 matches however it was widened.
    if (static_cast<DWORD>(wParam) == 0xFFFFFFFFu && static_cast<DWORD>(lParam) == 0xFFFFFFFFu)
        return static_cast<LRESULT>(INSTANCE_PROBE_REPLY);
    return 0;
}

void CLauncherDlg::OnDblclkProgramList()
{
    OnOK();
}

void CLauncherDlg::OnDeleteEntry()
{
    int sel = GetSelectedEntry();
    if (sel < 0)
        return;
    CProgramEntry* entry = m_pProgramList->GetAt(sel);
    std::string question = std::string(entry->m_szTitle) + LoadStr(IDS_CONFIRM_DELETE);
    if (MessageBox(question.c_str(), "Cobweld", MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
        return;
    // The row goes first: it points at the entry that RemoveAt deletes.
    m_listPrograms.DeleteString(sel);
    m_pProgramList->RemoveAt(sel);
    int left = m_listPrograms.GetCount();
    if (left == 0) {
        EnableEntryButtons(FALSE);
    } else {
        m_listPrograms.SetCurSel(left - 1);
    }
    // Also when the list is empty: the Delete button that had the focus is
    // now disabled, and the keyboard must stay usable.
    m_listPrograms.SetFocus();
}

void CLauncherDlg::OnMoveUp()
{
    int sel = GetSelectedEntry();
    if (sel < 0)
        return;
    if (!m_pProgramList->MoveUp(sel))
        return;
    FillProgramList();
    m_listPrograms.SetCurSel(sel - 1);
}

void CLauncherDlg::OnMoveDown()
{
    int sel = GetSelectedEntry();
    if (sel < 0)
        return;
    if (!m_pProgramList->MoveDown(sel))
        return;
    FillProgramList();
    m_listPrograms.SetCurSel(sel + 1);
}

void CLauncherDlg::OnReacquire()
{
    int sel = GetSelectedEntry();
    if (sel < 0)
        return;
    CProgramEntry* entry = m_pProgramList->GetAt(sel);
    std::string question = std::string(entry->m_szRegistry) + LoadStr(IDS_CONFIRM_REACQUIRE);
    if (MessageBox(question.c_str(), "Cobweld", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    if (!entry->CaptureSnapshot())
        MessageBox(LoadStr(IDS_CAPTURE_FAILED).c_str(), nullptr, MB_OK);
}
