// Placeholder: replaced by the real code.
#include "ui/LauncherDlg.h"
UINT CLauncherDlg::OnChildExited() { return 0; }
