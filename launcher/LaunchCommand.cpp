// Placeholder: replaced by the real code.
#include "ui/LauncherDlg.h"
void CLauncherDlg::OnOK() {}
BOOL CLauncherDlg::OnQueryOpen(LRESULT&) { return FALSE; }
void CLauncherDlg::OnWaitFinished() {}
