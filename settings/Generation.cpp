#include "settings/Generation.h"
#include <cstring>

namespace {

#pragma pack(push, 4)
struct CGenerationRecord {
    FILETIME made;
    DWORD reason;
    DWORD flags;
    ULONGLONG keys, values, bytes, files, fileBytes;
    // The settings name's bytes follow.
};
#pragma pack(pop)

const DWORD KEPT = 1;
const DWORD SIZE_KNOWN = 2;

} // namespace

std::vector<BYTE> CGeneration::Bytes() const
{
    CGenerationRecord record = {made, reason, (kept ? KEPT : 0) | (size.known ? SIZE_KNOWN : 0), size.keys,
                                size.values, size.bytes, size.files, size.fileBytes};
    std::vector<BYTE> bytes(sizeof record + settingsName.size());
    std::memcpy(bytes.data(), &record, sizeof record);
    std::memcpy(bytes.data() + sizeof record, settingsName.data(), settingsName.size());
    return bytes;
}

bool CGeneration::Read(const std::vector<BYTE>& bytes)
{
    CGenerationRecord record;
    if (bytes.size() < sizeof record)
        return false;
    std::memcpy(&record, bytes.data(), sizeof record);
    made = record.made;
    reason = record.reason;
    kept = (record.flags & KEPT) != 0;
    size.known = (record.flags & SIZE_KNOWN) != 0;
    size.keys = record.keys, size.values = record.values, size.bytes = record.bytes;
    size.files = record.files, size.fileBytes = record.fileBytes;
    settingsName.assign(reinterpret_cast<const char*>(bytes.data()) + sizeof record, bytes.size() - sizeof record);
    return true;
}

std::wstring GenerationValue(int number)
{
    return number ? L"g" + std::to_wstring(number) : L"current";
}
