#include "model/ProgramEntry.h"
#include <shellapi.h>
#include <cstring>
#include <string>
#include <vector>
#include "framework/Scoped.h"
#include "framework/Text.h"
#include "framework/WinApp.h"

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
    m_hCachedIcon = source.m_hCachedIcon ? ::CopyIcon(source.m_hCachedIcon) : nullptr;
    return *this;
}

CSettingsSet CProgramEntry::Settings() const
{
    return CSettingsSet(FieldText(m_szRegistry), m_nSaveSlot);
}

int CProgramEntry::CaptureSnapshot(DWORD reason, const CWorkProgress& progress) const
{
    return Settings().Capture(reason, progress) ? 1 : 0;
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
