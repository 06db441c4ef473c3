#include "settings/SettingsSet.h"
#include "framework/Scoped.h"
#include "framework/Text.h"
#include "registry/KeyTreeRecord.h"
#include "registry/RegistryTree.h"
#include "files/FilePath.h"
#include "settings/FilesSnapshot.h"
#include "settings/LeftRecords.h"
#include "settings/SettingsName.h"
#include "settings/SettingsPaths.h"
#include "settings/SettingsSetFiles.h"
#include "settings/SnapshotSlot.h"

namespace {

// The record of the settings as the slot's entry left them (LeftRecords.h):
// a note of the slot's.
const wchar_t kLeftNote[] = L"Left";

// The name a registry file gives the settings key.
std::wstring RegFileRoot(const std::string& settingsName)
{
    return L"HKEY_CURRENT_USER\\" + Widen(SettingsKeyPath(settingsName));
}

// A file's root names the settings key: HKEY_CURRENT_USER\Software\ and
// then the same levels, whatever the letter case.
bool RootNamesSettings(const std::wstring& root, const std::string& settingsName)
{
    const std::wstring prefix = L"HKEY_CURRENT_USER\\Software\\";
    return root.size() > prefix.size()
        && ::CompareStringOrdinal(root.c_str(), static_cast<int>(prefix.size()), prefix.c_str(), -1, TRUE) == CSTR_EQUAL
        && SameSettingsName(Narrow(root.substr(prefix.size())), settingsName);
}

// A copy of source into the slot's staging key, each new key secured as it
// is made. record (when given) is what the copy read.
bool CopyIntoStaging(CSnapshotSlot& slot, HKEY source, CTreeWalk& walk, CGeneration* generation)
{
    CRegKey staging;
    if (slot.CreateStagingKey(staging, RegistryKeyClass(source)) != ERROR_SUCCESS)
        return false;
    CKeyTreeRecord record;
    if (!walk.record)
        walk.record = &record;
    if (CSnapshotSecurity* security = slot.Security())
        walk.created = [security](HKEY key) { security->Secure(key); };
    if (!CopyRegistryTree(source, staging, &walk)) {
        staging.Close();
        slot.DiscardStaging();
        return false;
    }
    const CKeyTreeRecord::Totals& totals = walk.record->Count();
    generation->size.keys = totals.keys, generation->size.values = totals.values, generation->size.bytes = totals.bytes;
    generation->size.known = true;
    return true;
}

} // namespace

std::wstring CSettingsSet::Describe() const
{
    return HasKey() || m_paths.empty() ? Widen(m_strSettingsName) : m_paths[0];
}

CSettingsSet CSettingsSet::InSlot(int slot) const
{
    CSettingsSet set(*this);
    set.m_nSlot = slot;
    return set;
}

bool CSettingsSet::SameSettings(const CSettingsSet& other) const
{
    return SameSettingsName(m_strSettingsName, other.m_strSettingsName) && HasKey() == other.HasKey()
        && CFilesSnapshot::SamePaths(m_paths, other.m_paths);
}

bool CSettingsSet::Names(const CSettingsChange& change) const
{
    if (change.path.empty())
        return HasKey() && SameSettingsName(m_strSettingsName, Narrow(change.subject));
    for (size_t i = 0; i < m_paths.size(); ++i) {
        if (SamePath(FullPath(i), change.path))
            return true;
    }
    return false;
}

bool CSettingsSet::CheckPaths(CSettingsFailure* failure) const
{
    size_t refused = 0;
    PathRefusal why = CheckSettingsPaths(m_paths, m_strProgramFolder, &refused);
    if (why != PATH_ACCEPTED && failure)
        *failure = {CSettingsFailure::PATH_REFUSED, m_paths[refused], static_cast<DWORD>(why)};
    return why == PATH_ACCEPTED;
}

std::wstring CSettingsSet::FullPath(size_t index) const
{
    return ExpandSettingsPath(m_paths[index], m_strProgramFolder);
}

