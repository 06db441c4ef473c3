// Placeholder: replaced by the real code.
#include "ui/LauncherDlg.h"
CLauncherDlg::CLauncherDlg(CWnd* parent) : CDialog(102, parent), m_pProgramList(nullptr), m_pWaitThread(nullptr), m_pLaunchedEntry(nullptr), m_hProcess(nullptr), m_hIcon(nullptr) {}
CLauncherDlg::~CLauncherDlg() {}
void CLauncherDlg::DoDataExchange() {}
BOOL CLauncherDlg::OnInitDialog() { return CDialog::OnInitDialog(); }
BOOL CLauncherDlg::OnCommand(WORD id, WORD code, HWND control) { return CDialog::OnCommand(id, code, control); }
BOOL CLauncherDlg::OnMessage(UINT msg, WPARAM w, LPARAM l, LRESULT& r) { return CDialog::OnMessage(msg, w, l, r); }
