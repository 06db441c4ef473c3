#include "settings/Staging.h"
#include <cstring>
#include <map>
#include "files/FilePath.h"
#include "files/TreeRemove.h"
#include "framework/Scoped.h"
#include "framework/Text.h"
#include "registry/RegistryTree.h"
#include "settings/SettingsInternal.h"

StagingStepHook g_pfnStagingStep = nullptr;

namespace {

const wchar_t kStepValue[] = L"Step";
const char kUndo[] = ".undo";

// One step of the work. The hook stands for a process that ends right after
// the step before.
bool Step()
{
    return !g_pfnStagingStep || g_pfnStagingStep();
}

class CKeyTreePlace : public CTreePlace {
public:
    explicit CKeyTreePlace(HKEY parent) : m_hParent(parent) {}
    bool Exists(const std::string& name) const override { return RegistryKeyExists(m_hParent, name.c_str()); }
    bool Rename(const std::string& from, const std::string& to) override
    {
        return RenameRegistryKey(m_hParent, from.c_str(), to.c_str());
    }
    bool Remove(const std::string& name) override
    {
        DeleteRegistryTree(m_hParent, name.c_str());
        return !Exists(name);
    }

private:
    HKEY m_hParent;
};

class CFolderTreePlace : public CTreePlace {
public:
    explicit CFolderTreePlace(const std::wstring& folder) : m_strFolder(folder) {}
    bool Exists(const std::string& name) const override { return PathExists(Path(name)); }
    bool Rename(const std::string& from, const std::string& to) override
    {
        return RenameFileTree(Path(from), Path(to), nullptr);
    }
    bool Remove(const std::string& name) override { return RemoveFileTree(Path(name), nullptr) && !Exists(name); }

private:
    std::wstring Path(const std::string& name) const { return JoinPath(m_strFolder, Widen(name)); }
    std::wstring m_strFolder;
};

// Changes nothing: follows each tree, by the name it has now, to the name a
// recovery would give it.
class CDryRunPlace : public CTreePlace {
public:
    CDryRunPlace(HKEY parent, const std::vector<std::string>& names)
    {
        for (const std::string& name : names) {
            if (RegistryKeyExists(parent, name.c_str()))
                m_trees[name] = name;
        }
    }
    bool Exists(const std::string& name) const override { return m_trees.count(name) != 0; }
    bool Rename(const std::string& from, const std::string& to) override
    {
        if (!Exists(from) || Exists(to))
            return false;
        m_trees[to] = m_trees[from];
        m_trees.erase(from);
        return true;
    }
    bool Remove(const std::string& name) override
    {
        m_trees.erase(name);
        return true;
    }
    std::string Tree(const std::string& name) const
    {
        auto found = m_trees.find(name);
        return found == m_trees.end() ? std::string() : found->second;
    }

private:
    std::map<std::string, std::string> m_trees; // name now -> name in the registry
};

// What a replacement or an undo of an earlier build left, completed or
// rolled back as that build did. It built <name>.new and renamed it into
// place once whole, the tree it replaced aside first (to .prev when it kept
// history, else .old); an undo renamed name -> .undo, .prev -> name,
// .undo -> .prev.
void RecoverEarlierBuild(CTreePlace& trees, const std::string& name, bool keepsPrevious)
{
    const std::string staged = CStaging::NewName(name), previous = CStaging::PreviousName(name),
                      old = CStaging::OldName(name), undo = name + kUndo;
    if (trees.Exists(undo)) {
        if (!trees.Exists(name))
            trees.Rename(undo, name);
        else if (!trees.Exists(previous))
            trees.Rename(undo, previous);
        trees.Remove(undo);
    }
    // With the tree gone and the old one aside, the new one is whole.
    if (!trees.Exists(name) && trees.Exists(staged) && (trees.Exists(previous) || trees.Exists(old)))
        trees.Rename(staged, name);
    trees.Remove(staged);
    if (keepsPrevious && trees.Exists(old) && trees.Exists(name) && !trees.Exists(previous))
        trees.Rename(old, previous);
    trees.Remove(old);
    // History of a tree that is gone belongs to nobody.
    if (!trees.Exists(name))
        trees.Remove(previous);
}

// The noted step: its kind, generations and places, then each edit of the
// notes as a flag, the value's name and its data, each with its length.
std::vector<BYTE> StepBytes(DWORD kind, DWORD aside, DWORD back, DWORD places, const CNoteEdits& edits)
{
    std::vector<BYTE> bytes;
    auto put = [&bytes](const void* data, size_t size) {
        const BYTE* from = static_cast<const BYTE*>(data);
        bytes.insert(bytes.end(), from, from + size);
    };
    for (DWORD word : {kind, aside, back, places})
        put(&word, sizeof word);
    for (const CNoteEdit& edit : edits) {
        DWORD header[3] = {edit.remove ? 1u : 0u, static_cast<DWORD>(edit.value.size() * sizeof(wchar_t)),
                           static_cast<DWORD>(edit.data.size())};
        put(header, sizeof header);
        put(edit.value.data(), header[1]);
        put(edit.data.data(), header[2]);
    }
    return bytes;
}

bool ReadStep(HKEY notesParent, const std::string& name, DWORD words[4], CNoteEdits* edits)
{
    CRegKey notes;
    DWORD size = 0;
    if (notes.Open(notesParent, CStaging::NotesName(name).c_str()) != ERROR_SUCCESS
        || ::RegQueryValueExW(notes, kStepValue, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS
        || size < 4 * sizeof(DWORD))
        return false;
    std::vector<BYTE> bytes(size);
    if (::RegQueryValueExW(notes, kStepValue, nullptr, nullptr, bytes.data(), &size) != ERROR_SUCCESS)
        return false;
    std::memcpy(words, bytes.data(), 4 * sizeof(DWORD));
    for (size_t at = 4 * sizeof(DWORD); edits && at < size;) {
        DWORD header[3];
        if (size - at < sizeof header)
            return false;
        std::memcpy(header, &bytes[at], sizeof header);
        at += sizeof header;
        if (header[1] % sizeof(wchar_t) || size - at < static_cast<size_t>(header[1]) + header[2])
            return false;
        CNoteEdit edit;
        edit.remove = header[0] != 0;
        edit.value.assign(reinterpret_cast<const wchar_t*>(&bytes[at]), header[1] / sizeof(wchar_t));
        edit.data.assign(&bytes[at + header[1]], &bytes[at + header[1] + header[2]]);
        at += header[1] + header[2];
        edits->push_back(std::move(edit));
    }
    return true;
}

} // namespace

std::unique_ptr<CTreePlace> KeyTreePlace(HKEY parent)
{
    return std::make_unique<CKeyTreePlace>(parent);
}

std::unique_ptr<CTreePlace> FolderTreePlace(const std::wstring& folder)
{
    return std::make_unique<CFolderTreePlace>(folder);
}

CStaging::CStaging(HKEY notesParent, const std::string& name, std::vector<std::unique_ptr<CTreePlace>> places,
                   bool keepsPrevious, SECURITY_ATTRIBUTES* notesSecurity)
    : m_hNotesParent(notesParent), m_strName(name), m_places(std::move(places)), m_bKeepsPrevious(keepsPrevious),
      m_pNotesSecurity(notesSecurity)
{
}

LONG CStaging::OpenNotes(CRegKey& notes, bool create) const
{
    std::wstring name = Widen(NotesName(m_strName));
    return create ? notes.Create(m_hNotesParent, name.c_str(), KEY_READ | KEY_WRITE, nullptr, m_pNotesSecurity)
                  : notes.Open(m_hNotesParent, name.c_str(), KEY_READ | KEY_WRITE);
}

bool CStaging::Start(CStep& step)
{
    CRegKey notes;
    std::vector<BYTE> bytes = StepBytes(step.kind, step.aside, step.back, step.places, step.edits);
    return Step() && OpenNotes(notes, true) == ERROR_SUCCESS
        && ::RegSetValueExW(notes, kStepValue, 0, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()))
        == ERROR_SUCCESS
        && Perform(step);
}