bool CSettingsSet::Build(CSnapshotSlot& slot, const CSettingsSet* before, CKeyTreeRecord* left,
                         CGeneration* generation, const CWorkProgress& progress, CSettingsFailure* failure) const
{
    if (!slot.IsValid() || (!HasKey() && m_paths.empty()) || !CheckPaths(failure))
        return false;
    generation->settingsName = m_strSettingsName;
    generation->size.known = true;
    const double keyShare = !HasKey() ? 0 : m_paths.empty() ? 1 : 0.5;
    if (HasKey()) {
        // The key the set had before comes from its snapshot, another from the live key.
        bool kept = before && before->HasKey() && SameSettingsName(before->m_strSettingsName, m_strSettingsName);
        CRegKey source;
        if (kept ? slot.Open(source) != ERROR_SUCCESS
                 : !IsSettingsName(m_strSettingsName)
                       || source.Open(HKEY_CURRENT_USER, SettingsKeyPath(m_strSettingsName).c_str()) != ERROR_SUCCESS)
            return false;
        CTreeWalk walk;
        walk.progress = progress.Part(0, keyShare);
        walk.record = kept ? nullptr : left;
        if (!CopyIntoStaging(slot, source, walk, generation))
            return false;
    }
    if (BuildFiles(slot, before, generation, progress.Part(keyShare, 1 - keyShare), failure))
        return true;
    slot.DiscardStaging();
    return false;
}

bool CSettingsSet::Capture(DWORD reason, const CWorkProgress& progress, CSettingsFailure* failure) const
{
    CSnapshotSlot slot(m_nSlot);
    CKeyTreeRecord left;
    CGeneration current;
    if (!Build(slot, nullptr, &left, &current, progress, failure) || !slot.Commit(reason, current))
        return false;
    Left(slot, HasKey() ? &left : nullptr);
    return true;
}

bool CSettingsSet::CaptureChanges(const CSettingsSet& before, DWORD reason, const CWorkProgress& progress,
                                  CSettingsFailure* failure) const
{
    CSnapshotSlot slot(m_nSlot);
    CKeyTreeRecord left;
    CGeneration current;
    if (!Build(slot, &before, &left, &current, progress, failure) || !slot.Commit(reason, current))
        return false;
    bool keyIsNew = HasKey() && !(before.HasKey() && SameSettingsName(before.m_strSettingsName, m_strSettingsName));
    Left(slot, keyIsNew ? &left : nullptr, &before);
    return true;
}

bool CSettingsSet::KeepAside(DWORD reason, const CWorkProgress& progress, CSettingsFailure* failure) const
{
    CSnapshotSlot slot(m_nSlot);
    CKeyTreeRecord left;
    CGeneration kept;
    return Build(slot, nullptr, &left, &kept, progress, failure) && slot.KeepAside(reason, kept);
}

bool CSettingsSet::Restore(bool keep, const CWorkProgress& progress, CSettingsFailure* failure) const
{
    CSnapshotSlot slot(m_nSlot);
    if (!slot.IsValid() || (!HasKey() && m_paths.empty()) || !CheckPaths(failure))
        return false;
    const double keyShare = !HasKey() ? 0 : m_paths.empty() ? 1 : 0.5;
    CSettingsFailure files;
    bool restored = RestoreFiles(slot, keep, progress.Part(keyShare, 1 - keyShare), &files);
    if (!restored && failure)
        *failure = files;
    if ((!restored && files.StartsNothing()) || !HasKey())
        return restored;
    CRegKey snapshot, settings;
    if (!IsSettingsName(m_strSettingsName) || slot.Open(snapshot) != ERROR_SUCCESS)
        return false;
    // Half restored, the settings key is nobody's.
    RecordLeft(m_strSettingsName, 0, 0);
    // Removed first, so that the copy cannot merge old and restored settings:
    // a subkey that cannot be removed fails the restore.
    const std::string path = SettingsKeyPath(m_strSettingsName);
    DeleteRegistryTree(HKEY_CURRENT_USER, path.c_str());
    if (RegistryKeyExists(HKEY_CURRENT_USER, path.c_str()))
        return false;
    std::wstring keyClass = RegistryKeyClass(snapshot);
    CKeyTreeRecord left;
    CTreeWalk walk;
    walk.progress = progress.Part(0, keyShare);
    walk.record = &left;
    if (settings.Create(HKEY_CURRENT_USER, Widen(path).c_str(), KEY_READ | KEY_WRITE,
                        keyClass.empty() ? nullptr : keyClass.c_str()) != ERROR_SUCCESS
        || !CopyRegistryTree(snapshot, settings, &walk))
        return false;
    // What was written equals the snapshot it was read from.
    if (keep) {
        RecordLeft(m_strSettingsName, m_nSlot, left.Fingerprint());
        slot.SetNote(kLeftNote, left.Bytes());
    }
    return restored;
}

