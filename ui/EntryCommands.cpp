// Placeholder: replaced by the real code.
#include "ui/LauncherDlg.h"
void CLauncherDlg::OnNewEntry() {}
void CLauncherDlg::OnEntryProperties() {}
