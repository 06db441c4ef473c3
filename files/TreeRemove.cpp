#include "files/TreeRemove.h"
#include "files/FileItem.h"

bool RemoveFileTree(const std::wstring& root, FileError* error)
{
    std::vector<TreeItem> items;
    if (!ListFileTree(root, items, error))
        return false;
    std::vector<const TreeItem*> deepestFirst;
    for (auto item = items.rbegin(); item != items.rend(); ++item)
        deepestFirst.push_back(&*item);
    return RemoveTreeItems(TreePath::Of(root), deepestFirst, error);
}

bool RemoveTreeItems(const TreePath& root, const std::vector<const TreeItem*>& items, FileError* error)
{
    FileError first;
    for (const TreeItem* item : items) {
        TreePath path = root.Below(item->relative);
        if (item->IsFile())
            RemoveFileItem(path, item->attributes, first.code ? nullptr : &first);
        // A folder still holding a link stays.
        else if (item->IsFolder() && !::RemoveDirectoryW(path.path.c_str()) && !first.code
                 && ::GetLastError() != ERROR_DIR_NOT_EMPTY)
            first = FileError{path.name, ::GetLastError()};
    }
    return !first.code || FailWith(error, first.path, first.code);
}

bool RenameFileTree(const std::wstring& from, const std::wstring& to, FileError* error)
{
    std::wstring source = LongPath(from), target = LongPath(to);
    return (!source.empty() && !target.empty() && ::MoveFileExW(source.c_str(), target.c_str(), 0))
        || FailWith(error, from, source.empty() || target.empty() ? ERROR_INVALID_NAME : ::GetLastError());
}
