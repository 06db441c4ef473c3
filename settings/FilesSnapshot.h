// The settings files of one set, as a slot keeps them (and an export
// writes them beside its registry file): one folder for each settings path,
// named by its number, holding the copy of the path under the path's own
// name, and paths.txt, which names each path as it was written, one a line.
// A path listed whose folder holds nothing was absent when it was copied; a
// path not listed has no copy at all (missing).
#pragma once
#include <string>
#include <vector>

class CFilesSnapshot {
public:
    // A snapshot folder that need not exist.
    explicit CFilesSnapshot(const std::wstring& folder);

    // False when there is no list: no files were kept.
    bool Exists() const { return m_bListed; }
    const std::vector<std::wstring>& Paths() const { return m_paths; }
    // Where the copy of the written path is, or is to be made, for a tree
    // whose own name is leaf; empty when the path is not listed. A listed
    // path without a copy there was absent.
    std::wstring CopyOf(const std::wstring& written, const std::wstring& leaf) const;

    // Makes folder a snapshot listing paths, their folders made and empty:
    // the copies then go to CopyOf.
    static bool Create(const std::wstring& folder, const std::vector<std::wstring>& paths);
    // Both list the same paths, compared as the file system compares names.
    static bool SamePaths(const std::vector<std::wstring>& a, const std::vector<std::wstring>& b);

private:
    std::wstring m_strFolder;
    std::vector<std::wstring> m_paths;
    bool m_bListed = false;
};
