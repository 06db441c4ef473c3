// Internals of the registry layer that its tests reach into.
#pragma once
#include <windows.h>

// Called before each step of a key-tree replacement or undo. Tests set it to
// stop the work after a given step, as a process that ended there would;
// false stops it. NULL: every step runs.
typedef bool (*StagedKeyStepHook)();
extern StagedKeyStepHook g_pfnStagedKeyStep;
