#include "registry/KeyTreeRecord.h"
#include "registry/RegistryTree.h"

namespace {

// Stored first: what tells a record from other bytes, and its layout
// from later ones.
const DWORD kRecordTag = 0x31525443; // "CTR1"

ULONGLONG TimeValue(const FILETIME& time)
{
    return static_cast<ULONGLONG>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

// A term of the key's path alone, for the record's shape.
ULONGLONG ShapeTerm(ULONGLONG path)
{
    return CTreeFingerprint::KeyTerm(path, L"", 0);
}

ULONGLONG PathOf(const CWalkedKey& key, ULONGLONG parentPath)
{
    return key.depth ? CTreeFingerprint::SubkeyPath(parentPath, key.name, key.nameLength) : CTreeFingerprint::TopPath();
}

void PutWord(std::vector<BYTE>& out, ULONGLONG value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<BYTE>(value >> (8 * i)));
}

// Seven bits a byte, the lowest first: most counts take one byte.
void PutCount(std::vector<BYTE>& out, ULONGLONG value)
{
    for (; value >= 0x80; value >>= 7)
        out.push_back(static_cast<BYTE>(value | 0x80));
    out.push_back(static_cast<BYTE>(value));
}

// Reads what PutWord and PutCount wrote; false past the end, or at a count
// too long to be one.
class CRecordReader {
public:
    CRecordReader(const BYTE* bytes, size_t size) : m_p(bytes), m_end(bytes + size) {}
    bool Word(ULONGLONG& value, int bytes)
    {
        if (m_end - m_p < bytes)
            return false;
        value = 0;
        for (int i = 0; i < bytes; ++i)
            value |= static_cast<ULONGLONG>(*m_p++) << (8 * i);
        return true;
    }
    bool Count(ULONGLONG& value)
    {
        value = 0;
        for (int shift = 0; shift < 64 && m_p < m_end; shift += 7) {
            BYTE byte = *m_p++;
            value |= static_cast<ULONGLONG>(byte & 0x7F) << shift;
            if (!(byte & 0x80))
                return true;
        }
        return false;
    }
    bool AtEnd() const { return m_p == m_end; }

private:
    const BYTE* m_p;
    const BYTE* m_end;
};

} // namespace

FILETIME CKeyTreeRecord::Moment() const
{
    FILETIME time = {static_cast<DWORD>(m_nMoment), static_cast<DWORD>(m_nMoment >> 32)};
    return time;
}

std::vector<BYTE> CKeyTreeRecord::Bytes() const
{
    std::vector<BYTE> out;
    out.reserve(40 + m_keys.size() * 9);
    PutWord(out, kRecordTag, 4);
    PutWord(out, m_nMoment, 8);
    PutWord(out, m_nFingerprint, 8);
    PutWord(out, m_nShape, 8);
    PutCount(out, m_totals.keys);
    PutCount(out, m_totals.values);
    PutCount(out, m_totals.bytes);
    for (const CKeyEntry& entry : m_keys) {
        PutCount(out, entry.subkeys);
        PutWord(out, entry.digest, 8);
    }
    return out;
}

bool CKeyTreeRecord::Read(const BYTE* bytes, size_t size)
{
    *this = CKeyTreeRecord();
    CKeyTreeRecord read;
    CRecordReader in(bytes, size);
    ULONGLONG tag = 0, subkeys = 0, belowTop = 0;
    if (!in.Word(tag, 4) || tag != kRecordTag || !in.Word(read.m_nMoment, 8) || !in.Word(read.m_nFingerprint, 8)
        || !in.Word(read.m_nShape, 8) || !in.Count(read.m_totals.keys) || !in.Count(read.m_totals.values)
        || !in.Count(read.m_totals.bytes) || read.m_totals.keys == 0 || read.m_totals.keys > size)
        return false;
    read.m_keys.resize(static_cast<size_t>(read.m_totals.keys));
    for (CKeyEntry& entry : read.m_keys) {
        if (!in.Count(subkeys) || subkeys > MAXDWORD || !in.Word(entry.digest, 8))
            return false;
        entry.subkeys = static_cast<DWORD>(subkeys);
        belowTop += subkeys;
    }
    // Every key but the top one is the subkey of one other.
    if (!in.AtEnd() || belowTop != read.m_totals.keys - 1)
        return false;
    *this = std::move(read);
    return true;
}

