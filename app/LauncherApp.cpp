#include "app/LauncherApp.h"

BOOL CLauncherApp::InitInstance()
{
    return FALSE;
}
