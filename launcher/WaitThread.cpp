// Placeholder: replaced by the real code.
#include "ui/LauncherDlg.h"
UINT CLauncherDlg::OnChildExited() { return 0; }
void CLauncherDlg::AbandonWait() { m_pWaitThread = nullptr; }
