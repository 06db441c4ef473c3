#include "files/FileTreeRecord.h"
#include <cstring>
#include "files/FileItem.h"

namespace {

const char kMagic[4] = {'C', 'W', 'T', 'R'};
const DWORD kVersion = 1;

// Folders and files of a listing, without the links.
void DropLinks(std::vector<TreeItem>& items)
{
    std::vector<TreeItem> kept;
    for (TreeItem& item : items) {
        if (!item.IsLink())
            kept.push_back(std::move(item));
    }
    items.swap(kept);
}

template <class T>
void Put(std::vector<BYTE>& bytes, const T& value)
{
    const BYTE* first = reinterpret_cast<const BYTE*>(&value);
    bytes.insert(bytes.end(), first, first + sizeof value);
}

// Reads from the bytes in order; every read past their end fails.
class CRecordReader {
public:
    explicit CRecordReader(const std::vector<BYTE>& bytes) : m_bytes(bytes) {}
    bool Read(void* value, size_t size)
    {
        if (size > m_bytes.size() - m_nAt)
            return false;
        std::memcpy(value, m_bytes.data() + m_nAt, size);
        m_nAt += size;
        return true;
    }
    template <class T>
    bool Read(T& value) { return Read(&value, sizeof value); }
    bool AtEnd() const { return m_nAt == m_bytes.size(); }

private:
    const std::vector<BYTE>& m_bytes;
    size_t m_nAt = 0;
};

} // namespace

bool CFileTreeRecord::Take(const std::wstring& root, const CWorkProgress& progress, FileError* error)
{
    m_digests.clear();
    bool taken = ListFileTree(root, m_items, error, progress);
    DropLinks(m_items);
    CTreeTally tally(progress, Size());
    TreePath top = TreePath::Of(root);
    for (size_t i = 0; taken && i < m_items.size(); ++i) {
        ULONGLONG digest = 0;
        if (m_items[i].IsFile()) {
            taken = DigestFile(top.Below(m_items[i].relative), tally, &digest, error)
                && (tally.AddFile() || FailWith(error, root, ERROR_CANCELLED));
        }
        m_digests.push_back(digest);
    }
    if (!taken) {
        m_items.clear();
        m_digests.clear();
    }
    return taken;
}

bool CFileTreeRecord::Check(const std::wstring& root, bool* changed, const CWorkProgress& progress,
                        FileError* error) const
{
    std::vector<TreeItem> items;
    if (!ListFileTree(root, items, error, progress))
        return false;
    DropLinks(items);
    *changed = true;
    if (items.size() != m_items.size())
        return true;
    // Names, kinds and sizes first: only a file that may hold the same bytes
    // at another time is read.
    TreeIndex recorded = IndexItems(m_items);
    std::vector<std::pair<const TreeItem*, ULONGLONG>> reread;
    TreeSize toRead;
    for (const TreeItem& item : items) {
        const TreeItem* old = FindItem(recorded, item.relative);
        if (!old || old->IsFolder() != item.IsFolder() || (item.IsFile() && old->size != item.size))
            return true;
        if (item.IsFile() && !SameSizeAndTime(item, *old)) {
            reread.emplace_back(&item, m_digests[old - m_items.data()]);
            ++toRead.files;
            toRead.bytes += item.size;
        }
    }
    CTreeTally tally(progress, toRead);
    TreePath top = TreePath::Of(root);
    for (const auto& file : reread) {
        ULONGLONG digest = 0;
        if (!DigestFile(top.Below(file.first->relative), tally, &digest, error))
            return false;
        if (digest != file.second)
            return true;
        if (!tally.AddFile())
            return FailWith(error, root, ERROR_CANCELLED);
    }
    *changed = false;
    return true;
}

std::vector<BYTE> CFileTreeRecord::ToBytes() const
{
    std::vector<BYTE> bytes(kMagic, kMagic + sizeof kMagic);
    Put(bytes, kVersion);
    Put(bytes, static_cast<DWORD>(m_items.size()));
    for (size_t i = 0; i < m_items.size(); ++i) {
        const TreeItem& item = m_items[i];
        Put(bytes, item.attributes);
        Put(bytes, static_cast<DWORD>(item.relative.size()));
        const BYTE* name = reinterpret_cast<const BYTE*>(item.relative.data());
        bytes.insert(bytes.end(), name, name + item.relative.size() * sizeof(wchar_t));
        Put(bytes, item.size);
        Put(bytes, item.written);
        Put(bytes, m_digests[i]);
    }
    return bytes;
}

bool CFileTreeRecord::FromBytes(const std::vector<BYTE>& bytes)
{
    m_items.clear();
    m_digests.clear();
    CRecordReader reader(bytes);
    char magic[sizeof kMagic];
    DWORD version = 0, count = 0;
    bool read = reader.Read(magic) && std::memcmp(magic, kMagic, sizeof kMagic) == 0 && reader.Read(version)
        && version == kVersion && reader.Read(count);
    for (DWORD i = 0; read && i < count; ++i) {
        TreeItem item;
        DWORD length = 0;
        ULONGLONG digest = 0;
        read = reader.Read(item.attributes) && reader.Read(length) && length <= bytes.size();
        if (read) {
            item.relative.resize(length);
            read = reader.Read(&item.relative[0], length * sizeof(wchar_t)) && reader.Read(item.size)
                && reader.Read(item.written) && reader.Read(digest);
        }
        m_items.push_back(std::move(item));
        m_digests.push_back(digest);
    }
    if (read && reader.AtEnd())
        return true;
    m_items.clear();
    m_digests.clear();
    return false;
}
