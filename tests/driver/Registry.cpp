// Registry set-up and checks for the end-to-end tests.
#include "tests/driver/Driver.h"
#include <algorithm>
#include <cstdio>
#include <cstring>

namespace driver {

const char* const kStoreRoot = "Software\\Varnolite\\Cobweld";
const char* const kProfileRoot = "Software\\Varnolite\\COBWELD";
const char* const kProfileSection = "Software\\Varnolite\\COBWELD\\Cobweld";

namespace {

// A key that closes itself.
class Key {
public:
    Key() = default;
    ~Key() { if (m_key) ::RegCloseKey(m_key); }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    bool Open(HKEY root, const std::string& path, REGSAM access = KEY_READ)
    {
        return ::RegOpenKeyExA(root, path.c_str(), 0, access, &m_key) == ERROR_SUCCESS;
    }
    bool Create(HKEY root, const std::string& path, const char* keyClass = nullptr)
    {
        return ::RegCreateKeyExA(root, path.c_str(), 0, const_cast<char*>(keyClass), 0,
                                 KEY_ALL_ACCESS, nullptr, &m_key, nullptr) == ERROR_SUCCESS;
    }
    operator HKEY() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

bool QueryString(HKEY key, const char* name, std::string* out)
{
    DWORD type = 0, size = 0;
    if (::RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
        return false;
    std::string data(size, '\0');
    if (::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size) != ERROR_SUCCESS)
        return false;
    data.resize(size);
    while (!data.empty() && data.back() == '\0')
        data.pop_back();
    *out = data;
    return true;
}

bool QueryDword(HKEY key, const char* name, DWORD* out)
{
    DWORD type = 0, size = sizeof(DWORD);
    return ::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(out), &size) == ERROR_SUCCESS
        && type == REG_DWORD && size == sizeof(DWORD);
}

void SetString(HKEY key, const char* name, const std::string& value)
{
    ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1));
}

void SetDword(HKEY key, const char* name, DWORD value)
{
    ::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

std::string Hex(const BYTE* data, DWORD size)
{
    std::string text;
    char byte[4];
    for (DWORD i = 0; i < size; ++i) {
        std::snprintf(byte, sizeof byte, i ? " %02x" : "%02x", data[i]);
        text += byte;
    }
    return text;
}

bool NameLess(const std::string& a, const std::string& b)
{
    return ::lstrcmpiA(a.c_str(), b.c_str()) < 0;
}

void DumpKey(HKEY key, const std::string& relative, std::string& out)
{
    char keyClass[1024] = "";
    DWORD classSize = sizeof keyClass;
    DWORD subkeys = 0, maxSubkey = 0, values = 0, maxName = 0, maxData = 0;
    ::RegQueryInfoKeyA(key, keyClass, &classSize, nullptr, &subkeys, &maxSubkey, nullptr, &values,
                       &maxName, &maxData, nullptr, nullptr);
    out += "key " + relative + " class=\"" + keyClass + "\"\n";

    struct Value { std::string name; DWORD type; std::string data; };
    std::vector<Value> valueList;
    std::vector<char> name(maxName + 2);
    std::vector<BYTE> data(maxData + 1);
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = 0;
        LONG rc = ::RegEnumValueA(key, i, name.data(), &nameSize, nullptr, &type, data.data(), &dataSize);
        if (rc == ERROR_MORE_DATA) {
            name.resize(name.size() * 2 + 256);
            data.resize(data.size() * 2 + 256);
            --i;
            continue;
        }
        if (rc != ERROR_SUCCESS)
            break;
        valueList.push_back({std::string(name.data(), nameSize), type, Hex(data.data(), dataSize)});
    }
    std::sort(valueList.begin(), valueList.end(),
              [](const Value& a, const Value& b) { return NameLess(a.name, b.name); });
    for (const Value& v : valueList)
        out += "  value \"" + v.name + "\" type=" + std::to_string(v.type) + " data=[" + v.data + "]\n";

    std::vector<std::string> subkeyNames;
    std::vector<char> subName(maxSubkey + 2);
    for (DWORD i = 0;; ++i) {
        DWORD size = static_cast<DWORD>(subName.size());
        LONG rc = ::RegEnumKeyExA(key, i, subName.data(), &size, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA) {
            subName.resize(subName.size() * 2 + 256);
            --i;
            continue;
        }
        if (rc != ERROR_SUCCESS)
            break;
        subkeyNames.emplace_back(subName.data(), size);
    }
    std::sort(subkeyNames.begin(), subkeyNames.end(), NameLess);
    for (const std::string& sub : subkeyNames) {
        Key child;
        std::string childPath = relative == "." ? sub : relative + "\\" + sub;
        if (child.Open(key, sub))
            DumpKey(child, childPath, out);
        else
            out += "key " + childPath + " <unreadable>\n";
    }
}

} // namespace

