// The single-instance handshake, the starting side.
#pragma once
#include <windows.h>
#include "framework/Scoped.h"

// How long one window may take to answer the probe before it counts as not
// answering: a hung window titled "Cobweld..." must not hang the start.
const UINT INSTANCE_PROBE_TIMEOUT_MS = 3000;

// Claims the launcher's mutex for this user's session, held as long as claim
// lives. False when another launcher holds it: one too busy to answer the
// probe still keeps a second one from starting.
bool ClaimSingleInstance(CHandle& claim);

// TRUE when a running launcher answered the probe. Walks every top-level
// window in z-order and probes those whose title begins with "Cobweld".
BOOL FindRunningInstance();
