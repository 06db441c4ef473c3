#include "registry/StagedKey.h"
#include <map>
#include "framework/Scoped.h"
#include "framework/Text.h"
#include "registry/RegistryInternal.h"
#include "registry/RegistryTree.h"

StagedKeyStepHook g_pfnStagedKeyStep = nullptr;

namespace {

const char kNew[] = ".new";
const char kPrevious[] = ".prev";
const char kOld[] = ".old";
const char kUndo[] = ".undo";
// The names a tree and its history and leftovers may have; removal goes in
// this order, the tree itself last.
const char* const kEverySuffix[] = {kNew, kUndo, kOld, kPrevious, ""};

bool Exists(HKEY parent, const std::string& name)
{
    return RegistryKeyExists(parent, name.c_str());
}

void Delete(HKEY parent, const std::string& name)
{
    DeleteRegistryTree(parent, name.c_str());
}

// One step of a replacement or an undo. The hook stands for a process that
// ends right after the step before.
bool Step(const std::function<bool()>& step)
{
    if (g_pfnStagedKeyStep && !g_pfnStagedKeyStep())
        return false;
    return step();
}

bool Rename(HKEY parent, const std::string& from, const std::string& to)
{
    return Step([&] { return RenameRegistryKey(parent, from.c_str(), to.c_str()); });
}

// The names of one key's trees, as a recovery sees and changes them.
class CTreeNames {
public:
    virtual ~CTreeNames() = default;
    virtual bool Exists(const std::string& name) = 0;
    virtual void Rename(const std::string& from, const std::string& to) = 0;
    virtual void Delete(const std::string& name) = 0;
};

// The registry itself.
class CRegistryTreeNames : public CTreeNames {
public:
    explicit CRegistryTreeNames(HKEY parent) : m_hParent(parent) {}
    bool Exists(const std::string& name) override { return ::Exists(m_hParent, name); }
    void Rename(const std::string& from, const std::string& to) override
    {
        RenameRegistryKey(m_hParent, from.c_str(), to.c_str());
    }
    void Delete(const std::string& name) override { ::Delete(m_hParent, name); }

private:
    HKEY m_hParent;
};

// Changes nothing: follows each tree, by the name it has in the registry, to
// the name the recovery would give it.
class CDryRunTreeNames : public CTreeNames {
public:
    CDryRunTreeNames(HKEY parent, const std::string& name)
    {
        for (const char* suffix : kEverySuffix) {
            if (::Exists(parent, name + suffix))
                m_trees[name + suffix] = name + suffix;
        }
    }
    bool Exists(const std::string& name) override { return m_trees.count(name) != 0; }
    void Rename(const std::string& from, const std::string& to) override
    {
        if (Exists(from) && !Exists(to)) {
            m_trees[to] = m_trees[from];
            m_trees.erase(from);
        }
    }
    void Delete(const std::string& name) override { m_trees.erase(name); }
    std::string Tree(const std::string& name) const
    {
        auto found = m_trees.find(name);
        return found == m_trees.end() ? std::string() : found->second;
    }

private:
    std::map<std::string, std::string> m_trees; // name now -> name in the registry
};

void Recover(CTreeNames& trees, const std::string& name, bool keepPrevious)
{
    const std::string staged = name + kNew, previous = name + kPrevious, old = name + kOld, undo = name + kUndo;
    // An undo renames name -> .undo, .prev -> name, .undo -> .prev.
    if (trees.Exists(undo)) {
        if (!trees.Exists(name))
            trees.Rename(undo, name);
        else if (!trees.Exists(previous))
            trees.Rename(undo, previous);
        trees.Delete(undo);
    }
    // The key is renamed aside only once the new tree is whole: with the key
    // gone and the old tree aside, the new one is complete.
    if (!trees.Exists(name) && trees.Exists(staged) && (trees.Exists(previous) || trees.Exists(old)))
        trees.Rename(staged, name);
    trees.Delete(staged);
    if (keepPrevious && trees.Exists(old) && trees.Exists(name) && !trees.Exists(previous))
        trees.Rename(old, previous);
    trees.Delete(old);
    // History of a tree that is gone belongs to nobody.
    if (!trees.Exists(name))
        trees.Delete(previous);
}

} // namespace

void RecoverKeyTree(HKEY parent, const std::string& name, bool keepPrevious)
{
    CRegistryTreeNames trees(parent);
    Recover(trees, name, keepPrevious);
}

std::string RecoveredKeyTreeName(HKEY parent, const std::string& name)
{
    CDryRunTreeNames trees(parent, name);
    Recover(trees, name, false);
    return trees.Tree(name);
}

LONG OpenRecoveredKeyTree(HKEY parent, const std::string& name, CRegKey& tree)
{
    std::string kept = RecoveredKeyTreeName(parent, name);
    return kept.empty() ? ERROR_FILE_NOT_FOUND : tree.Open(parent, kept.c_str());
}

bool ReplaceKeyTree(HKEY parent, const std::string& name, const FillKeyTree& fill, bool keepPrevious,
                    SECURITY_ATTRIBUTES* security, const wchar_t* keyClass)
{
    RecoverKeyTree(parent, name, keepPrevious);
    const std::string staged = name + kNew, previous = name + kPrevious, old = name + kOld;
    {
        CRegKey staging;
        if (staging.Create(parent, Widen(staged).c_str(), KEY_READ | KEY_WRITE | WRITE_DAC, keyClass, security)
                != ERROR_SUCCESS
            || !fill(staging)) {
            staging.Close();
            Delete(parent, staged);
            return false;
        }
    }
    // Aside first, so that a failed rename below leaves everything in place.
    const std::string& aside = keepPrevious ? previous : old;
    if (keepPrevious && Exists(parent, previous) && !Rename(parent, previous, old))
        return false;
    // A failure from here on is put right by the next recovery.
    if ((Exists(parent, name) && !Rename(parent, name, aside)) || !Rename(parent, staged, name))
        return false;
    return Step([&] {
        Delete(parent, old);
        return true;
    });
}

bool UndoKeyTree(HKEY parent, const std::string& name)
{
    RecoverKeyTree(parent, name, true);
    const std::string previous = name + kPrevious, undo = name + kUndo;
    if (!Exists(parent, name) || !Exists(parent, previous))
        return false;
    return Rename(parent, name, undo) && Rename(parent, previous, name) && Rename(parent, undo, previous);
}

bool HasPreviousKeyTree(HKEY parent, const std::string& name)
{
    RecoverKeyTree(parent, name, true);
    return Exists(parent, name + kPrevious);
}

bool KeyTreeTaken(HKEY parent, const std::string& name)
{
    for (const char* suffix : kEverySuffix) {
        if (Exists(parent, name + suffix))
            return true;
    }
    return false;
}

void DeleteKeyTreeAndHistory(HKEY parent, const std::string& name)
{
    for (const char* suffix : kEverySuffix)
        Delete(parent, name + suffix);
}
