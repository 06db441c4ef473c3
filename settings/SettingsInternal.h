// Internals of the settings layer that its tests reach into.
#pragma once

// Called before each step of a staged replacement (settings/Staging.h).
// Tests set it to stop the work after a given step, as a process that ended
// there would; false stops it. NULL: every step runs.
typedef bool (*StagingStepHook)();
extern StagingStepHook g_pfnStagingStep;
