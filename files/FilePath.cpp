#include "files/FilePath.h"

namespace {

const wchar_t kLongPrefix[] = L"\\\\?\\";
const wchar_t kLongUncPrefix[] = L"\\\\?\\UNC\\";

bool StartsWith(const std::wstring& text, const wchar_t* prefix)
{
    return text.compare(0, wcslen(prefix), prefix) == 0;
}

bool SameNames(const wchar_t* a, size_t aLength, const wchar_t* b, size_t bLength)
{
    return ::CompareStringOrdinal(a, static_cast<int>(aLength), b, static_cast<int>(bLength), TRUE) == CSTR_EQUAL;
}

} // namespace

std::wstring FullPath(const std::wstring& path)
{
    // The system resolves "." and ".." only in the plain form.
    std::wstring plain = StartsWith(path, kLongUncPrefix) ? L"\\\\" + path.substr(wcslen(kLongUncPrefix))
        : StartsWith(path, kLongPrefix)                   ? path.substr(wcslen(kLongPrefix))
                                                          : path;
    if (plain.empty())
        return plain;
    DWORD size = ::GetFullPathNameW(plain.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    DWORD length = size ? ::GetFullPathNameW(plain.c_str(), size, &full[0], nullptr) : 0;
    if (length == 0 || length >= size)
        return std::wstring();
    full.resize(length);
    while (full.size() > 3 && full.back() == L'\\')
        full.pop_back();
    return full;
}

std::wstring LongPath(const std::wstring& path)
{
    std::wstring full = FullPath(path);
    if (full.empty() || StartsWith(full, L"\\\\.\\"))
        return full;
    if (StartsWith(full, L"\\\\"))
        return kLongUncPrefix + full.substr(2);
    return kLongPrefix + full;
}

std::wstring JoinPath(const std::wstring& root, const std::wstring& relative)
{
    if (relative.empty())
        return root;
    return root.empty() || root.back() == L'\\' ? root + relative : root + L'\\' + relative;
}

bool SamePath(const std::wstring& a, const std::wstring& b)
{
    std::wstring fullA = FullPath(a), fullB = FullPath(b);
    return !fullA.empty() && SameNames(fullA.c_str(), fullA.size(), fullB.c_str(), fullB.size());
}

bool IsInsideOrSame(const std::wstring& path, const std::wstring& folder)
{
    std::wstring inner = FullPath(path), outer = FullPath(folder);
    if (outer.empty() || inner.size() < outer.size() || !SameNames(inner.c_str(), outer.size(), outer.c_str(), outer.size()))
        return false;
    return inner.size() == outer.size() || outer.back() == L'\\' || inner[outer.size()] == L'\\';
}

PathKind GetPathKind(const std::wstring& path, FileError* error)
{
    std::wstring name = LongPath(path);
    DWORD attributes = name.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD code = name.empty() ? ERROR_INVALID_NAME : ::GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
            return PathKind::Missing;
        FailWith(error, path, code);
        return PathKind::Unknown;
    }
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return PathKind::Link;
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? PathKind::Folder : PathKind::File;
}
