// The launcher's application object.
#pragma once
#include "framework/WinApp.h"

class CLauncherApp : public CWinApp {
public:
    // Runs the main window once; always FALSE, so the program then ends.
    BOOL InitInstance() override;
};