bool CKeyTreeRecorder::OnKey(const CWalkedKey& key, CKeyReading&)
{
    if (key.depth == 0) {
        m_record = CKeyTreeRecord();
        m_frames.clear();
    }
    ULONGLONG path = PathOf(key, m_frames.empty() ? 0 : m_frames.back().path);
    ULONGLONG term = CTreeFingerprint::KeyTerm(path, key.keyClass, key.classLength);
    m_record.m_nFingerprint += term;
    m_record.m_nShape += ShapeTerm(path);
    if (!m_frames.empty()) {
        CKeyTreeRecord::CKeyEntry& parent = m_record.m_keys[m_frames.back().entry];
        parent.digest += term;
        ++parent.subkeys;
    }
    m_frames.push_back({path, m_record.m_keys.size()});
    m_record.m_keys.push_back({term, 0});
    ++m_record.m_totals.keys;
    return true;
}

bool CKeyTreeRecorder::OnValue(const wchar_t* name, DWORD nameLength, DWORD type, const BYTE* data, DWORD size)
{
    ULONGLONG term = CTreeFingerprint::ValueTerm(m_frames.back().path, name, nameLength, type, data, size);
    m_record.m_nFingerprint += term;
    m_record.m_keys[m_frames.back().entry].digest += term;
    ++m_record.m_totals.values;
    m_record.m_totals.bytes += size;
    return true;
}

bool CKeyTreeRecorder::OnKeyDone()
{
    m_frames.pop_back();
    return true;
}

void CKeyTreeRecorder::Finish(CKeyTreeRecord& record)
{
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    m_record.m_nMoment = TimeValue(now);
    record = std::move(m_record);
    m_record = CKeyTreeRecord();
}

// Walks a tree beside its record, entry by entry in the walk's order, and
// ends the walk at the first difference.
class CTreeCheck : public CTreeVisitor {
public:
    explicit CTreeCheck(const CKeyTreeRecord& record) : m_record(record) {}

    bool OnKey(const CWalkedKey& key, CKeyReading& reading) override
    {
        if (m_nNext == m_record.m_keys.size())
            return Changed();
        ULONGLONG path = PathOf(key, m_frames.empty() ? 0 : m_frames.back().path);
        ULONGLONG term = CTreeFingerprint::KeyTerm(path, key.keyClass, key.classLength);
        m_nShape += ShapeTerm(path);
        if (!m_frames.empty()) {
            m_frames.back().digest += term;
            ++m_frames.back().subkeys;
        }
        const size_t entry = m_nNext++;
        // The copy's own last writes may bear its moment, and on a coarse
        // clock so may a write just after it: only an earlier time shows a
        // key unwritten since.
        const bool written = TimeValue(key.lastWrite) >= m_record.m_nMoment;
        if (!written) {
            // Adding a subkey would have moved the time: it has at most the
            // subkeys it had, and none when it had none.
            reading.values = false;
            reading.maxSubkeys = m_record.m_keys[entry].subkeys;
            reading.open = reading.maxSubkeys > 0;
        }
        m_frames.push_back({path, term, 0, entry, written});
        return true;
    }
    bool OnValue(const wchar_t* name, DWORD nameLength, DWORD type, const BYTE* data, DWORD size) override
    {
        m_frames.back().digest += CTreeFingerprint::ValueTerm(m_frames.back().path, name, nameLength, type, data, size);
        return true;
    }
    bool OnKeyDone() override
    {
        const CFrame& frame = m_frames.back();
        const CKeyTreeRecord::CKeyEntry& recorded = m_record.m_keys[frame.entry];
        if (frame.subkeys != recorded.subkeys || (frame.written && frame.digest != recorded.digest))
            return Changed();
        m_frames.pop_back();
        return true;
    }

    TreeChange Result(bool walked) const
    {
        if (m_bChanged)
            return TreeChange::CHANGED;
        if (!walked)
            return TreeChange::UNKNOWN;
        return m_nNext == m_record.m_keys.size() && m_nShape == m_record.m_nShape ? TreeChange::UNCHANGED
                                                                                 : TreeChange::CHANGED;
    }

private:
    bool Changed()
    {
        m_bChanged = true;
        return false;
    }
    struct CFrame {
        ULONGLONG path;
        ULONGLONG digest; // of what has been read of the key
        DWORD subkeys;    // met so far
        size_t entry;
        bool written;     // since the record's moment
    };
    const CKeyTreeRecord& m_record;
    std::vector<CFrame> m_frames;
    size_t m_nNext = 0;
    ULONGLONG m_nShape = 0;
    bool m_bChanged = false;
};

TreeChange CheckTree(HKEY tree, const CKeyTreeRecord& record, const CWorkProgress& progress)
{
    if (record.IsEmpty())
        return TreeChange::UNKNOWN;
    CTreeCheck check(record);
    bool walked = WalkKeyTree(tree, check, progress);
    return check.Result(walked);
}
