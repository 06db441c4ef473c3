// The parts of CSettingsSet's work on settings files that its other file
// shares (settings/SettingsSet.h).
#pragma once
#include <string>
#include "framework/WorkProgress.h"
#include "settings/Generation.h"
#include "settings/SettingsSet.h"

class CSnapshotSlot;

// The slot's entry left the live settings path at fullPath as it is now.
void LeftPath(CSnapshotSlot& slot, const std::wstring& fullPath);
// The settings files' snapshot at from (none there: nothing) copied to the
// staging folder to; generation counts them.
bool CopyFiles(const std::wstring& from, const std::wstring& to, CGeneration* generation);
// The settings files' snapshot at folder written beside a registry file
// at regPath, in the folder of its name; and read back from there into a
// slot's staging folder, which must name the same paths as paths.
bool ExportFiles(const std::wstring& folder, const std::wstring& regPath, const CWorkProgress& progress);
bool ImportFiles(const std::wstring& regPath, const std::wstring& staging, const std::vector<std::wstring>& paths,
                 CGeneration* generation, const CWorkProgress& progress, CSettingsFailure* failure);
