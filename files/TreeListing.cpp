#include "files/TreeListing.h"
#include "framework/Scoped.h"

namespace {

// The folder's items below it, added to items; a folder that holds nothing
// (not even "." and "..": a drive's root) is no failure.
bool ListFolder(const TreePath& folder, const std::wstring& relative, std::vector<TreeItem>& items, FileError* error)
{
    WIN32_FIND_DATAW found;
    CFindHandle search(::FindFirstFileExW(JoinPath(folder.path, L"*").c_str(), FindExInfoBasic, &found,
                                          FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!search.IsValid())
        return ::GetLastError() == ERROR_FILE_NOT_FOUND || FailWith(error, folder.name, ::GetLastError());
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        TreeItem item;
        item.relative = relative.empty() ? name : relative + L'\\' + name;
        item.attributes = found.dwFileAttributes;
        item.size = (static_cast<ULONGLONG>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        item.created = found.ftCreationTime;
        item.written = found.ftLastWriteTime;
        items.push_back(item);
    } while (::FindNextFileW(search, &found));
    return ::GetLastError() == ERROR_NO_MORE_FILES || FailWith(error, folder.name, ::GetLastError());
}

} // namespace

bool ListFileTree(const std::wstring& root, std::vector<TreeItem>& items, FileError* error,
                  const CWorkProgress& progress)
{
    items.clear();
    TreePath top = TreePath::Of(root);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (top.path.empty() || !::GetFileAttributesExW(top.path.c_str(), GetFileExInfoStandard, &data)) {
        DWORD code = top.path.empty() ? ERROR_INVALID_NAME : ::GetLastError();
        return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND || FailWith(error, root, code);
    }
    TreeItem item;
    item.attributes = data.dwFileAttributes;
    item.size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    item.created = data.ftCreationTime;
    item.written = data.ftLastWriteTime;
    items.push_back(item);
    // Breadth first, without recursion: a tree may be as deep as its names
    // are long.
    for (size_t i = 0; i < items.size(); ++i) {
        if (!items[i].IsFolder())
            continue;
        if (!progress.Report(0))
            return FailWith(error, root, ERROR_CANCELLED);
        std::wstring relative = items[i].relative;
        if (!ListFolder(top.Below(relative), relative, items, error))
            return false;
    }
    return true;
}

TreeSize MeasureItems(const std::vector<TreeItem>& items)
{
    TreeSize size;
    for (const TreeItem& item : items) {
        if (item.IsFile()) {
            ++size.files;
            size.bytes += item.size;
        }
    }
    return size;
}

bool MeasureFileTree(const std::wstring& root, TreeSize* size, FileError* error, const CWorkProgress& progress)
{
    std::vector<TreeItem> items;
    if (!ListFileTree(root, items, error, progress))
        return false;
    *size = MeasureItems(items);
    return true;
}

bool PathLess::operator()(const std::wstring& a, const std::wstring& b) const
{
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE)
        == CSTR_LESS_THAN;
}

TreeIndex IndexItems(const std::vector<TreeItem>& items)
{
    TreeIndex index;
    for (const TreeItem& item : items)
        index.emplace(item.relative, &item);
    return index;
}

const TreeItem* FindItem(const TreeIndex& index, const std::wstring& relative)
{
    auto found = index.find(relative);
    return found == index.end() ? nullptr : found->second;
}

bool SameSizeAndTime(const TreeItem& a, const TreeItem& b)
{
    return a.IsFile() && b.IsFile() && a.size == b.size && a.written.dwLowDateTime == b.written.dwLowDateTime
        && a.written.dwHighDateTime == b.written.dwHighDateTime;
}
