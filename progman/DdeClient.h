// The DDE client that talks to Program Manager: one process-wide DDE
// instance and at most one open conversation, used from the interface
// thread only.
#pragma once
#include <windows.h>
#include <ddeml.h>

// Initialises the DDE instance, passing in the identifier left by the last
// call (0 the first time). The instance is never uninitialised.
void DdeClientInit();

// Opens a conversation with service and topic and keeps its handle; TRUE when
// one is open. A conversation still open from an earlier call is closed first,
// since Wine refuses a second conversation on the same service and topic from
// one instance; when a server vanished without ending its conversation, the
// instance is started afresh.
BOOL DdeClientConnect(const char* service, const char* topic);

// Sends command (with its terminating NUL) as one CF_TEXT execute and waits
// up to 10 seconds for the answer. TRUE only when the server accepted it;
// FALSE at once, sending nothing, when no conversation is open.
BOOL DdeClientExecute(const char* command);

// After a DdeClientExecute that returned FALSE: TRUE when the server
// answered and refused the command (not a timeout, nothing unsent).
bool DdeClientLastRefused();

// TRUE while a conversation is open.
bool DdeClientIsConnected();

// The instance's callback: forgets the conversation when the server ends it.
HDDEDATA CALLBACK DdeClientCallback(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2,
                                    HDDEDATA data, ULONG_PTR data1, ULONG_PTR data2);
