// Access for what holds a user's settings, passwords and tokens among them:
// only that user, SYSTEM and the administrators.
#pragma once
#include <windows.h>
#include "framework/Scoped.h"

// A self-relative security descriptor with a protected DACL (nothing
// inherited from above) that grants the current user, SYSTEM and the
// administrators rights, an SDDL right ("KA" all access to a key, "FA" to a
// file), passed on to every object below. False when it could not be made.
bool MakePrivateSecurity(const wchar_t* rights, CLocalPtr<void>& descriptor);
