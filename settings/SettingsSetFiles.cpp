// CSettingsSet's settings files: each settings path copied into the set's
// files snapshot (settings/FilesSnapshot.h) and mirrored back from it, with
// the record of what the launcher left there for the check before a launch.
#include "settings/SettingsSet.h"
#include "files/FilePath.h"
#include "files/FileTreeRecord.h"
#include "files/TreeCopy.h"
#include "files/TreeListing.h"
#include "files/TreeMirror.h"
#include "files/TreeRemove.h"
#include "settings/FilesSnapshot.h"
#include "settings/LeftRecords.h"
#include "settings/SettingsPaths.h"
#include "settings/SettingsSetFiles.h"
#include "settings/SnapshotSlot.h"

namespace {

// The record of what the slot's entry left at a settings path: a note of
// the slot's, by the path's full form.
std::wstring LeftNote(const std::wstring& fullPath)
{
    return L"Left " + fullPath;
}

std::wstring Leaf(const std::wstring& fullPath)
{
    return fullPath.substr(fullPath.rfind(L'\\') + 1);
}

bool Fail(CSettingsFailure* failure, const FileError& error)
{
    if (failure) {
        bool held = error.code == ERROR_SHARING_VIOLATION || error.code == ERROR_LOCK_VIOLATION;
        *failure = {held ? CSettingsFailure::FILE_IN_USE : CSettingsFailure::FILE_FAILED, error.path, error.code};
    }
    return false;
}

// The files a snapshot folder holds, but for its list.
void Count(const std::wstring& folder, CGeneration* generation)
{
    TreeSize size;
    if (MeasureFileTree(folder, &size, nullptr) && size.files > 0) {
        generation->size.files += size.files - 1;
        generation->size.fileBytes += size.bytes;
    }
}

// The folder beside a registry file that holds its settings files: the
// file's name without its extension.
std::wstring FilesBeside(const std::wstring& regPath)
{
    size_t dot = regPath.rfind(L'.'), slash = regPath.rfind(L'\\');
    return dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash) ? regPath.substr(0, dot)
                                                                                      : regPath + L".files";
}

} // namespace

void LeftPath(CSnapshotSlot& slot, const std::wstring& fullPath)
{
    CFileTreeRecord record;
    if (!record.Take(fullPath, CWorkProgress(), nullptr)) {
        RecordLeftPath(fullPath, 0);
        return;
    }
    RecordLeftPath(fullPath, slot.Number());
    slot.SetNote(LeftNote(fullPath).c_str(), record.ToBytes());
}

bool CopyFiles(const std::wstring& from, const std::wstring& to, CGeneration* generation)
{
    if (!CFilesSnapshot(from).Exists())
        return true;
    bool absent = false;
    if (!CopyFileTree(from, to, std::wstring(), CWorkProgress(), nullptr, &absent))
        return false;
    Count(to, generation);
    return true;
}

bool ExportFiles(const std::wstring& folder, const std::wstring& regPath, const CWorkProgress& progress)
{
    const std::wstring beside = FilesBeside(regPath);
    bool absent = false;
    return RemoveFileTree(beside, nullptr) && CopyFileTree(folder, beside, std::wstring(), progress, nullptr, &absent)
        && !absent;
}

bool ImportFiles(const std::wstring& regPath, const std::wstring& staging, const std::vector<std::wstring>& paths,
                 CGeneration* generation, const CWorkProgress& progress, CSettingsFailure* failure)
{
    if (paths.empty())
        return true;
    const std::wstring beside = FilesBeside(regPath);
    // Files of other paths would be restored where this entry's are not.
    if (!CFilesSnapshot::SamePaths(CFilesSnapshot(beside).Paths(), paths) || !CFilesSnapshot(beside).Exists()) {
        if (failure)
            *failure = {CSettingsFailure::OTHER_FILES, beside, 0};
        return false;
    }
    FileError error;
    bool absent = false;
    if (!CopyFileTree(beside, staging, std::wstring(), progress, &error, &absent))
        return Fail(failure, error);
    Count(staging, generation);
    return true;
}

bool CSettingsSet::BuildFiles(CSnapshotSlot& slot, const CSettingsSet* before, CGeneration* generation,
                              const CWorkProgress& progress, CSettingsFailure* failure) const
{
    if (m_paths.empty())
        return true;
    const std::wstring staging = slot.StagingFolder();
    FileError error;
    if (!CFilesSnapshot::Create(staging, m_paths))
        return Fail(failure, FileError{staging, ::GetLastError()});
    const CFilesSnapshot current(slot.FilesFolder(0)), built(staging);
    for (size_t i = 0; i < m_paths.size(); ++i) {
        const std::wstring full = FullPath(i), leaf = Leaf(full);
        const std::wstring reference = current.CopyOf(m_paths[i], leaf);
        // A path the set had before comes from the snapshot, when it has
        // one; any other from the live path.
        bool kept = before && !reference.empty() && before->Names(CSettingsChange{m_nSlot, m_paths[i], full});
        bool absent = false;
        if (!CopyFileTree(kept ? reference : full, built.CopyOf(m_paths[i], leaf), reference,
                          progress.Part(static_cast<double>(i) / m_paths.size(), 1.0 / m_paths.size()), &error,
                          &absent))
            return Fail(failure, error);
    }
    Count(staging, generation);
    return true;
}

bool CSettingsSet::RestoreFiles(CSnapshotSlot& slot, bool keep, const CWorkProgress& progress,
                                CSettingsFailure* failure) const
{
    const CFilesSnapshot snapshot(slot.FilesFolder(0));
    bool missing = false;
    for (size_t i = 0; i < m_paths.size(); ++i) {
        const std::wstring full = FullPath(i), copy = snapshot.CopyOf(m_paths[i], Leaf(full));
        // Without a snapshot the live path stays as it is.
        if (copy.empty()) {
            if (failure && !missing)
                *failure = {CSettingsFailure::MISSING, m_paths[i], 0};
            missing = true;
            continue;
        }
        // Half restored, the path is nobody's.
        RecordLeftPath(full, 0);
        FileError error;
        if (!MirrorFileTree(copy, full, progress.Part(static_cast<double>(i) / m_paths.size(), 1.0 / m_paths.size()),
                            &error))
            return Fail(failure, error);
        if (keep)
            LeftPath(slot, full);
    }
    return !missing;
}

CSettingsChange CSettingsSet::ChangedFilesSinceLeft(const CWorkProgress& progress) const
{
    for (size_t i = 0; i < m_paths.size(); ++i) {
        const std::wstring full = FullPath(i);
        int slot = full.empty() ? 0 : LeftByPath(full);
        std::vector<BYTE> bytes;
        CFileTreeRecord left;
        bool changed = false;
        if (slot > 0 && CSnapshotSlot(slot).GetNote(LeftNote(full).c_str(), &bytes) && left.FromBytes(bytes)
            && left.Check(full, &changed, progress.Part(static_cast<double>(i) / m_paths.size(), 1.0 / m_paths.size()),
                          nullptr)
            && changed)
            return CSettingsChange{slot, m_paths[i], full};
    }
    return CSettingsChange();
}