void CSettingsSet::Left(CSnapshotSlot& slot, const CKeyTreeRecord* left, const CSettingsSet* before) const
{
    if (left) {
        RecordLeft(m_strSettingsName, m_nSlot, left->Fingerprint());
        slot.SetNote(kLeftNote, left->Bytes());
    }
    for (size_t i = 0; i < m_paths.size(); ++i) {
        if (!before || !before->Names(CSettingsChange{m_nSlot, m_paths[i], FullPath(i)}))
            LeftPath(slot, FullPath(i));
    }
}

CSettingsChange CSettingsSet::ChangedSinceLeft(const CWorkProgress& progress) const
{
    CRegKey settings;
    ULONGLONG fingerprint = 0;
    int slot = IsSettingsName(m_strSettingsName) ? LeftBy(m_strSettingsName, &fingerprint) : 0;
    if (slot > 0 && settings.Open(HKEY_CURRENT_USER, SettingsKeyPath(m_strSettingsName).c_str()) == ERROR_SUCCESS) {
        CSettingsChange change = {slot, Widen(m_strSettingsName), std::wstring()};
        // What the leaving copy recorded, unless another launcher (an
        // earlier build, which keeps the fingerprint alone) has left the key
        // since.
        std::vector<BYTE> bytes;
        CKeyTreeRecord left;
        if (CSnapshotSlot(slot).GetNote(kLeftNote, &bytes) && left.Read(bytes.data(), bytes.size())
            && left.Fingerprint() == fingerprint) {
            if (CheckTree(settings, left, progress) == TreeChange::CHANGED)
                return change;
        } else {
            CTreeFingerprint now;
            CTreeWalk walk;
            walk.progress = progress;
            walk.fingerprint = &now;
            if (WalkRegistryTree(settings, walk) && now.Value() != fingerprint)
                return change;
        }
    }
    return ChangedFilesSinceLeft(progress);
}

void CSettingsSet::Discard() const
{
    // The records go first: a new entry given the slot once its trees are
    // gone may have left settings already.
    ForgetLeftBy(m_nSlot);
    CSnapshotSlot(m_nSlot).Discard();
}

std::vector<CGeneration> CSettingsSet::History() const
{
    return CSnapshotSlot(m_nSlot).History();
}

bool CSettingsSet::HasPrevious() const
{
    return History().size() > 1;
}

bool CSettingsSet::BringBack(int n, CSettingsFailure* failure) const
{
    CSnapshotSlot slot(m_nSlot);
    std::vector<CGeneration> history = slot.History();
    auto generation = history.begin();
    while (generation != history.end() && (generation->number == 0 || (n && generation->number != n)))
        ++generation;
    if (generation == history.end())
        return false;
    // Another key's settings put in place of this key's would be restored
    // into it (an earlier build's generation names none).
    if (!generation->settingsName.empty() && !SameSettingsName(generation->settingsName, m_strSettingsName)) {
        if (failure)
            *failure = {CSettingsFailure::OTHER_KEY, Widen(generation->settingsName)};
        return false;
    }
    return slot.BringBack(generation->number);
}

bool CSettingsSet::SetKept(int n, bool kept) const
{
    return CSnapshotSlot(m_nSlot).SetKept(n, kept);
}

bool CSettingsSet::RemoveGeneration(int n) const
{
    return CSnapshotSlot(m_nSlot).RemoveGeneration(n);
}

