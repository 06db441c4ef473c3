// The folder that holds the snapshots of settings files: a user's settings,
// passwords and tokens among them.
#pragma once
#include "files/FileError.h"

// Gives the existing folder an explicit, protected access list: only the
// current user, SYSTEM and the administrators may open it, and what is made
// below it inherits that. What the folder holds already gets it too. False,
// with error, when the system refused.
bool MakeFolderPrivate(const std::wstring& folder, FileError* error);
