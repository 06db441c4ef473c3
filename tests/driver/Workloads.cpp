// The benchmarks' settings folders and registry files (see Driver.h).
#include "tests/driver/Driver.h"
#include <algorithm>
#include <cstring>
#include <cwchar>

namespace driver {

namespace {

ULONGLONG NextRandom(ULONGLONG& state)
{
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
}

// size bytes made from seed into path, replacing it.
bool WriteContent(const std::wstring& path, ULONGLONG size, ULONGLONG seed)
{
    std::string bytes(size, '\0');
    ULONGLONG state = seed * 2654435761ULL + 1;
    for (size_t at = 0; at < bytes.size(); at += sizeof state) {
        const ULONGLONG word = NextRandom(state);
        std::memcpy(&bytes[at], &word, std::min(sizeof word, bytes.size() - at));
    }
    return WriteBytes(path, bytes);
}

// Value n of a registry file: a string, a DWORD and 40 bytes in turn.
RegFileKey::Value MakeValue(int n)
{
    RegFileKey::Value v{L"Item" + std::to_wstring(n), REG_BINARY, {}};
    if (n % 3 == 0) {
        const std::wstring text = L"recent item number " + std::to_wstring(n);
        v.type = REG_SZ;
        const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
        v.data.assign(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
    } else if (n % 3 == 1) {
        v.type = REG_DWORD;
        v.data = {BYTE(n), BYTE(n >> 8), BYTE(n >> 16), 0};
    } else {
        for (int i = 0; i < 40; ++i)
            v.data.push_back(static_cast<BYTE>(i * 31 + n * 7));
    }
    return v;
}

} // namespace

FileTree SettingsFolderTree(const std::string& name)
{
    FileTree tree{name, {}, {}, name == "media" ? 1 : 5};
    if (name == "media") {
        tree.folders.push_back(L"Library");
        for (int f = 0; f < 8; ++f)
            tree.files.push_back({L"Library\\clip" + std::to_wstring(f) + L".bin", 50ULL << 20});
        return tree;
    }
    ULONGLONG seed = 88172645463325252ULL;
    for (int top = 0; top < 20; ++top)
        for (int sub = 0; sub < 10; ++sub) {
            const std::wstring program = L"Vendor" + std::to_wstring(top);
            const std::wstring folder = sub ? program + L"\\Part" + std::to_wstring(sub) : program;
            tree.folders.push_back(folder);
            for (int f = 0; f < 10; ++f)
                tree.files.push_back({folder + L"\\settings" + std::to_wstring(f) + L".dat",
                                      4096 + NextRandom(seed) % (f % 2 ? 16385 : 8193)});
        }
    return tree;
}

bool BuildFiles(const FileTree& tree, const std::wstring& root)
{
    bool built = ::CreateDirectoryW(ExtendedPath(root).c_str(), nullptr) != FALSE;
    for (const std::wstring& folder : tree.folders)
        built = built && ::CreateDirectoryW(ExtendedPath(root + L"\\" + folder).c_str(), nullptr);
    for (size_t f = 0; built && f < tree.files.size(); ++f)
        built = WriteContent(root + L"\\" + tree.files[f].relative, tree.files[f].size, f);
    return built;
}

bool ChangeFiles(const FileTree& tree, const std::wstring& root, int round, bool added)
{
    const size_t n = tree.files.size(), count = std::max<size_t>(1, n / 10);
    bool changed = true;
    for (size_t k = 0; k < count && changed; ++k) {
        const size_t f = (round * count + k) % n;
        changed = WriteContent(root + L"\\" + tree.files[f].relative, tree.files[f].size,
                               (static_cast<ULONGLONG>(round) + 1) << 32 | f);
    }
    for (int k = 0; added && k < tree.added && changed; ++k)
        changed = WriteContent(root + L"\\" + tree.folders[k % tree.folders.size()] + L"\\added" + std::to_wstring(k) + L".tmp",
                               8192, round * 100 + k);
    return changed;
}

std::vector<RegFileKey> RegFileKeys(int count, bool subkeys)
{
    std::vector<RegFileKey> keys(1);
    for (int n = 0; n < count; ++n) {
        if (!subkeys) {
            keys[0].values.push_back(MakeValue(n));
            continue;
        }
        keys.push_back({L"Key" + std::to_wstring(n), {}});
        for (int v = 0; v < 3; ++v)
            keys.back().values.push_back(MakeValue(v));
    }
    return keys;
}

std::wstring RegFileText(const std::vector<RegFileKey>& keys, const std::wstring& rootName)
{
    const wchar_t hex[] = L"0123456789abcdef";
    std::wstring out = L"\uFEFFWindows Registry Editor Version 5.00\r\n\r\n";
    for (const RegFileKey& key : keys) {
        out += L"[" + rootName + (key.path.empty() ? L"" : L"\\" + key.path) + L"]\r\n";
        for (const RegFileKey::Value& v : key.values) {
            out += L"\"" + v.name + L"\"=";
            if (v.type == REG_SZ) {
                out += L"\"" + std::wstring(reinterpret_cast<const wchar_t*>(v.data.data())) + L"\"";
            } else if (v.type == REG_DWORD) {
                wchar_t text[16];
                DWORD d;
                std::memcpy(&d, v.data.data(), sizeof d);
                std::swprintf(text, 16, L"dword:%08lx", static_cast<unsigned long>(d));
                out += text;
            } else {
                out += L"hex:";
                for (size_t i = 0; i < v.data.size(); ++i) {
                    out += hex[v.data[i] >> 4];
                    out += hex[v.data[i] & 15];
                    if (i + 1 < v.data.size())
                        out += i % 24 == 23 ? L",\\\r\n  " : L",";
                }
            }
            out += L"\r\n";
        }
        out += L"\r\n";
    }
    return out;
}

} // namespace driver
