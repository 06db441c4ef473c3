#include "model/ProgramEntry.h"
#include <shellapi.h>
#include <cstring>
#include <string>
#include <vector>
#include "framework/Scoped.h"
#include "framework/Text.h"
#include "framework/WinApp.h"
#include "settings/SettingsPaths.h"

namespace {

// Reads a string value into its field. A value that is missing, not a string,
// or whose text does not fit the field with its NUL leaves the field as it was.
void ReadString(HKEY key, const char* name, char* field, size_t size)
{
    // Longer data may still hold a short text before its first NUL; the size
    // the registry asks for is not always enough for the ANSI conversion.
    std::vector<char> data(1024);
    for (int attempt = 0; attempt < 5; ++attempt) {
        DWORD type = REG_NONE, bytes = static_cast<DWORD>(data.size());
        LONG rc = ::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &bytes);
        if (rc == ERROR_MORE_DATA) {
            data.resize(std::max<size_t>(bytes, data.size() * 2));
            continue;
        }
        size_t length = rc == ERROR_SUCCESS ? strnlen(data.data(), bytes) : size;
        if ((type == REG_SZ || type == REG_EXPAND_SZ) && length < size)
            CopyField(field, size, std::string(data.data(), length));
        return;
    }
}

// Reads a REG_DWORD value; anything else leaves the number as it was.
void ReadNumber(HKEY key, const char* name, int& field)
{
    DWORD value = 0, type = REG_NONE, bytes = sizeof value;
    if (::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &bytes) == ERROR_SUCCESS
        && type == REG_DWORD && bytes == sizeof value)
        field = static_cast<int>(value);
}

bool WriteString(HKEY key, const char* name, const char* field, size_t size)
{
    std::string text = FieldText(field, size);
    return ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

bool WriteNumber(HKEY key, const char* name, int field)
{
    DWORD value = static_cast<DWORD>(field);
    return ::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value)
        == ERROR_SUCCESS;
}

} // namespace

CProgramEntry::CProgramEntry()
    : m_szTitle(), m_szCommandLine(), m_szDirectory(), m_szIconPath(), m_nIconIndex(0),
      m_bRunMinimized(0), m_szRegistry(), m_nSaveSlot(0), m_bRetrieveAgain(0), m_hCachedIcon(nullptr)
{
}

CProgramEntry::~CProgramEntry()
{
}

namespace {

const wchar_t kFilesValue[] = L"Files";
const char kFilesSlotValue[] = "FilesSlot";

// The strings of a REG_MULTI_SZ value; none when it is missing or not one.
std::vector<std::wstring> ReadStrings(HKEY key, const wchar_t* name)
{
    std::vector<std::wstring> strings;
    DWORD type = REG_NONE, size = 0;
    if (::RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_MULTI_SZ)
        return strings;
    std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size) != ERROR_SUCCESS)
        return strings;
    data.resize(size / sizeof(wchar_t));
    for (size_t start = 0; start < data.size();) {
        size_t end = data.find(L'\0', start);
        end = end == std::wstring::npos ? data.size() : end;
        if (end > start)
            strings.push_back(data.substr(start, end - start));
        start = end + 1;
    }
    return strings;
}

bool WriteStrings(HKEY key, const wchar_t* name, const std::vector<std::wstring>& strings)
{
    std::wstring data;
    for (const std::wstring& text : strings)
        data += text + L'\0';
    data += L'\0';
    return ::RegSetValueExW(key, name, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()),
                            static_cast<DWORD>(data.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}

} // namespace

void CProgramEntry::LoadFromKey(HKEY key)
{
    ReadString(key, "Title", m_szTitle, sizeof m_szTitle);
    ReadString(key, "CommandLine", m_szCommandLine, sizeof m_szCommandLine);
    ReadString(key, "Directory", m_szDirectory, sizeof m_szDirectory);
    ReadNumber(key, "Icon", m_bRunMinimized);
    ReadString(key, "Registry", m_szRegistry, sizeof m_szRegistry);
    ReadNumber(key, "iSave", m_nSaveSlot);
    ReadNumber(key, "IconIndex", m_nIconIndex);
    ReadString(key, "IconPath", m_szIconPath, sizeof m_szIconPath);
    ReadNumber(key, "RetrieveAgain", m_bRetrieveAgain);
    int filesSlot = 0;
    ReadNumber(key, kFilesSlotValue, filesSlot);
    m_settingsPaths.clear();
    if (filesSlot == m_nSaveSlot && filesSlot > 0)
        m_settingsPaths = ReadStrings(key, kFilesValue);
    m_hCachedIcon = nullptr;
}

