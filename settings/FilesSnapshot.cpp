#include "settings/FilesSnapshot.h"
#include <windows.h>
#include <algorithm>
#include "files/FilePath.h"
#include "framework/Scoped.h"

namespace {

const wchar_t kList[] = L"paths.txt";

bool SameName(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

} // namespace

CFilesSnapshot::CFilesSnapshot(const std::wstring& folder) : m_strFolder(folder)
{
    // UTF-16LE with a byte-order mark, a path a line.
    CHandle file(::CreateFileW(LongPath(JoinPath(folder, kList)).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!file.IsValid() || !::GetFileSizeEx(file, &size) || size.QuadPart > 0x100000 || size.QuadPart % 2)
        return;
    std::wstring text(static_cast<size_t>(size.QuadPart) / 2, L'\0');
    DWORD read = 0;
    if (!text.empty() && (!::ReadFile(file, &text[0], static_cast<DWORD>(size.QuadPart), &read, nullptr)
                          || read != size.QuadPart || text[0] != 0xFEFF))
        return;
    for (size_t start = 1; start < text.size();) {
        size_t end = text.find(L"\r\n", start);
        end = end == std::wstring::npos ? text.size() : end;
        if (end > start)
            m_paths.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    m_bListed = true;
}

std::wstring CFilesSnapshot::CopyOf(const std::wstring& written, const std::wstring& leaf) const
{
    for (size_t i = 0; i < m_paths.size(); ++i) {
        if (SameName(m_paths[i], written))
            return JoinPath(JoinPath(m_strFolder, std::to_wstring(i + 1)), leaf);
    }
    return std::wstring();
}

bool CFilesSnapshot::Create(const std::wstring& folder, const std::vector<std::wstring>& paths)
{
    if (!::CreateDirectoryW(LongPath(folder).c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    std::wstring text = L"\uFEFF";
    for (size_t i = 0; i < paths.size(); ++i) {
        text += paths[i] + L"\r\n";
        if (!::CreateDirectoryW(LongPath(JoinPath(folder, std::to_wstring(i + 1))).c_str(), nullptr))
            return false;
    }
    CHandle file(::CreateFileW(LongPath(JoinPath(folder, kList)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t)), written = 0;
    return file.IsValid() && ::WriteFile(file, text.data(), bytes, &written, nullptr) && written == bytes;
}

bool CFilesSnapshot::SamePaths(const std::vector<std::wstring>& a, const std::vector<std::wstring>& b)
{
    return a.size() == b.size() && std::all_of(a.begin(), a.end(), [&](const std::wstring& path) {
        return std::any_of(b.begin(), b.end(), [&](const std::wstring& other) { return SameName(path, other); });
    });
}
