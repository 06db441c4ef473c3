// The launcher's group in Program Manager.
#pragma once
#include "framework/Wnd.h"
#include "model/ProgramList.h"

// Rebuilds the group "Cobweld" from the list over DDE and sets the list's
// group state to GROUP_STATE_NONE, whatever became of the commands. Shows
// nothing. Items the shell refuses are written as shortcuts into the group's
// Start-menu folder, where the shell keeps the group as one.
void PublishProgmanGroup(CProgramList& list);

// PublishProgmanGroup with another DDE service in place of "PROGMAN".
void PublishProgmanGroupTo(CProgramList& list, const char* service);

// The group step of the main window's close flow, by the list's group state:
// first run - notice, then publish; list changed - ask, when the group
// exists, and publish on Yes; otherwise nothing. The message boxes are owned
// by mainWindow.
void RunCloseGroupStep(const CWnd& mainWindow, CProgramList& list);

enum GroupStepAction {
    GROUP_STEP_NOTHING,
    GROUP_STEP_NOTIFY_AND_PUBLISH,  // first run: notice, then publish
    GROUP_STEP_ASK_AND_PUBLISH      // list changed and the group exists: publish on Yes
};

// What the close flow does for a group state; groupExists matters only for a
// changed list.
GroupStepAction DecideCloseGroupStep(int groupState, bool groupExists);

// TRUE when the group exists: Program Manager's key
// HKCU\UNICODE Program Groups\Cobweld opens, or the Start-menu Programs
// folder holds a folder "Cobweld" (shells that keep no such key).
bool ProgmanGroupExists();
