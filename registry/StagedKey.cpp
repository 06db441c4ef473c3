#include "registry/StagedKey.h"
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

} // namespace

void RecoverKeyTree(HKEY parent, const std::string& name, bool keepPrevious)
{
    const std::string staged = name + kNew, previous = name + kPrevious, old = name + kOld, undo = name + kUndo;
    // An undo renames name -> .undo, .prev -> name, .undo -> .prev.
    if (Exists(parent, undo)) {
        if (!Exists(parent, name))
            RenameRegistryKey(parent, undo.c_str(), name.c_str());
        else if (!Exists(parent, previous))
            RenameRegistryKey(parent, undo.c_str(), previous.c_str());
        Delete(parent, undo);
    }
    // The key is renamed aside only once the new tree is whole: with the key
    // gone and the old tree aside, the new one is complete.
    if (!Exists(parent, name) && Exists(parent, staged) && (Exists(parent, previous) || Exists(parent, old)))
        RenameRegistryKey(parent, staged.c_str(), name.c_str());
    Delete(parent, staged);
    if (keepPrevious && Exists(parent, old) && Exists(parent, name) && !Exists(parent, previous))
        RenameRegistryKey(parent, old.c_str(), previous.c_str());
    Delete(parent, old);
    // History of a tree that is gone belongs to nobody.
    if (!Exists(parent, name))
        Delete(parent, previous);
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

namespace {
const char* const kEverySuffix[] = {kNew, kUndo, kOld, kPrevious, ""};
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
