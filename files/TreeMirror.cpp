#include "files/TreeMirror.h"
#include "files/FileItem.h"
#include "files/TreeRemove.h"

namespace {

// A file is written beside the one it replaces under its name and this.
const wchar_t kReplacementSuffix[] = L".cobweld-new";

// relative lies at or below a link of live's listing.
bool BehindLink(const TreeIndex& live, const std::wstring& relative)
{
    for (size_t end = relative.find(L'\\');; end = relative.find(L'\\', end + 1)) {
        const TreeItem* item = FindItem(live, relative.substr(0, end));
        if (item && item->IsLink())
            return true;
        if (end == std::wstring::npos)
            return false;
    }
}

// The missing folders above live, made from the top down: a restore brings
// back a folder that was removed with its parent.
bool MakeParents(const TreePath& live, FileError* error)
{
    std::vector<std::wstring> missing;
    for (std::wstring path = live.path;;) {
        // A drive's root, \\?\C:\, is always there.
        size_t cut = path.find_last_of(L'\\');
        if (cut == std::wstring::npos || cut <= wcslen(L"\\\\?\\C:"))
            break;
        path.resize(cut);
        if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
            break;
        missing.push_back(path);
    }
    for (auto folder = missing.rbegin(); folder != missing.rend(); ++folder) {
        if (!::CreateDirectoryW(folder->c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
            return FailWith(error, live.name, ::GetLastError());
    }
    return true;
}

// Writes the snapshot's file from over the live file to (old: the live file
// there now, or NULL).
bool ReplaceFile(const TreePath& from, const TreePath& to, const TreeItem* old, CTreeTally& tally, FileError* error)
{
    TreePath replacement{to.name, to.path + kReplacementSuffix};
    if (!CopyFileData(from, replacement, CREATE_ALWAYS, tally, error)) {
        ::DeleteFileW(replacement.path.c_str());
        return false;
    }
    bool readOnly = old && (old->attributes & FILE_ATTRIBUTE_READONLY);
    if (readOnly)
        ::SetFileAttributesW(to.path.c_str(), CopiedAttributes(old->attributes & ~FILE_ATTRIBUTE_READONLY));
    if (::MoveFileExW(replacement.path.c_str(), to.path.c_str(), MOVEFILE_REPLACE_EXISTING))
        return true;
    DWORD code = ::GetLastError();
    if (readOnly)
        ::SetFileAttributesW(to.path.c_str(), CopiedAttributes(old->attributes));
    RemoveFileItem(replacement, ::GetFileAttributesW(replacement.path.c_str()), nullptr);
    return FailWith(error, to.name, code);
}

// What a mirror will change, worked out from both listings before it
// changes anything.
struct CMirrorPlan {
    std::vector<const TreeItem*> removals; // of live, deepest first
    std::vector<const TreeItem*> writes;   // of the snapshot, root first
    TreeSize written;
};

CMirrorPlan Plan(const std::vector<TreeItem>& wanted, const TreeIndex& want, const std::vector<TreeItem>& found,
                 const TreeIndex& have)
{
    CMirrorPlan plan;
    for (auto item = found.rbegin(); item != found.rend(); ++item) {
        const TreeItem* kept = FindItem(want, item->relative);
        if (!item->IsLink() && !(kept && kept->IsFolder() == item->IsFolder() && !kept->IsLink()))
            plan.removals.push_back(&*item);
    }
    for (const TreeItem& item : wanted) {
        const TreeItem* old = FindItem(have, item.relative);
        if (item.IsFile() && !BehindLink(have, item.relative) && !(old && SameSizeAndTime(item, *old))) {
            plan.writes.push_back(&item);
            ++plan.written.files;
            plan.written.bytes += item.size;
        }
    }
    return plan;
}

// Every live file that the plan replaces or removes can be.
bool CanCarryOut(const CMirrorPlan& plan, const TreePath& live, const TreeIndex& have, FileError* error)
{
    for (const TreeItem* removed : plan.removals) {
        if (removed->IsFile() && !CanReplaceFile(live.Below(removed->relative), error))
            return false;
    }
    for (const TreeItem* written : plan.writes) {
        const TreeItem* old = FindItem(have, written->relative);
        if (old && old->IsFile() && !CanReplaceFile(live.Below(old->relative), error))
            return false;
    }
    return true;
}

bool CarryOut(const CMirrorPlan& plan, const std::vector<TreeItem>& wanted, const TreePath& snapshot,
              const TreePath& live, const TreeIndex& have, const CWorkProgress& progress, FileError* error)
{
    if (!RemoveTreeItems(live, plan.removals, error) || (!wanted.empty() && !MakeParents(live, error)))
        return false;
    CTreeTally tally(progress, plan.written);
    auto write = plan.writes.begin();
    for (const TreeItem& item : wanted) {
        TreePath to = live.Below(item.relative);
        const TreeItem* old = FindItem(have, item.relative);
        if (BehindLink(have, item.relative))
            continue;
        if (item.IsFolder() && !(old && old->IsFolder()) && !::CreateDirectoryW(to.path.c_str(), nullptr))
            return FailWith(error, to.name, ::GetLastError());
        if (write != plan.writes.end() && *write == &item) {
            ++write;
            if (!ReplaceFile(snapshot.Below(item.relative), to, old && old->IsFile() ? old : nullptr, tally, error))
                return false;
            if (!tally.AddFile())
                return FailWith(error, to.name, ERROR_CANCELLED);
        } else if (item.IsFile() && ((item.attributes ^ old->attributes) & COPIED_ATTRIBUTES)
                   && !::SetFileAttributesW(to.path.c_str(), CopiedAttributes(item.attributes))) {
            return FailWith(error, to.name, ::GetLastError());
        }
    }
    for (auto item = wanted.rbegin(); item != wanted.rend(); ++item) {
        if (item->IsFolder() && !BehindLink(have, item->relative)
            && !SetFolderInfo(live.Below(item->relative), *item, error))
            return false;
    }
    return true;
}

} // namespace

bool MirrorFileTree(const std::wstring& snapshot, const std::wstring& live, const CWorkProgress& progress,
                    FileError* error)
{
    std::vector<TreeItem> wanted, found;
    if (!ListFileTree(snapshot, wanted, error, progress) || !ListFileTree(live, found, error, progress))
        return false;
    if (!wanted.empty() && wanted[0].IsLink())
        return FailWith(error, snapshot, ERROR_LINK_REFUSED);
    if (!found.empty() && found[0].IsLink())
        return FailWith(error, live, ERROR_LINK_REFUSED);
    TreeIndex want = IndexItems(wanted), have = IndexItems(found);
    CMirrorPlan plan = Plan(wanted, want, found, have);
    TreePath root = TreePath::Of(live);
    return CanCarryOut(plan, root, have, error)
        && CarryOut(plan, wanted, TreePath::Of(snapshot), root, have, progress, error);
}
