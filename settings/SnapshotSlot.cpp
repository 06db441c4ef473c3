#include "settings/SnapshotSlot.h"
#include <shlobj.h>
#include <algorithm>
#include "files/FilePath.h"
#include "files/PrivateFolder.h"
#include "files/TreeRemove.h"
#include "framework/Text.h"
#include "framework/WinApp.h"
#include "registry/RegistryTree.h"
#include "settings/Store.h"
#include "settings/SettingsPaths.h"
#include "settings/Staging.h"

namespace {

const wchar_t kNextValue[] = L"Next";
const int kDefaultHistoryDepth = 10;
const int kMostHistoryDepth = 100;

FILETIME Now()
{
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    return now;
}

FILETIME LastWritten(HKEY parent, const std::string& name)
{
    CRegKey key;
    FILETIME written = {};
    if (key.Open(parent, name.c_str()) == ERROR_SUCCESS)
        ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                           nullptr, &written);
    return written;
}

CNoteEdit Edit(const std::wstring& value, const std::vector<BYTE>& data)
{
    CNoteEdit edit;
    edit.value = value;
    edit.data = data;
    return edit;
}

CNoteEdit Removal(const std::wstring& value)
{
    CNoteEdit edit;
    edit.value = value;
    edit.remove = true;
    return edit;
}

CNoteEdit NextEdit(int next)
{
    DWORD value = static_cast<DWORD>(next);
    const BYTE* bytes = reinterpret_cast<const BYTE*>(&value);
    return Edit(kNextValue, std::vector<BYTE>(bytes, bytes + sizeof value));
}

} // namespace

int HistoryDepth()
{
    CWinApp* app = AfxGetApp();
    int depth = app ? static_cast<int>(app->GetProfileInt("Cobweld", "HistoryDepth", kDefaultHistoryDepth))
                    : kDefaultHistoryDepth;
    return std::min(std::max(depth, 0), kMostHistoryDepth);
}

CSnapshotSlot::CSnapshotSlot(int slot, bool recover)
    : m_nSlot(slot), m_strName(std::to_string(slot)), m_strFilesRoot(SnapshotFilesRoot())
{
    CRegKey store;
    if (slot <= 0 || OpenStore(store, KEY_READ | KEY_WRITE, true) != ERROR_SUCCESS
        || m_snapshots.Create(store, SNAPSHOTS_KEY) != ERROR_SUCCESS)
        return;
    // The per-user store is the user's own already.
    if (StoreRoot() == HKEY_LOCAL_MACHINE)
        m_pSecurity = std::make_unique<CSnapshotSecurity>();
    std::vector<std::unique_ptr<CTreePlace>> places;
    places.push_back(KeyTreePlace(m_snapshots));
    places.push_back(FolderTreePlace(m_strFilesRoot));
    m_pStaging = std::make_unique<CStaging>(m_snapshots, m_strName, std::move(places), true,
                                            m_pSecurity ? m_pSecurity->Get() : nullptr);
    if (recover) {
        m_pStaging->Recover();
        ConvertEarlierHistory();
    }
}

CSnapshotSlot::~CSnapshotSlot() = default;

LONG CSnapshotSlot::Open(CRegKey& tree, int n) const
{
    if (!IsValid())
        return ERROR_INVALID_PARAMETER;
    return tree.Open(m_snapshots, (n ? CStaging::GenerationName(m_strName, n) : m_strName).c_str());
}

std::wstring CSnapshotSlot::FilesFolder(int n) const
{
    return JoinPath(m_strFilesRoot, Widen(n ? CStaging::GenerationName(m_strName, n) : m_strName));
}

LONG CSnapshotSlot::CreateStagingKey(CRegKey& staging, const std::wstring& keyClass)
{
    if (!IsValid())
        return ERROR_INVALID_PARAMETER;
    const std::string name = CStaging::NewName(m_strName);
    DeleteRegistryTree(m_snapshots, name.c_str());
    LONG rc = staging.Create(m_snapshots, Widen(name).c_str(), KEY_READ | KEY_WRITE | WRITE_DAC,
                             keyClass.empty() ? nullptr : keyClass.c_str(),
                             m_pSecurity ? m_pSecurity->Get() : nullptr);
    if (rc == ERROR_SUCCESS && m_pSecurity)
        m_pSecurity->Secure(staging);
    return rc;
}

