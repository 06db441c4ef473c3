#include "files/FileItem.h"
#include <memory>
#include "framework/Hash.h"
#include "framework/Scoped.h"

namespace {

// The tally hears a big file's progress block by block.
const DWORD BLOCK_SIZE = 1 << 20;

const DWORD SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE OpenToRead(const TreePath& file)
{
    return ::CreateFileW(file.path.c_str(), GENERIC_READ, SHARE_ALL, nullptr, OPEN_EXISTING,
                         FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

bool SetBasicInfo(HANDLE handle, DWORD attributes, const FILETIME& created, const FILETIME& written)
{
    FILE_BASIC_INFO info = {};
    info.CreationTime.LowPart = created.dwLowDateTime;
    info.CreationTime.HighPart = static_cast<LONG>(created.dwHighDateTime);
    info.LastWriteTime.LowPart = written.dwLowDateTime;
    info.LastWriteTime.HighPart = static_cast<LONG>(written.dwHighDateTime);
    info.FileAttributes = CopiedAttributes(attributes);
    return ::SetFileInformationByHandle(handle, FileBasicInfo, &info, sizeof info) != FALSE;
}

// Reads file block by block into a buffer of its size or of a block, handing
// each to take; false from take ends the reading (with false).
template <class Take>
bool ReadBlocks(HANDLE file, const TreePath& name, ULONGLONG size, FileError* error, Take take)
{
    DWORD bufferSize = size < BLOCK_SIZE ? static_cast<DWORD>(size) + 1 : BLOCK_SIZE;
    std::unique_ptr<BYTE[]> buffer(new BYTE[bufferSize]);
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file, buffer.get(), bufferSize, &read, nullptr))
            return FailWith(error, name.name, ::GetLastError());
        if (read == 0)
            return true;
        if (!take(buffer.get(), read))
            return false;
    }
}

} // namespace

bool CopyFileData(const TreePath& from, const TreePath& to, DWORD disposition, CTreeTally& tally, FileError* error)
{
    CHandle source(OpenToRead(from));
    BY_HANDLE_FILE_INFORMATION info;
    if (!source.IsValid() || !::GetFileInformationByHandle(source, &info))
        return FailWith(error, from.name, ::GetLastError());
    CHandle target(::CreateFileW(to.path.c_str(), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
    if (!target.IsValid())
        return FailWith(error, to.name, ::GetLastError());
    ULONGLONG size = (static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return ReadBlocks(source, from, size, error, [&](const BYTE* data, DWORD length) {
               DWORD written = 0;
               if (!::WriteFile(target, data, length, &written, nullptr) || written != length)
                   return FailWith(error, to.name, ::GetLastError());
               return tally.AddBytes(length) || FailWith(error, from.name, ERROR_CANCELLED);
           })
        && (SetBasicInfo(target, info.dwFileAttributes, info.ftCreationTime, info.ftLastWriteTime)
            || FailWith(error, to.name, ::GetLastError()));
}

bool DigestFile(const TreePath& file, CTreeTally& tally, ULONGLONG* digest, FileError* error)
{
    CHandle source(OpenToRead(file));
    LARGE_INTEGER size;
    if (!source.IsValid() || !::GetFileSizeEx(source, &size))
        return FailWith(error, file.name, ::GetLastError());
    ULONGLONG hash = 0x436f627765ULL;
    if (!ReadBlocks(source, file, static_cast<ULONGLONG>(size.QuadPart), error, [&](const BYTE* data, DWORD length) {
            hash = HashBytes(hash, data, length);
            return tally.AddBytes(length) || FailWith(error, file.name, ERROR_CANCELLED);
        }))
        return false;
    *digest = hash;
    return true;
}

bool SetFolderInfo(const TreePath& folder, const TreeItem& item, FileError* error)
{
    CHandle handle(::CreateFileW(folder.path.c_str(), FILE_WRITE_ATTRIBUTES, SHARE_ALL, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    return (handle.IsValid() && SetBasicInfo(handle, item.attributes, item.created, item.written))
        || FailWith(error, folder.name, ::GetLastError());
}

bool RemoveFileItem(const TreePath& file, DWORD attributes, FileError* error)
{
    if (attributes & FILE_ATTRIBUTE_READONLY)
        ::SetFileAttributesW(file.path.c_str(), CopiedAttributes(attributes & ~FILE_ATTRIBUTE_READONLY));
    return ::DeleteFileW(file.path.c_str()) || FailWith(error, file.name, ::GetLastError());
}

bool CanReplaceFile(const TreePath& file, FileError* error)
{
    CHandle handle(::CreateFileW(file.path.c_str(), DELETE, SHARE_ALL, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    return handle.IsValid() || FailWith(error, file.name, ::GetLastError());
}
