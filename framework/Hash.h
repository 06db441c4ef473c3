// A fast 64-bit hash of bytes, for fingerprints of what a tree holds: it
// tells copies apart from changed trees, and is no defence against anyone
// who makes collisions on purpose.
#pragma once
#include <windows.h>
#include <cstddef>

// Spreads every bit of h over the whole result.
ULONGLONG Mix(ULONGLONG h);
// Eight bytes a step: it reads every byte a copy carries, and must cost
// little beside the copy. A stream hashed piece by piece, each piece with
// the hash so far as its seed, gives one value for the same pieces.
ULONGLONG HashBytes(ULONGLONG seed, const void* data, size_t size);
