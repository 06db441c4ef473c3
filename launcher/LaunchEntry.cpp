// Placeholder: replaced by the real code.
#include "model/ProgramEntry.h"
HANDLE CProgramEntry::LaunchEntry() { return nullptr; }
