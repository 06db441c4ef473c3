// What the window says of an operation on an entry's settings that failed.
#pragma once
#include <windows.h>
#include <string>
#include "settings/SettingsSet.h"

// The operation's own message (string messageId), and why where the
// settings layer could tell.
std::wstring FailureText(UINT messageId, const CSettingsFailure& failure);
