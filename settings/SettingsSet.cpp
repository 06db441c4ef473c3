#include "settings/SettingsSet.h"
#include "framework/Scoped.h"
#include "framework/Text.h"
#include "registry/KeyTreeRecord.h"
#include "registry/RegistryTree.h"
#include "settings/LeftRecords.h"
#include "settings/SettingsName.h"
#include "settings/SnapshotSecurity.h"
#include "settings/SnapshotSlot.h"

namespace {

// The record of the settings as the slot's entry left them (LeftRecords.h):
// a note of the slot's.
const wchar_t kLeftNote[] = L"Left";

// A copy of source into a snapshot's staging key, each new key secured as it
// is made.
bool CopyIntoSnapshot(HKEY source, HKEY staging, CSnapshotSecurity* security, CTreeWalk& walk)
{
    if (security)
        walk.created = [security](HKEY key) { security->Secure(key); };
    return CopyRegistryTree(source, staging, &walk) != 0;
}

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

} // namespace

bool CSettingsSet::SameSettings(const CSettingsSet& other) const
{
    return SameSettingsName(m_strSettingsName, other.m_strSettingsName);
}

bool CSettingsSet::Capture(const CWorkProgress& progress) const
{
    CRegKey settings;
    if (!IsSettingsName(m_strSettingsName)
        || settings.Open(HKEY_CURRENT_USER, SettingsKeyPath(m_strSettingsName).c_str()) != ERROR_SUCCESS)
        return false;
    CKeyTreeRecord left;
    CTreeWalk walk;
    walk.progress = progress;
    walk.record = &left;
    if (!CSnapshotSlot(m_nSlot).Replace([&](HKEY staging, CSnapshotSecurity* security) {
            return CopyIntoSnapshot(settings, staging, security, walk);
        }, RegistryKeyClass(settings)))
        return false;
    Left(left);
    return true;
}

bool CSettingsSet::Restore(bool keep, const CWorkProgress& progress) const
{
    CRegKey snapshot, settings;
    if (!IsSettingsName(m_strSettingsName) || CSnapshotSlot(m_nSlot).Open(snapshot) != ERROR_SUCCESS)
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
    walk.progress = progress;
    walk.record = &left;
    if (settings.Create(HKEY_CURRENT_USER, Widen(path).c_str(), KEY_READ | KEY_WRITE,
                        keyClass.empty() ? nullptr : keyClass.c_str()) != ERROR_SUCCESS
        || !CopyRegistryTree(snapshot, settings, &walk))
        return false;
    // What was written equals the snapshot it was read from.
    if (keep)
        Left(left);
    return true;
}

void CSettingsSet::Left(const CKeyTreeRecord& left) const
{
    RecordLeft(m_strSettingsName, m_nSlot, left.Fingerprint());
    CSnapshotSlot(m_nSlot).SetNote(kLeftNote, left.Bytes());
}

int CSettingsSet::ChangedSinceLeft(const CWorkProgress& progress) const
{
    CRegKey settings;
    ULONGLONG fingerprint = 0;
    int slot = IsSettingsName(m_strSettingsName) ? LeftBy(m_strSettingsName, &fingerprint) : 0;
    if (slot <= 0 || settings.Open(HKEY_CURRENT_USER, SettingsKeyPath(m_strSettingsName).c_str()) != ERROR_SUCCESS)
        return 0;
    // What the leaving copy recorded, unless another launcher (an earlier
    // build, which keeps the fingerprint alone) has left the key since.
    std::vector<BYTE> bytes;
    CKeyTreeRecord left;
    if (CSnapshotSlot(slot).GetNote(kLeftNote, &bytes) && left.Read(bytes.data(), bytes.size())
        && left.Fingerprint() == fingerprint)
        return CheckTree(settings, left, progress) == TreeChange::CHANGED ? slot : 0;
    CTreeFingerprint now;
    CTreeWalk walk;
    walk.progress = progress;
    walk.fingerprint = &now;
    if (!WalkRegistryTree(settings, walk) || now.Value() == fingerprint)
        return 0;
    return slot;
}

void CSettingsSet::Discard() const
{
    // The records go first: a new entry given the slot once its trees are
    // gone may have left settings already.
    ForgetLeftBy(m_nSlot);
    CSnapshotSlot(m_nSlot).Discard();
}

bool CSettingsSet::Undo() const
{
    return CSnapshotSlot(m_nSlot).Undo();
}

bool CSettingsSet::HasPrevious() const
{
    return CSnapshotSlot(m_nSlot).HasPrevious();
}

bool CSettingsSet::CreateEmpty() const
{
    return CSnapshotSlot(m_nSlot).Replace([](HKEY, CSnapshotSecurity*) { return true; });
}

bool CSettingsSet::CopyTo(int slot) const
{
    CRegKey source;
    if (CSnapshotSlot(m_nSlot).Open(source) != ERROR_SUCCESS)
        return false;
    CTreeWalk walk;
    return CSnapshotSlot(slot).Replace([&](HKEY staging, CSnapshotSecurity* security) {
        return CopyIntoSnapshot(source, staging, security, walk);
    }, RegistryKeyClass(source));
}

bool CSettingsSet::Export(const std::wstring& path, const CWorkProgress& progress) const
{
    CRegKey snapshot;
    return CSnapshotSlot(m_nSlot).Open(snapshot) == ERROR_SUCCESS
        && ExportRegFile(snapshot, RegFileRoot(m_strSettingsName), path, progress);
}

bool CSettingsSet::Import(const std::wstring& path, RegFileError* error, const CWorkProgress& progress) const
{
    *error = RegFileError();
    if (CSnapshotSlot(m_nSlot).Replace([&](HKEY staging, CSnapshotSecurity* security) {
            if (!ImportRegFile(path, staging, error, progress))
                return false;
            // Another program's settings would become this entry's.
            if (!RootNamesSettings(error->root, m_strSettingsName)) {
                error->kind = RegFileError::OTHER_KEY;
                return false;
            }
            if (security)
                security->Apply(staging);
            return true;
        }))
        return true;
    if (error->kind == RegFileError::NONE)
        error->kind = RegFileError::WRITE_FAILED;
    return false;
}

bool IsSnapshotSlotTaken(int slot)
{
    return CSnapshotSlot(slot).IsTaken();
}
