#include "model/ProgramEntry.h"
#include "framework/WinApp.h"
#include <shellapi.h>
#include <cstring>

namespace {

// Copies the first length bytes of text into field (size bytes) and ends it
// with a NUL, cutting what does not fit without splitting a double-byte
// character.
void StoreText(char* field, size_t size, const char* text, size_t length)
{
    size_t used = 0;
    while (used < length) {
        size_t next = used + (::IsDBCSLeadByte(static_cast<BYTE>(text[used])) ? 2 : 1);
        if (next > length || next > size - 1)
            break;
        used = next;
    }
    std::memmove(field, text, used);
    field[used] = '\0';
}

// A string field whose text may lack its NUL (fields are public): the text
// within the field, at most size - 1 bytes.
size_t TextLength(const char* field, size_t size)
{
    size_t length = strnlen(field, size);
    return length < size ? length : size - 1;
}

void CopyTextField(char* destination, const char* source, size_t size)
{
    StoreText(destination, size, source, TextLength(source, size));
}

// Reads a string value into its field. A value that is missing, not a string,
// or whose text does not fit the field with its NUL leaves the field as it was.
void ReadString(HKEY key, const char* name, char* field, size_t size)
{
    char small[1024];
    char* data = small;
    char* large = nullptr;
    DWORD type = REG_NONE;
    DWORD capacity = sizeof small - 1;
    DWORD bytes = capacity;
    LONG rc = ::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &bytes);
    // Longer data may still hold a short text before its first NUL. The size
    // asked for is not always enough for the ANSI conversion: grow a few times.
    for (int attempt = 0; rc == ERROR_MORE_DATA && attempt < 4; ++attempt) {
        capacity = bytes > capacity ? bytes : capacity * 2;
        if (large)
            ::HeapFree(::GetProcessHeap(), 0, large);
        large = static_cast<char*>(::HeapAlloc(::GetProcessHeap(), 0, capacity + 1));
        if (!large)
            return;
        data = large;
        bytes = capacity;
        rc = ::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &bytes);
    }
    if (rc == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) {
        size_t length = strnlen(data, bytes);
        if (length < size) {
            std::memcpy(field, data, length);
            field[length] = '\0';
        }
    }
    if (large)
        ::HeapFree(::GetProcessHeap(), 0, large);
}

// Reads a REG_DWORD value; anything else leaves the number as it was.
void ReadNumber(HKEY key, const char* name, int& field)
{
    DWORD value = 0, type = REG_NONE, bytes = sizeof value;
    if (::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &bytes) == ERROR_SUCCESS
        && type == REG_DWORD && bytes == sizeof value)
        field = static_cast<int>(value);
}

void WriteString(HKEY key, const char* name, const char* field, size_t size)
{
    char text[260];
    CopyTextField(text, field, size < sizeof text ? size : sizeof text);
    ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                     static_cast<DWORD>(std::strlen(text) + 1));
}

void WriteNumber(HKEY key, const char* name, int field)
{
    DWORD value = static_cast<DWORD>(field);
    ::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
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

void CProgramEntry::SaveToKey(HKEY key) const
{
    WriteString(key, "Title", m_szTitle, sizeof m_szTitle);
    WriteString(key, "CommandLine", m_szCommandLine, sizeof m_szCommandLine);
    WriteString(key, "Directory", m_szDirectory, sizeof m_szDirectory);
    WriteNumber(key, "Icon", m_bRunMinimized);
    WriteString(key, "Registry", m_szRegistry, sizeof m_szRegistry);
    WriteNumber(key, "iSave", m_nSaveSlot);
    WriteString(key, "IconPath", m_szIconPath, sizeof m_szIconPath);
    WriteNumber(key, "IconIndex", m_nIconIndex);
    WriteNumber(key, "RetrieveAgain", m_bRetrieveAgain);
}

BOOL CProgramEntry::EnsureIcon()
{
    if (m_hCachedIcon)
        return TRUE;
    if (strnlen(m_szIconPath, sizeof m_szIconPath) == sizeof m_szIconPath)
        return FALSE;
    // 0: no icon at that index; 1: not a program, library or icon file.
    HICON extracted = ::ExtractIconA(AfxGetInstanceHandle(), m_szIconPath, static_cast<UINT>(m_nIconIndex));
    if (extracted == nullptr || extracted == reinterpret_cast<HICON>(1))
        return FALSE;
    m_hCachedIcon = ::CopyIcon(extracted);
    ::DestroyIcon(extracted);
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
    CopyTextField(m_szTitle, source.m_szTitle, sizeof m_szTitle);
    CopyTextField(m_szCommandLine, source.m_szCommandLine, sizeof m_szCommandLine);
    CopyTextField(m_szDirectory, source.m_szDirectory, sizeof m_szDirectory);
    CopyTextField(m_szIconPath, source.m_szIconPath, sizeof m_szIconPath);
    m_nIconIndex = source.m_nIconIndex;
    m_bRunMinimized = source.m_bRunMinimized;
    CopyTextField(m_szRegistry, source.m_szRegistry, sizeof m_szRegistry);
    m_bRetrieveAgain = source.m_bRetrieveAgain;
    m_nSaveSlot = source.m_nSaveSlot;
    m_hCachedIcon = source.m_hCachedIcon ? ::CopyIcon(source.m_hCachedIcon) : nullptr;
    return *this;
}
