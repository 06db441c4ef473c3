// The launcher's group in Program Manager.
#pragma once
#include "framework/Wnd.h"
#include "model/ProgramList.h"

// Rebuilds the group "Cobweld" from the list over DDE and sets the list's
// group state to GROUP_STATE_NONE, whatever became of the commands.
void PublishProgmanGroup(CProgramList& list);

// The group step of the main window's close flow, by the list's group state:
// first run - notice, then publish; list changed - ask, when the group
// exists, and publish on Yes; otherwise nothing.
void RunCloseGroupStep(const CWnd& mainWindow, CProgramList& list);
