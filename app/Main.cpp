// The program's entry point and its one application object.
#include "app/LauncherApp.h"

CLauncherApp theApp;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int cmdShow)
{
    return AfxWinMain(instance, cmdShow);
}
