#include "ProgmanTestSupport.h"
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <filesystem>
#include <fstream>
#include "framework/Text.h"

std::string OwnPath()
{
    char path[MAX_PATH];
    return std::string(path, ::GetModuleFileNameA(nullptr, path, sizeof path));
}

CTestList::CTestList(const std::vector<CTestEntry>& entries, int groupState)
{
    for (CProgramEntry* entry : m_arrEntries)
        delete entry;
    m_arrEntries.clear();
    for (const CTestEntry& e : entries) {
        CProgramEntry* entry = new CProgramEntry;
        CopyField(entry->m_szTitle, sizeof entry->m_szTitle, e.title);
        CopyField(entry->m_szIconPath, sizeof entry->m_szIconPath, e.iconPath);
        CopyField(entry->m_szDirectory, sizeof entry->m_szDirectory, e.directory);
        entry->m_nIconIndex = e.iconIndex;
        entry->m_bRunMinimized = e.runMinimized;
        m_arrEntries.push_back(entry);
    }
    m_bModified = 0;
    m_nGroupState = groupState;
}

CRecorder::CRecorder(const std::string& options)
{
    static int s_counter = 0;
    std::string name = "CobweldTestProgman." + std::to_string(::GetCurrentProcessId()) + "." +
                       std::to_string(++s_counter);
    char temp[MAX_PATH];
    ::GetTempPathA(sizeof temp, temp);
    m_strRecordPath = temp + name + ".rec";
    HANDLE ready = ::CreateEventA(nullptr, TRUE, FALSE, (name + ".ready").c_str());
    m_hQuit = ::CreateEventA(nullptr, TRUE, FALSE, (name + ".quit").c_str());
    if (m_process.Start(driver::ToolPath("progman_recorder.exe"),
                        "\"" + m_strRecordPath + "\" " + name + " " + options)) {
        HANDLE handles[2] = {ready, m_process.Handle()};
        m_bReady = ::WaitForMultipleObjects(2, handles, FALSE, 15000) == WAIT_OBJECT_0;
    }
    ::CloseHandle(ready);
}

CRecorder::~CRecorder()
{
    ::SetEvent(m_hQuit);
    m_process.WaitExit(5000); // else ended by m_process
    ::CloseHandle(m_hQuit);
    ::DeleteFileA(m_strRecordPath.c_str());
}

std::vector<std::string> CRecorder::Commands() const
{
    // One line per execute: its bytes in hexadecimal.
    std::vector<std::string> commands;
    std::ifstream file(m_strRecordPath, std::ios::binary);
    for (std::string line; std::getline(file, line);) {
        commands.emplace_back();
        for (size_t i = 0; i + 1 < line.size() && line[i] != '\r'; i += 2)
            commands.back() += static_cast<char>(std::stoi(line.substr(i, 2), nullptr, 16));
    }
    return commands;
}

std::string GroupFolder()
{
    char programs[MAX_PATH] = "";
    ::SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, programs);
    return std::string(programs) + "\\Cobweld";
}

std::string Lnk(const std::string& name) { return GroupFolder() + "\\" + name + ".lnk"; }

void RemoveGroupFolder()
{
    std::error_code error;
    std::filesystem::remove_all(GroupFolder(), error);
}

bool FileExists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string DescribeShortcut(const std::string& path, const std::string& launcherPath)
{
    std::string result;
    ::CoInitialize(nullptr); // once per thread is enough; kept for the test's life
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    wchar_t wide[MAX_PATH];
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                     reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(wide, STGM_READ))) {
        char target[1024] = "", arguments[1024] = "", directory[1024] = "", icon[1024] = "";
        int iconIndex = 0;
        link->GetPath(target, sizeof target, nullptr, SLGP_RAWPATH);
        link->GetArguments(arguments, sizeof arguments);
        link->GetWorkingDirectory(directory, sizeof directory);
        link->GetIconLocation(icon, sizeof icon, &iconIndex);
        // Wine's loader reports every show command as SW_SHOWNORMAL: read it
        // from the file's header (ShowCommand at 0x3C).
        unsigned char header[0x40] = {};
        std::ifstream(path, std::ios::binary).read(reinterpret_cast<char*>(header), sizeof header);
        result = (lstrcmpiA(target, launcherPath.c_str()) == 0 ? "launcher" : target) + std::string(" ") +
                 arguments + "|" + directory + "|" + icon + "," + std::to_string(iconIndex) + "|" +
                 std::to_string(header[0x3C] | (header[0x3D] << 8));
    }
    if (file)
        file->Release();
    if (link)
        link->Release();
    return result;
}