// Each place on its own, so that it can be done again from any point: while
// the tree to put in use is still there under its own name, what bears the
// name is the tree that was in use.
bool CStaging::Perform(const CStep& step)
{
    const std::string aside = step.aside ? GenerationName(m_strName, step.aside) : OldName(m_strName);
    const std::string coming = step.kind == REPLACE ? NewName(m_strName)
        : step.kind == KEEP_ASIDE ? (step.back ? PreviousName(m_strName) : NewName(m_strName))
                                  : GenerationName(m_strName, step.back);
    for (size_t i = 0; i < m_places.size(); ++i) {
        CTreePlace& place = *m_places[i];
        if (step.kind == DROP) {
            if (!Step() || !place.Remove(GenerationName(m_strName, step.aside)))
                return false;
            continue;
        }
        if (step.kind == KEEP_ASIDE) {
            if (((step.places >> i) & 1) && place.Exists(coming) && !(Step() && place.Rename(coming, aside)))
                return false;
            continue;
        }
        bool brings = (step.places >> i) & 1;
        if (brings && !place.Exists(coming))
            continue; // done
        if (place.Exists(m_strName) && !place.Exists(aside) && !(Step() && place.Rename(m_strName, aside)))
            return false;
        if (brings && !(Step() && place.Rename(coming, m_strName)))
            return false;
    }
    if (!step.aside && (step.kind == REPLACE || step.kind == BRING_BACK)) {
        for (const auto& place : m_places) {
            if (!Step() || !place->Remove(aside))
                return false;
        }
    }
    CRegKey notes;
    if (!Step() || OpenNotes(notes, false) != ERROR_SUCCESS)
        return false;
    for (const CNoteEdit& edit : step.edits) {
        LONG rc = edit.remove ? ::RegDeleteValueW(notes, edit.value.c_str())
                              : ::RegSetValueExW(notes, edit.value.c_str(), 0, REG_BINARY, edit.data.data(),
                                                 static_cast<DWORD>(edit.data.size()));
        if (rc != ERROR_SUCCESS && !(edit.remove && rc == ERROR_FILE_NOT_FOUND))
            return false;
    }
    return Step() && ::RegDeleteValueW(notes, kStepValue) == ERROR_SUCCESS;
}

