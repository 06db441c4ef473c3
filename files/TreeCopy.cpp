#include "files/TreeCopy.h"
#include "files/FileItem.h"
#include "files/TreeRemove.h"

namespace {

bool CanLink(const TreeItem& item, const TreeItem* previous)
{
    return previous && SameSizeAndTime(item, *previous) && !(item.attributes & FILE_ATTRIBUTE_READONLY)
        && !((item.attributes ^ previous->attributes) & COPIED_ATTRIBUTES);
}

// Copies items (of live's listing) into destination, the root first.
bool CopyItems(const std::vector<TreeItem>& items, const TreePath& live, const TreePath& destination,
               const TreePath& reference, const TreeIndex& previous, CTreeTally& tally, FileError* error)
{
    for (const TreeItem& item : items) {
        TreePath from = live.Below(item.relative), to = destination.Below(item.relative);
        if (item.IsFolder() && !::CreateDirectoryW(to.path.c_str(), nullptr))
            return FailWith(error, to.name, ::GetLastError());
        if (!item.IsFile())
            continue;
        if (CanLink(item, FindItem(previous, item.relative))
            && ::CreateHardLinkW(to.path.c_str(), reference.Below(item.relative).path.c_str(), nullptr)) {
            if (!tally.AddBytes(item.size))
                return FailWith(error, from.name, ERROR_CANCELLED);
        } else if (!CopyFileData(from, to, CREATE_NEW, tally, error)) {
            return false;
        }
        if (!tally.AddFile())
            return FailWith(error, from.name, ERROR_CANCELLED);
    }
    for (auto item = items.rbegin(); item != items.rend(); ++item) {
        if (item->IsFolder() && !SetFolderInfo(destination.Below(item->relative), *item, error))
            return false;
    }
    return true;
}

} // namespace

bool CopyFileTree(const std::wstring& live, const std::wstring& destination, const std::wstring& reference,
                  const CWorkProgress& progress, FileError* error, bool* absent)
{
    std::vector<TreeItem> items, referenceItems;
    if (!ListFileTree(live, items, error, progress))
        return false;
    if (absent)
        *absent = items.empty();
    if (items.empty())
        return true;
    if (items[0].IsLink())
        return FailWith(error, live, ERROR_LINK_REFUSED);
    // Without a readable reference, every file is copied.
    if (reference.empty() || !ListFileTree(reference, referenceItems, nullptr, progress))
        referenceItems.clear();
    // What is at destination on failure is then the copy's own.
    if (PathExists(destination))
        return FailWith(error, destination, ERROR_ALREADY_EXISTS);
    CTreeTally tally(progress, MeasureItems(items));
    if (CopyItems(items, TreePath::Of(live), TreePath::Of(destination), TreePath::Of(reference),
                  IndexItems(referenceItems), tally, error))
        return true;
    RemoveFileTree(destination, nullptr);
    return false;
}
