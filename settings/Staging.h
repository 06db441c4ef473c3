// Trees replaced in one step, whatever moment the process ends at: a
// snapshot slot's settings (its key tree in the store, its folder of
// settings files) with their generations, and the entry list.
//
// One name names a tree in each of several places (a key below a parent
// key, a folder below a parent folder), in the same states everywhere:
//   <name>        the tree in use
//   <name>.new    a tree being built, to be put in use
//   <name>.g<n>   generation n: a tree that was in use, kept
//   <name>.old    a tree that was in use, being removed
// Before a step moves trees it is noted, in one registry value (Step, in the
// key <name>.notes beside the trees of the first place), together with what
// the step changes in the notes (a generation's record): a process that ends
// at any moment leaves the trees and notes as they were before the step, or
// the step noted, and the next recovery completes it. What is built before
// the step is noted is rolled back.
//
// Earlier builds kept one tree of history, <name>.prev, and could leave .old
// and .undo behind a replacement cut short; a recovery puts those right as
// they did (the caller then makes <name>.prev a generation).
#pragma once
#include <windows.h>
#include <memory>
#include <string>
#include <vector>

class CRegKey;

// Where trees of one kind live: their parent key, or their parent folder.
class CTreePlace {
public:
    virtual ~CTreePlace() = default;
    virtual bool Exists(const std::string& name) const = 0;
    // In one step, and never over a tree that exists.
    virtual bool Rename(const std::string& from, const std::string& to) = 0;
    // True once the tree is gone (a missing one is).
    virtual bool Remove(const std::string& name) = 0;
};

// A value of the notes a step sets (or, with remove, deletes) once its trees
// have moved.
struct CNoteEdit {
    std::wstring value;
    std::vector<BYTE> data;
    bool remove = false;
};
typedef std::vector<CNoteEdit> CNoteEdits;

class CStaging {
public:
    enum StepKind { REPLACE = 1, BRING_BACK = 2, DROP = 3, KEEP_ASIDE = 4 };
    static std::string NewName(const std::string& name) { return name + ".new"; }
    static std::string OldName(const std::string& name) { return name + ".old"; }
    static std::string PreviousName(const std::string& name) { return name + ".prev"; }
    static std::string GenerationName(const std::string& name, int n) { return name + ".g" + std::to_string(n); }
    static std::string NotesName(const std::string& name) { return name + ".notes"; }

    // places[0] is a key place below notesParent, which holds the notes key;
    // notesSecurity (NULL: inherited) is that key's when it is made.
    // keepsPrevious: the trees of name kept history in earlier builds.
    CStaging(HKEY notesParent, const std::string& name, std::vector<std::unique_ptr<CTreePlace>> places,
             bool keepsPrevious, SECURITY_ATTRIBUTES* notesSecurity = nullptr);

    // Completes the step a process left noted, or rolls back what it built
    // before noting it. False when a tree could not be moved: the step stays
    // noted, for the next recovery.
    bool Recover();
    // The trees built as <name>.new, in the places that have one, are put in
    // use; what was in use in every place becomes generation aside (0: it is
    // removed). A place without a new tree keeps none in use.
    bool Replace(int aside, const CNoteEdits& edits = CNoteEdits());
    // Generation back is put in use; what was in use becomes generation
    // aside (0: it is removed). A place where back has no tree keeps none.
    // False, changing nothing, when back has no tree anywhere.
    bool BringBack(int back, int aside, const CNoteEdits& edits = CNoteEdits());
    // Generation n goes, in every place.
    bool Drop(int n, const CNoteEdits& edits = CNoteEdits());
    // The trees built as <name>.new (previous: an earlier build's
    // <name>.prev) become generation aside; what is in use stays.
    bool KeepAside(int aside, bool previous, const CNoteEdits& edits = CNoteEdits());
    // Removes every tree of name and its notes: nothing of it is kept.
    void RemoveAll(const std::vector<int>& generations);

    CTreePlace& Place(size_t index) const { return *m_places[index]; }
    const std::string& Name() const { return m_strName; }
    // Some tree or note of name is there.
    bool IsTaken() const;
    // The key that holds name's notes (see settings/History.h), created when
    // create is set.
    LONG OpenNotes(CRegKey& notes, bool create) const;

private:
    struct CStep {
        DWORD kind = 0, aside = 0, back = 0;
        DWORD places = 0; // a bit a place that has the tree to put in use
        CNoteEdits edits;
    };
    bool Start(CStep& step);
    bool Perform(const CStep& step);

    HKEY m_hNotesParent;
    std::string m_strName;
    std::vector<std::unique_ptr<CTreePlace>> m_places;
    bool m_bKeepsPrevious;
    SECURITY_ATTRIBUTES* m_pNotesSecurity;
};

// A key place: subkeys of parent.
std::unique_ptr<CTreePlace> KeyTreePlace(HKEY parent);
// A folder place: folders (or files) in folder.
std::unique_ptr<CTreePlace> FolderTreePlace(const std::wstring& folder);

// Reads only, for a parent this process may not write: the subkey of parent
// that holds the tree a recovery of name would leave in use; empty when it
// would leave none.
std::string RecoveredTreeName(HKEY parent, const std::string& name, bool keepsPrevious);
