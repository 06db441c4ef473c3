#include "ProgmanTestSupport.h"
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include "framework/Text.h"

std::string OwnPath()
{
    char path[MAX_PATH];
    DWORD length = ::GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, length);
}

std::string BesidePath(const char* fileName)
{
    std::string path = OwnPath();
    return path.substr(0, path.find_last_of('\\') + 1) + fileName;
}

void FillEntry(CProgramEntry& entry, const char* title, const char* iconPath, int iconIndex,
               const char* directory, int runMinimized)
{
    CopyField(entry.m_szTitle, sizeof entry.m_szTitle, title);
    CopyField(entry.m_szIconPath, sizeof entry.m_szIconPath, iconPath);
    CopyField(entry.m_szDirectory, sizeof entry.m_szDirectory, directory);
    entry.m_nIconIndex = iconIndex;
    entry.m_bRunMinimized = runMinimized;
}

CTestList::CTestList()
{
    for (CProgramEntry* entry : m_list.m_arrEntries)
        delete entry;
    m_list.m_arrEntries.clear();
    m_list.m_bModified = 0;
}

CProgramEntry& CTestList::Add(const char* title, const char* iconPath, int iconIndex,
                              const char* directory, int runMinimized)
{
    CProgramEntry* entry = new CProgramEntry;
    FillEntry(*entry, title, iconPath, iconIndex, directory, runMinimized);
    m_list.m_arrEntries.push_back(entry);
    return *entry;
}

CRecorder::CRecorder(const std::string& options)
{
    static int s_counter = 0;
    char name[128];
    std::snprintf(name, sizeof name, "CobweldTestProgman.%lu.%d", ::GetCurrentProcessId(), ++s_counter);
    char temp[MAX_PATH];
    ::GetTempPathA(sizeof temp, temp);
    m_strRecordPath = std::string(temp) + name + ".rec";

    HANDLE ready = ::CreateEventA(nullptr, TRUE, FALSE, (std::string(name) + ".ready").c_str());
    m_hQuit = ::CreateEventA(nullptr, TRUE, FALSE, (std::string(name) + ".quit").c_str());
    std::string command = "\"" + BesidePath("progman_recorder.exe") + "\" \"" + m_strRecordPath +
                          "\" " + name + " " + options;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                         &startup, &m_process)) {
        HANDLE handles[2] = {ready, m_process.hProcess};
        m_bReady = ::WaitForMultipleObjects(2, handles, FALSE, 15000) == WAIT_OBJECT_0;
    }
    ::CloseHandle(ready);
}

CRecorder::~CRecorder()
{
    if (m_process.hProcess) {
        ::SetEvent(m_hQuit);
        if (::WaitForSingleObject(m_process.hProcess, 5000) != WAIT_OBJECT_0)
            ::TerminateProcess(m_process.hProcess, 1);
        ::WaitForSingleObject(m_process.hProcess, 5000);
        ::CloseHandle(m_process.hProcess);
        ::CloseHandle(m_process.hThread);
    }
    ::CloseHandle(m_hQuit);
    ::DeleteFileA(m_strRecordPath.c_str());
}

std::vector<std::string> CRecorder::Commands() const
{
    std::vector<std::string> commands;
    std::ifstream file(m_strRecordPath, std::ios::binary);
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::string bytes;
        for (size_t i = 0; i + 1 < line.size(); i += 2)
            bytes += static_cast<char>(std::stoi(line.substr(i, 2), nullptr, 16));
        commands.push_back(bytes);
    }
    return commands;
}

std::vector<std::string> WithTerminators(const std::vector<std::string>& texts)
{
    std::vector<std::string> result;
    for (const std::string& text : texts)
        result.push_back(text + std::string(1, '\0'));
    return result;
}

std::string GroupFolder()
{
    char programs[MAX_PATH];
    if (FAILED(::SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, programs)))
        return std::string();
    return std::string(programs) + "\\Cobweld";
}

void RemoveGroupFolder()
{
    std::string folder = GroupFolder();
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                ::DeleteFileA((folder + "\\" + found.cFileName).c_str());
        } while (::FindNextFileA(search, &found));
        ::FindClose(search);
    }
    ::RemoveDirectoryA(folder.c_str());
}

bool FileExists(const std::string& path)
{
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

CShortcut ReadShortcut(const std::string& path)
{
    CShortcut shortcut;
    HRESULT init = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IShellLinkA* link = nullptr;
    if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                     reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            wchar_t wide[MAX_PATH];
            ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
            if (SUCCEEDED(file->Load(wide, STGM_READ))) {
                char text[1024];
                shortcut.bRead = true;
                if (SUCCEEDED(link->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH)))
                    shortcut.strTarget = text;
                if (SUCCEEDED(link->GetArguments(text, sizeof text)))
                    shortcut.strArguments = text;
                if (SUCCEEDED(link->GetWorkingDirectory(text, sizeof text)))
                    shortcut.strDirectory = text;
                if (SUCCEEDED(link->GetIconLocation(text, sizeof text, &shortcut.nIconIndex)))
                    shortcut.strIconPath = text;
                // Wine's loader reports every show command as SW_SHOWNORMAL:
                // read it from the file's header (ShowCommand at 0x3C).
                std::ifstream raw(path, std::ios::binary);
                unsigned char header[0x40] = {};
                if (raw.read(reinterpret_cast<char*>(header), sizeof header))
                    shortcut.nShowCmd = header[0x3C] | (header[0x3D] << 8);
            }
            file->Release();
        }
        link->Release();
    }
    if (SUCCEEDED(init))
        ::CoUninitialize();
    return shortcut;
}
