// Waiting on the interface thread without freezing its windows.
#pragma once
#include <windows.h>

// Waits until handle is signalled (with a NULL handle: for the time only),
// at most milliseconds, while this thread's windows go on answering the
// messages sent to them (another launcher's probe among them) and repainting.
// Nothing posted is dispatched, so no command can run in between. True when
// the handle was signalled.
bool WaitResponsive(HANDLE handle, DWORD milliseconds);
