// A generation of an entry's settings: a set that was in use (its key tree
// and its settings files), kept when a capture or an undo put another in
// its place, with a record of when and why that was, and what it holds.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

// Why a generation was made; the set in use is none of them.
enum HistoryReason : DWORD {
    REASON_EARLIER = 0,       // the previous settings an earlier build kept; why is not known
    REASON_PROGRAM_ENDED = 1, // captured at the program's end
    REASON_REACQUIRE = 2,
    REASON_IMPORT = 3,
    REASON_OUTSIDE = 4,       // changes made outside the launcher, taken in
    REASON_UNDO = 5,
    REASON_KEY_CHANGED = 6,   // another settings key chosen in Properties
    REASON_OUTSIDE_DISCARDED = 7, // changes made outside, not taken in: kept all the same
    REASON_FILES_CHANGED = 8, // settings paths added or removed in Properties
};

// How much a set holds.
struct CSettingsSize {
    ULONGLONG keys = 0, values = 0, bytes = 0; // of the key tree
    ULONGLONG files = 0, fileBytes = 0;        // of the settings files
    bool known = false;                        // an earlier build's sets are not measured
};

struct CGeneration {
    int number = 0;      // 0: the set in use
    FILETIME made = {};  // when it was made (the set in use: when it was put in use)
    DWORD reason = REASON_EARLIER;
    bool kept = false;   // never removed for the history's depth
    CSettingsSize size;
    // The settings key whose settings it holds, as the entry named it then.
    std::string settingsName;

    std::vector<BYTE> Bytes() const;
    // False for bytes that Bytes did not make.
    bool Read(const std::vector<BYTE>& bytes);
};

// The notes' value names: a generation's record, and the set in use's.
std::wstring GenerationValue(int number);
