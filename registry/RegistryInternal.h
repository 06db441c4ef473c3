// Internals of the registry layer that its tests reach into.
#pragma once
#include <windows.h>

// Obtains the copy's transfer and name buffers: zero-filled fixed memory, or
// null when there is none. Released with GlobalFree. Tests may swap it to
// simulate a machine out of memory; it is process-wide, so restore it.
typedef void* (*RegistryBufferAllocator)(SIZE_T bytes);
extern RegistryBufferAllocator g_pfnRegistryBufferAlloc;
void* DefaultRegistryBufferAlloc(SIZE_T bytes);

// The copy's first transfer buffer; grown on demand.
const DWORD REGISTRY_TRANSFER_SIZE = 0x10000;
// The first name buffer of the copy, in characters; grown on demand.
const DWORD REGISTRY_NAME_SIZE = 300;

// Called before each step of a key-tree replacement or undo. Tests set it to
// stop the work after a given step, as a process that ended there would;
// false stops it. NULL: every step runs.
typedef bool (*StagedKeyStepHook)();
extern StagedKeyStepHook g_pfnStagedKeyStep;