void WipeLauncherState()
{
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kStoreRoot);
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kStoreRoot);
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kProfileRoot);
    ::RegDeleteKeyA(HKEY_CURRENT_USER, kProfileRoot);
}

bool operator==(const StoreEntry& a, const StoreEntry& b)
{
    return a.title == b.title && a.commandLine == b.commandLine && a.directory == b.directory
        && a.iconPath == b.iconPath && a.registry == b.registry && a.runMinimized == b.runMinimized
        && a.saveSlot == b.saveSlot && a.iconIndex == b.iconIndex && a.retrieveAgain == b.retrieveAgain;
}

std::string StoreEntryPath(int index)
{
    return std::string(kStoreRoot) + "\\Info\\" + std::to_string(index);
}

std::string SnapshotPath(int slot)
{
    return std::string(kStoreRoot) + "\\Save\\" + std::to_string(slot);
}

bool WriteStoreEntry(int index, const StoreEntry& entry)
{
    Key key;
    if (!key.Create(HKEY_LOCAL_MACHINE, StoreEntryPath(index)))
        return false;
    SetString(key, "Title", entry.title);
    SetString(key, "CommandLine", entry.commandLine);
    SetString(key, "Directory", entry.directory);
    SetDword(key, "Icon", entry.runMinimized);
    SetString(key, "Registry", entry.registry);
    SetDword(key, "iSave", entry.saveSlot);
    SetString(key, "IconPath", entry.iconPath);
    SetDword(key, "IconIndex", entry.iconIndex);
    SetDword(key, "RetrieveAgain", entry.retrieveAgain);
    return true;
}

bool ReadStoreEntry(int index, StoreEntry* entry)
{
    Key key;
    if (!key.Open(HKEY_LOCAL_MACHINE, StoreEntryPath(index)))
        return false;
    StoreEntry e;
    bool ok = QueryString(key, "Title", &e.title) && QueryString(key, "CommandLine", &e.commandLine)
        && QueryString(key, "Directory", &e.directory) && QueryDword(key, "Icon", &e.runMinimized)
        && QueryString(key, "Registry", &e.registry) && QueryDword(key, "iSave", &e.saveSlot)
        && QueryString(key, "IconPath", &e.iconPath) && QueryDword(key, "IconIndex", &e.iconIndex)
        && QueryDword(key, "RetrieveAgain", &e.retrieveAgain);
    if (ok)
        *entry = e;
    return ok;
}

int CountStoreEntries()
{
    int n = 0;
    while (KeyExists(HKEY_LOCAL_MACHINE, StoreEntryPath(n)))
        ++n;
    return n;
}

bool ReadProfileInt(const char* name, DWORD* value)
{
    Key key;
    return key.Open(HKEY_CURRENT_USER, kProfileSection) && QueryDword(key, name, value);
}

bool WriteProfileInt(const char* name, DWORD value)
{
    return SetDwordValue(HKEY_CURRENT_USER, kProfileSection, name, value);
}

bool KeyExists(HKEY root, const std::string& path)
{
    Key key;
    return key.Open(root, path);
}

bool CreateKey(HKEY root, const std::string& path, const char* keyClass)
{
    Key key;
    return key.Create(root, path, keyClass);
}

bool DeleteTree(HKEY root, const std::string& path)
{
    LONG rc = ::RegDeleteTreeA(root, path.c_str());
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
        return false;
    rc = ::RegDeleteKeyA(root, path.c_str());
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

bool SetValue(HKEY root, const std::string& path, const char* name, DWORD type,
              const void* data, DWORD size)
{
    Key key;
    return key.Create(root, path)
        && ::RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

bool SetStringValue(HKEY root, const std::string& path, const char* name, const std::string& value)
{
    return SetValue(root, path, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

bool SetDwordValue(HKEY root, const std::string& path, const char* name, DWORD value)
{
    return SetValue(root, path, name, REG_DWORD, &value, sizeof value);
}

std::string DumpTree(HKEY root, const std::string& path)
{
    Key key;
    if (!key.Open(root, path))
        return "<missing>";
    std::string out;
    DumpKey(key, ".", out);
    return out;
}

} // namespace driver