bool CProgramEntry::SaveToKey(HKEY key) const
{
    // Every value is written, whatever happened to the one before.
    bool written = WriteString(key, "Title", m_szTitle, sizeof m_szTitle);
    written &= WriteString(key, "CommandLine", m_szCommandLine, sizeof m_szCommandLine);
    written &= WriteString(key, "Directory", m_szDirectory, sizeof m_szDirectory);
    written &= WriteNumber(key, "Icon", m_bRunMinimized);
    written &= WriteString(key, "Registry", m_szRegistry, sizeof m_szRegistry);
    written &= WriteNumber(key, "iSave", m_nSaveSlot);
    written &= WriteString(key, "IconPath", m_szIconPath, sizeof m_szIconPath);
    written &= WriteNumber(key, "IconIndex", m_nIconIndex);
    written &= WriteNumber(key, "RetrieveAgain", m_bRetrieveAgain);
    // An entry without settings paths is stored as the nine values alone.
    if (!m_settingsPaths.empty()) {
        written &= WriteStrings(key, kFilesValue, m_settingsPaths);
        written &= WriteNumber(key, kFilesSlotValue, m_nSaveSlot);
    }
    return written;
}

BOOL CProgramEntry::EnsureIcon()
{
    if (m_hCachedIcon)
        return TRUE;
    // 0: no icon at that index; 1: not a program, library or icon file.
    CIcon extracted(::ExtractIconA(AfxGetInstanceHandle(), FieldText(m_szIconPath).c_str(),
                                   static_cast<UINT>(m_nIconIndex)));
    if (extracted == nullptr || extracted == reinterpret_cast<HICON>(1))
        return FALSE;
    m_hCachedIcon = ::CopyIcon(extracted);
    return m_hCachedIcon != nullptr;
}

void CProgramEntry::ReleaseIcon()
{
    if (m_hCachedIcon) {
        ::DestroyIcon(m_hCachedIcon);
        m_hCachedIcon = nullptr;
    }
}

CProgramEntry& CProgramEntry::CopyFrom(const CProgramEntry& source)
{
    if (&source == this)
        return *this;
    ReleaseIcon();
    CopyField(m_szTitle, FieldText(source.m_szTitle));
    CopyField(m_szCommandLine, FieldText(source.m_szCommandLine));
    CopyField(m_szDirectory, FieldText(source.m_szDirectory));
    CopyField(m_szIconPath, FieldText(source.m_szIconPath));
    m_nIconIndex = source.m_nIconIndex;
    m_bRunMinimized = source.m_bRunMinimized;
    CopyField(m_szRegistry, FieldText(source.m_szRegistry));
    m_bRetrieveAgain = source.m_bRetrieveAgain;
    m_nSaveSlot = source.m_nSaveSlot;
    m_settingsPaths = source.m_settingsPaths;
    m_hCachedIcon = source.m_hCachedIcon ? ::CopyIcon(source.m_hCachedIcon) : nullptr;
    return *this;
}

CSettingsSet CProgramEntry::Settings() const
{
    return CSettingsSet(FieldText(m_szRegistry), m_nSaveSlot, m_settingsPaths,
                        ProgramFolder(Widen(FieldText(m_szCommandLine))));
}

int CProgramEntry::CaptureSnapshot(DWORD reason, const CWorkProgress& progress, CSettingsFailure* failure) const
{
    return Settings().Capture(reason, progress, failure) ? 1 : 0;
}

int CProgramEntry::RestoreSnapshot(bool keep, const CWorkProgress& progress) const
{
    return Settings().Restore(keep, progress) ? 1 : 0;
}

void CProgramEntry::DiscardSnapshot()
{
    Settings().Discard();
    m_nSaveSlot = 0;
}

std::unique_ptr<CProcessGroup> CProgramEntry::LaunchEntry() const
{
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    if (m_bRunMinimized) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWMINNOACTIVE;
    }
    // The program file is the application name: no search path, no
    // arguments; its command line is the path itself.
    auto program = std::make_unique<CProcessGroup>();
    if (!program->Start(FieldText(m_szCommandLine), FieldText(m_szDirectory), startup))
        return nullptr;
    return program;
}