bool CSettingsSet::CreateEmpty() const
{
    CSnapshotSlot slot(m_nSlot);
    CRegKey staging;
    CGeneration empty;
    empty.settingsName = m_strSettingsName;
    empty.size.known = true;
    if (slot.CreateStagingKey(staging, std::wstring()) != ERROR_SUCCESS)
        return false;
    staging.Close();
    return slot.Commit(REASON_EARLIER, empty);
}

bool CSettingsSet::CopyTo(int slot) const
{
    CSnapshotSlot from(m_nSlot), to(slot);
    CRegKey source;
    CGeneration copy;
    copy.settingsName = m_strSettingsName;
    CTreeWalk walk;
    bool copied = to.IsValid() && (from.Open(source) != ERROR_SUCCESS || CopyIntoStaging(to, source, walk, &copy))
        && CopyFiles(from.FilesFolder(0), to.StagingFolder(), &copy);
    if (!copied || !to.Commit(REASON_EARLIER, copy)) {
        to.DiscardStaging();
        return false;
    }
    return true;
}

bool CSettingsSet::Export(const std::wstring& path, const CWorkProgress& progress, int n) const
{
    CSnapshotSlot slot(m_nSlot);
    CRegKey snapshot;
    double keyShare = m_paths.empty() ? 1 : 0.5;
    if (!HasKey() ? !WriteEmptyRegFile(path)
                  : slot.Open(snapshot, n) != ERROR_SUCCESS
                        || !ExportRegFile(snapshot, RegFileRoot(m_strSettingsName), path, progress.Part(0, keyShare)))
        return false;
    return m_paths.empty() || ExportFiles(slot.FilesFolder(n), path, progress.Part(keyShare, 1 - keyShare));
}

bool CSettingsSet::ExportDifference(int n, const std::wstring& path, const CWorkProgress& progress) const
{
    CSnapshotSlot slot(m_nSlot);
    CRegKey current, generation;
    return n > 0 && HasKey() && slot.Open(current) == ERROR_SUCCESS && slot.Open(generation, n) == ERROR_SUCCESS
        && ExportRegDifference(current, generation, RegFileRoot(m_strSettingsName), path, progress);
}

bool CSettingsSet::Import(const std::wstring& path, RegFileError* error, const CWorkProgress& progress,
                          CSettingsFailure* failure) const
{
    *error = RegFileError();
    CSnapshotSlot slot(m_nSlot);
    CRegKey staging;
    CGeneration imported;
    imported.settingsName = m_strSettingsName;
    imported.size.known = true;
    double keyShare = m_paths.empty() ? 1 : 0.5;
    bool filled = slot.IsValid() && CheckPaths(failure)
        && (m_paths.empty()
            || ImportFiles(path, slot.StagingFolder(), m_paths, &imported, progress.Part(keyShare, 1 - keyShare),
                           failure));
    if (filled && HasKey()) {
        filled = slot.CreateStagingKey(staging, std::wstring()) == ERROR_SUCCESS
            && ImportRegFile(path, staging, error, progress.Part(0, keyShare));
        // Another program's settings would become this entry's.
        if (filled && !RootNamesSettings(error->root, m_strSettingsName)) {
            error->kind = RegFileError::OTHER_KEY;
            filled = false;
        }
        if (filled) {
            // Measured as the copy would have, and made private as it would.
            CKeyTreeRecord record;
            CTreeWalk walk;
            walk.record = &record;
            filled = WalkRegistryTree(staging, walk);
            imported.size.keys = record.Count().keys, imported.size.values = record.Count().values;
            imported.size.bytes = record.Count().bytes;
            if (slot.Security())
                slot.Security()->Apply(staging);
        }
        staging.Close();
    }
    if (filled && slot.Commit(REASON_IMPORT, imported))
        return true;
    slot.DiscardStaging();
    if (error->kind == RegFileError::NONE && (!failure || failure->kind == CSettingsFailure::UNSPECIFIED))
        error->kind = RegFileError::WRITE_FAILED;
    return false;
}

bool IsSnapshotSlotTaken(int slot)
{
    return CSnapshotSlot(slot, false).IsTaken();
}