bool CStaging::Recover()
{
    DWORD words[4];
    CStep step;
    if (ReadStep(m_hNotesParent, m_strName, words, &step.edits)) {
        step.kind = words[0], step.aside = words[1], step.back = words[2], step.places = words[3];
        return Perform(step);
    }
    // Earlier builds kept key trees alone.
    RecoverEarlierBuild(*m_places[0], m_strName, m_bKeepsPrevious);
    // Built but never noted: rolled back.
    for (const auto& place : m_places)
        place->Remove(NewName(m_strName));
    return true;
}

bool CStaging::Replace(int aside, const CNoteEdits& edits)
{
    CStep step;
    step.kind = REPLACE, step.aside = static_cast<DWORD>(aside), step.edits = edits;
    for (size_t i = 0; i < m_places.size(); ++i)
        step.places |= m_places[i]->Exists(NewName(m_strName)) ? 1u << i : 0;
    return Start(step);
}

bool CStaging::BringBack(int back, int aside, const CNoteEdits& edits)
{
    CStep step;
    step.kind = BRING_BACK, step.aside = static_cast<DWORD>(aside), step.back = static_cast<DWORD>(back);
    step.edits = edits;
    for (size_t i = 0; i < m_places.size(); ++i)
        step.places |= m_places[i]->Exists(GenerationName(m_strName, back)) ? 1u << i : 0;
    return step.places && Start(step);
}

bool CStaging::KeepAside(int aside, bool previous, const CNoteEdits& edits)
{
    CStep step;
    step.kind = KEEP_ASIDE, step.aside = static_cast<DWORD>(aside), step.back = previous ? 1 : 0, step.edits = edits;
    const std::string from = previous ? PreviousName(m_strName) : NewName(m_strName);
    for (size_t i = 0; i < m_places.size(); ++i)
        step.places |= m_places[i]->Exists(from) ? 1u << i : 0;
    return step.places && Start(step);
}

bool CStaging::Drop(int n, const CNoteEdits& edits)
{
    CStep step;
    step.kind = DROP, step.aside = static_cast<DWORD>(n), step.edits = edits;
    return Start(step);
}

void CStaging::RemoveAll(const std::vector<int>& generations)
{
    for (const auto& place : m_places) {
        for (int n : generations)
            place->Remove(GenerationName(m_strName, n));
        for (const std::string& name : {NewName(m_strName), m_strName + kUndo, OldName(m_strName),
                                        PreviousName(m_strName), m_strName})
            place->Remove(name);
    }
    DeleteRegistryTree(m_hNotesParent, NotesName(m_strName).c_str());
}

bool CStaging::IsTaken() const
{
    if (RegistryKeyExists(m_hNotesParent, NotesName(m_strName).c_str()))
        return true;
    for (const auto& place : m_places) {
        for (const std::string& name : {m_strName, NewName(m_strName), OldName(m_strName), PreviousName(m_strName),
                                        m_strName + kUndo})
            if (place->Exists(name))
                return true;
    }
    return false;
}

std::string RecoveredTreeName(HKEY parent, const std::string& name, bool keepsPrevious)
{
    DWORD step[4];
    if (ReadStep(parent, name, step, nullptr)) {
        bool exists = RegistryKeyExists(parent, name.c_str());
        if (step[0] == CStaging::DROP || step[0] == CStaging::KEEP_ASIDE)
            return exists ? name : std::string();
        // What is in use goes aside, for what the step puts in use, if anything.
        if (!(step[3] & 1))
            return std::string();
        std::string coming = step[0] == CStaging::REPLACE ? CStaging::NewName(name)
                                                         : CStaging::GenerationName(name, static_cast<int>(step[2]));
        return RegistryKeyExists(parent, coming.c_str()) ? coming : exists ? name : std::string();
    }
    CDryRunPlace trees(parent, {name, CStaging::NewName(name), CStaging::OldName(name), CStaging::PreviousName(name),
                                name + kUndo});
    RecoverEarlierBuild(trees, name, keepsPrevious);
    return trees.Tree(name);
}