std::wstring CSnapshotSlot::StagingFolder()
{
    // The folder and the ones above it, made private once.
    std::wstring cobweld = m_strFilesRoot.substr(0, m_strFilesRoot.rfind(L'\\'));
    if (!PathExists(m_strFilesRoot)) {
        ::SHCreateDirectoryExW(nullptr, m_strFilesRoot.c_str(), nullptr);
        MakeFolderPrivate(cobweld, nullptr);
    }
    std::wstring staging = JoinPath(m_strFilesRoot, Widen(CStaging::NewName(m_strName)));
    RemoveFileTree(staging, nullptr);
    return staging;
}

void CSnapshotSlot::DiscardStaging()
{
    if (!IsValid())
        return;
    for (size_t i = 0; i < 2; ++i)
        m_pStaging->Place(i).Remove(CStaging::NewName(m_strName));
}

bool CSnapshotSlot::ReadGeneration(int n, CGeneration* generation) const
{
    CRegKey notes;
    DWORD size = 0;
    std::wstring value = GenerationValue(n);
    if (IsValid() && m_pStaging->OpenNotes(notes, false) == ERROR_SUCCESS
        && ::RegQueryValueExW(notes, value.c_str(), nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
        std::vector<BYTE> bytes(size);
        if (::RegQueryValueExW(notes, value.c_str(), nullptr, nullptr, bytes.data(), &size) == ERROR_SUCCESS
            && generation->Read(bytes)) {
            generation->number = n;
            return true;
        }
    }
    // A set in use that an earlier build captured has no record.
    if (n != 0 || !IsValid() || !(m_pStaging->Place(0).Exists(m_strName) || m_pStaging->Place(1).Exists(m_strName)))
        return false;
    *generation = CGeneration();
    generation->made = LastWritten(m_snapshots, m_strName);
    return true;
}

std::vector<CGeneration> CSnapshotSlot::History() const
{
    std::vector<CGeneration> history;
    CGeneration generation;
    if (ReadGeneration(0, &generation))
        history.push_back(generation);
    CRegKey notes;
    if (!IsValid() || m_pStaging->OpenNotes(notes, false) != ERROR_SUCCESS)
        return history;
    std::vector<int> numbers;
    wchar_t name[64];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name / sizeof name[0];
        LONG rc = ::RegEnumValueW(notes, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS || (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA))
            break;
        int n = rc == ERROR_SUCCESS && name[0] == L'g' ? _wtoi(name + 1) : 0;
        if (n > 0 && GenerationValue(n) == name)
            numbers.push_back(n);
    }
    std::sort(numbers.rbegin(), numbers.rend());
    for (int n : numbers) {
        if (ReadGeneration(n, &generation))
            history.push_back(generation);
    }
    return history;
}

int CSnapshotSlot::NextNumber() const
{
    int next = 1;
    CRegKey notes;
    DWORD value = 0, size = sizeof value;
    if (IsValid() && m_pStaging->OpenNotes(notes, false) == ERROR_SUCCESS
        && ::RegQueryValueExW(notes, kNextValue, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size)
        == ERROR_SUCCESS && size == sizeof value)
        next = static_cast<int>(value);
    for (const CGeneration& generation : History())
        next = std::max(next, generation.number + 1);
    return next;
}

// The set in use becomes a new generation, made now for reason, in the
// step that edits are for; its number, or 0 when there is none in use.
int CSnapshotSlot::SetAsideInUse(DWORD reason, CNoteEdits* edits) const
{
    CGeneration replaced;
    if (!ReadGeneration(0, &replaced))
        return 0;
    const int aside = NextNumber();
    replaced.made = Now();
    replaced.reason = reason;
    replaced.kept = false;
    edits->push_back(Edit(GenerationValue(aside), replaced.Bytes()));
    edits->push_back(NextEdit(aside + 1));
    return aside;
}

