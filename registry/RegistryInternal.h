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

// Set by tests to make a capture put its copy in place the way systems
// without RegRenameKey do.
extern bool g_bRegistryRenameDisabled;
