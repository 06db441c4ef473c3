// Registry set-up and checks for the end-to-end tests.
#include "tests/driver/Driver.h"
#include <cstdio>
#include <map>
#include <tuple>

namespace driver {

const char* const kStoreRoot = "Software\\Varnolite\\Cobweld";
const char* const kProfileRoot = "Software\\Varnolite\\COBWELD";

namespace {

const char kProfileSection[] = "Software\\Varnolite\\COBWELD\\Cobweld";

// A key that closes itself.
struct Key {
    HKEY key = nullptr;
    ~Key() { if (key) ::RegCloseKey(key); }
    bool Open(HKEY root, const std::string& path) { return !::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key); }
    bool Create(HKEY root, const std::string& path, const char* keyClass = nullptr)
    {
        return !::RegCreateKeyExA(root, path.c_str(), 0, const_cast<char*>(keyClass), 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr);
    }
    operator HKEY() const { return key; }
};

// A REG_SZ value without its terminating NULs.
bool QueryString(HKEY key, const char* name, std::string* out)
{
    DWORD type = 0, size = 0;
    if (::RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) || type != REG_SZ)
        return false;
    std::string data(size, '\0');
    if (::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size))
        return false;
    data.resize(size);
    *out = data.substr(0, data.find_last_not_of('\0') + 1);
    return true;
}

bool QueryDword(HKEY key, const char* name, DWORD* out)
{
    DWORD type = 0, size = sizeof(DWORD);
    return !::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(out), &size) && type == REG_DWORD
        && size == sizeof(DWORD);
}

// Case-insensitive, as the registry compares names.
struct NameLess {
    bool operator()(const std::string& a, const std::string& b) const { return ::lstrcmpiA(a.c_str(), b.c_str()) < 0; }
};

void DumpKey(HKEY key, const std::string& relative, std::string& out)
{
    char keyClass[1024] = "", name[256];
    DWORD classSize = sizeof keyClass, maxName = 0, maxData = 0;
    ::RegQueryInfoKeyA(key, keyClass, &classSize, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName, &maxData,
                       nullptr, nullptr);
    out += "key " + relative + " class=\"" + keyClass + "\"\n";
    std::map<std::string, std::string, NameLess> values;
    std::vector<char> valueName(maxName + 2);
    std::vector<BYTE> data(maxData + 1);
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = static_cast<DWORD>(valueName.size()), dataSize = static_cast<DWORD>(data.size()), type = 0;
        LONG rc = ::RegEnumValueA(key, i, valueName.data(), &nameSize, nullptr, &type, data.data(), &dataSize);
        if (rc == ERROR_MORE_DATA) { // changed meanwhile: grow and read it again
            valueName.resize(valueName.size() * 2 + 256);
            data.resize(data.size() * 2 + 256);
            --i;
            continue;
        }
        if (rc != ERROR_SUCCESS)
            break;
        std::string line = " type=" + std::to_string(type) + " data=[";
        char byte[4];
        for (DWORD b = 0; b < dataSize; ++b) {
            std::snprintf(byte, sizeof byte, b ? " %02x" : "%02x", data[b]);
            line += byte;
        }
        values[std::string(valueName.data(), nameSize)] = line + "]";
    }
    for (const auto& value : values)
        out += "  value \"" + value.first + "\"" + value.second + "\n";
    std::map<std::string, int, NameLess> subkeys;
    for (DWORD i = 0, size = sizeof name; !::RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
         ++i, size = sizeof name)
        subkeys[name] = 0;
    for (const auto& sub : subkeys) {
        Key child;
        std::string childPath = relative == "." ? sub.first : relative + "\\" + sub.first;
        if (child.Open(key, sub.first))
            DumpKey(child, childPath, out);
        else
            out += "key " + childPath + " <unreadable>\n";
    }
}

} // namespace

bool operator==(const StoreEntry& a, const StoreEntry& b)
{
    auto fields = [](const StoreEntry& e) {
        return std::tie(e.title, e.commandLine, e.directory, e.iconPath, e.registry, e.runMinimized, e.saveSlot,
                        e.iconIndex, e.retrieveAgain);
    };
    return fields(a) == fields(b);
}

bool WriteStoreEntry(int index, const StoreEntry& e)
{
    std::string path = StoreEntryPath(index);
    return SetStringValue(HKEY_LOCAL_MACHINE, path, "Title", e.title)
        && SetStringValue(HKEY_LOCAL_MACHINE, path, "CommandLine", e.commandLine)
        && SetStringValue(HKEY_LOCAL_MACHINE, path, "Directory", e.directory)
        && SetDwordValue(HKEY_LOCAL_MACHINE, path, "Icon", e.runMinimized)
        && SetStringValue(HKEY_LOCAL_MACHINE, path, "Registry", e.registry)
        && SetDwordValue(HKEY_LOCAL_MACHINE, path, "iSave", e.saveSlot)
        && SetStringValue(HKEY_LOCAL_MACHINE, path, "IconPath", e.iconPath)
        && SetDwordValue(HKEY_LOCAL_MACHINE, path, "IconIndex", e.iconIndex)
        && SetDwordValue(HKEY_LOCAL_MACHINE, path, "RetrieveAgain", e.retrieveAgain);
}

bool ReadStoreEntry(int index, StoreEntry* entry)
{
    Key key;
    StoreEntry e;
    bool ok = key.Open(HKEY_LOCAL_MACHINE, StoreEntryPath(index)) && QueryString(key, "Title", &e.title)
        && QueryString(key, "CommandLine", &e.commandLine) && QueryString(key, "Directory", &e.directory)
        && QueryDword(key, "Icon", &e.runMinimized) && QueryString(key, "Registry", &e.registry)
        && QueryDword(key, "iSave", &e.saveSlot) && QueryString(key, "IconPath", &e.iconPath)
        && QueryDword(key, "IconIndex", &e.iconIndex) && QueryDword(key, "RetrieveAgain", &e.retrieveAgain);
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
    return Key().Open(root, path);
}

bool CreateKey(HKEY root, const std::string& path, const char* keyClass)
{
    return Key().Create(root, path, keyClass);
}

bool DeleteTree(HKEY root, const std::string& path)
{
    LONG rc = ::RegDeleteTreeA(root, path.c_str());
    if (rc == ERROR_SUCCESS)
        rc = ::RegDeleteKeyA(root, path.c_str());
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

bool SetValue(HKEY root, const std::string& path, const char* name, DWORD type, const void* data, DWORD size)
{
    Key key;
    return key.Create(root, path) && !::RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
}

std::string DumpTree(HKEY root, const std::string& path)
{
    Key key;
    std::string out;
    if (!key.Open(root, path))
        return "<missing>";
    DumpKey(key, ".", out);
    return out;
}

} // namespace driver
