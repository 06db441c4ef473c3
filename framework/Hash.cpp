#include "framework/Hash.h"
#include <cstring>

ULONGLONG Mix(ULONGLONG h)
{
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDULL;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ULL;
    return h ^ (h >> 33);
}

ULONGLONG HashBytes(ULONGLONG seed, const void* data, size_t size)
{
    const BYTE* bytes = static_cast<const BYTE*>(data);
    ULONGLONG h = seed ^ (size * 0x9E3779B97F4A7C15ULL);
    for (; size >= 8; bytes += 8, size -= 8) {
        ULONGLONG word;
        std::memcpy(&word, bytes, 8);
        h = ((h ^ word) * 0x100000001B3ULL);
        h = (h << 31) | (h >> 33);
    }
    ULONGLONG tail = 0;
    if (size)
        std::memcpy(&tail, bytes, size);
    return Mix(h ^ tail ^ (static_cast<ULONGLONG>(size) << 56));
}