bool CSnapshotSlot::Commit(DWORD reason, const CGeneration& current)
{
    if (!IsValid())
        return false;
    CNoteEdits edits;
    int aside = SetAsideInUse(reason, &edits);
    CGeneration now = current;
    now.made = Now();
    edits.push_back(Edit(GenerationValue(0), now.Bytes()));
    if (!m_pStaging->Replace(aside, edits))
        return false;
    Prune();
    return true;
}

bool CSnapshotSlot::KeepAside(DWORD reason, const CGeneration& kept)
{
    if (!IsValid())
        return false;
    int aside = NextNumber();
    CGeneration generation = kept;
    generation.made = Now();
    generation.reason = reason;
    if (!m_pStaging->KeepAside(aside, false, {Edit(GenerationValue(aside), generation.Bytes()), NextEdit(aside + 1)}))
        return false;
    Prune();
    return true;
}

bool CSnapshotSlot::BringBack(int n)
{
    CGeneration back;
    if (!IsValid() || n <= 0 || !ReadGeneration(n, &back))
        return false;
    CNoteEdits edits;
    int aside = SetAsideInUse(REASON_UNDO, &edits);
    back.made = Now();
    back.kept = false;
    edits.push_back(Edit(GenerationValue(0), back.Bytes()));
    edits.push_back(Removal(GenerationValue(n)));
    if (!m_pStaging->BringBack(n, aside, edits))
        return false;
    Prune();
    return true;
}

bool CSnapshotSlot::SetKept(int n, bool kept)
{
    CGeneration generation;
    if (n <= 0 || !ReadGeneration(n, &generation))
        return false;
    generation.kept = kept;
    return SetNote(GenerationValue(n).c_str(), generation.Bytes());
}

bool CSnapshotSlot::RemoveGeneration(int n)
{
    CGeneration generation;
    return n > 0 && ReadGeneration(n, &generation) && m_pStaging->Drop(n, {Removal(GenerationValue(n))});
}

// The oldest of the generations not marked kept go while there are more of
// them than the depth; the steps before made the new one whole.
void CSnapshotSlot::Prune()
{
    std::vector<int> counted;
    for (const CGeneration& generation : History()) {
        if (generation.number > 0 && !generation.kept)
            counted.push_back(generation.number);
    }
    std::sort(counted.begin(), counted.end());
    const size_t depth = static_cast<size_t>(HistoryDepth());
    for (size_t i = 0; i + depth < counted.size(); ++i) {
        if (!m_pStaging->Drop(counted[i], {Removal(GenerationValue(counted[i]))}))
            return;
    }
}

// The one previous set an earlier build kept becomes the oldest generation.
void CSnapshotSlot::ConvertEarlierHistory()
{
    const std::string previous = CStaging::PreviousName(m_strName);
    if (!m_pStaging->Place(0).Exists(previous))
        return;
    CGeneration generation;
    generation.number = NextNumber();
    generation.made = LastWritten(m_snapshots, previous);
    m_pStaging->KeepAside(generation.number, true,
                          {Edit(GenerationValue(generation.number), generation.Bytes()), NextEdit(generation.number + 1)});
}

bool CSnapshotSlot::IsTaken() const
{
    return IsValid() && m_pStaging->IsTaken();
}

void CSnapshotSlot::Discard()
{
    if (!IsValid())
        return;
    std::vector<int> generations;
    for (const CGeneration& generation : History())
        generations.push_back(generation.number);
    m_pStaging->RemoveAll(generations);
}

bool CSnapshotSlot::SetNote(const wchar_t* name, const std::vector<BYTE>& bytes)
{
    CRegKey notes;
    return IsValid() && m_pStaging->OpenNotes(notes, true) == ERROR_SUCCESS
        && ::RegSetValueExW(notes, name, 0, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()))
        == ERROR_SUCCESS;
}

bool CSnapshotSlot::GetNote(const wchar_t* name, std::vector<BYTE>* bytes) const
{
    CRegKey notes;
    DWORD size = 0;
    if (!IsValid() || m_pStaging->OpenNotes(notes, false) != ERROR_SUCCESS
        || ::RegQueryValueExW(notes, name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return false;
    bytes->resize(size);
    if (::RegQueryValueExW(notes, name, nullptr, nullptr, bytes->data(), &size) != ERROR_SUCCESS)
        return false;
    bytes->resize(size);
    return true;
}
