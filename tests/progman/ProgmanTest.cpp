// Publishing the group: what goes over DDE to a recording Program Manager,
// byte for byte; the shortcuts written for what a shell refuses, and the
// Linux menu items Wine makes of them.
#include <windows.h>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <ddeml.h>
#include "framework/Text.h"
#include "model/ProgramList.h"
#include "progman/DdeClient.h"
#include "progman/GroupShortcut.h"
#include "progman/ProgmanGroup.h"
#include "tests/progman/Progman.h"
#include "framework/Scoped.h"
#include <shlobj.h>
#include <shobjidl.h>

using namespace driver;

namespace {

std::mutex g_lock;
std::vector<std::string> g_commands;
bool g_refuse = false;
DWORD g_instance = 0;
HSZ g_topic = nullptr;

HDDEDATA CALLBACK RecorderCallback(UINT type, UINT, HCONV, HSZ topic, HSZ, HDDEDATA data, ULONG_PTR, ULONG_PTR)
{
    if (type == XTYP_CONNECT)
        return reinterpret_cast<HDDEDATA>(::DdeCmpStringHandles(topic, g_topic) == 0);
    if (type != XTYP_EXECUTE)
        return nullptr;
    std::string bytes(::DdeGetData(data, nullptr, 0, 0), '\0');
    ::DdeGetData(data, reinterpret_cast<BYTE*>(&bytes[0]), (DWORD)bytes.size(), 0);
    std::lock_guard<std::mutex> guard(g_lock);
    g_commands.push_back(bytes);
    return reinterpret_cast<HDDEDATA>(g_refuse ? DDE_FNOTPROCESSED : DDE_FACK);
}

// A stand-in for Program Manager on a thread of the test, for the life of
// the object: a DDE server for service and topic "PROGMAN" that records
// every execute (Commands: each as sent, its NUL included) and accepts it,
// or refuses it. Wine's desktop serves "PROGMAN" too, but a connect reaches
// the server registered last first.
struct CRecorder {
    explicit CRecorder(bool refuse = false)
    {
        g_refuse = refuse;
        g_commands.clear();
        CHandle ready(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
        thread = std::thread([&] {
            threadId = ::GetCurrentThreadId();
            ::DdeInitializeA(&g_instance, RecorderCallback, CBF_FAIL_ADVISES | CBF_FAIL_POKES | CBF_FAIL_REQUESTS, 0);
            ::DdeNameService(g_instance, g_topic = ::DdeCreateStringHandleA(g_instance, "PROGMAN", CP_WINANSI), 0,
                             DNS_REGISTER);
            ::SetEvent(ready);
            for (MSG msg; ::GetMessageA(&msg, nullptr, 0, 0) > 0;)
                ::DispatchMessageA(&msg);
            ::DdeUninitialize(g_instance);
        });
        ::WaitForSingleObject(ready, kTimeout);
    }
    ~CRecorder()
    {
        ::PostThreadMessageA(threadId, WM_QUIT, 0, 0);
        thread.join();
    }
    std::vector<std::string> Commands()
    {
        std::lock_guard<std::mutex> guard(g_lock);
        return g_commands;
    }
    DWORD threadId = 0;
    std::thread thread;
};

} // namespace

std::string GroupFolder()
{
    char programs[MAX_PATH] = "";
    ::SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, programs);
    return std::string(programs) + "\\Cobweld";
}

std::string DescribeShortcut(std::string shortcut, const std::string& launcherPath)
{
    if (shortcut.find(':') == std::string::npos) // a trail byte may be a backslash
        shortcut = GroupFolder() + "\\" + shortcut + ".lnk";
    CComInit com;
    CComPtr<IShellLinkA> link;
    CComPtr<IPersistFile> file;
    char target[1024] = "", arguments[1024] = "", directory[1024] = "", icon[1024] = "", header[0x40] = {};
    int index = 0;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.Out())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, file.Out())) || FAILED(file->Load(Widen(shortcut).c_str(), 0)))
        return "";
    link->GetPath(target, sizeof target, nullptr, SLGP_RAWPATH);
    link->GetArguments(arguments, sizeof arguments);
    link->GetWorkingDirectory(directory, sizeof directory);
    link->GetIconLocation(icon, sizeof icon, &index);
    // Wine reports every show command as normal: it is read from the file
    // (ShowCommand at 0x3C).
    std::ifstream(shortcut, std::ios::binary).read(header, sizeof header);
    return (lstrcmpiA(target, launcherPath.c_str()) ? target : "launcher") + std::string(" ") + arguments + "|" +
           directory + "|" + icon + "," + std::to_string(index) + "|" + std::to_string(header[0x3C]);
}

void ProgmanTest::TearDown()
{
    WipeLauncherState();
    char menus[MAX_PATH] = "";
    ::GetEnvironmentVariableA("COBWELD_MENU_DIR", menus, sizeof menus);
    std::error_code error;
    for (const std::string& folder : {GroupFolder(), std::string("Z:") + menus})
        std::filesystem::remove_all(folder, error);
    DeleteTree(HKEY_CURRENT_USER, "Software\\Wine\\MenuFiles"); // the menu builder's record of its files
}

namespace {

struct Item { const char *title, *iconPath; int iconIndex; const char* directory; int runMinimized; };

// Stores these entries; the list loads them.
void Store(const std::vector<Item>& items)
{
    for (size_t i = 0; i < items.size(); ++i)
        WriteStoreEntry((int)i, {items[i].title, "", items[i].directory, items[i].iconPath, "",
                                 (DWORD)items[i].runMinimized, (DWORD)i + 1, (DWORD)items[i].iconIndex});
}

std::string OwnPath() { return BinDir() + "test_progman.exe"; }

// The whole publication with these entry items, each text as sent.
std::vector<std::string> Group(const std::vector<std::string>& items)
{
    std::vector<std::string> texts = {"[DeleteGroup(\"Cobweld\",0)]", "[CreateGroup(\"Cobweld\",0)]",
                                      "[AddItem(\"" + OwnPath() + "\",\"Cobweld\")]"};
    for (size_t i = 0; i < items.size(); ++i)
        texts.push_back("[AddItem(\"" + OwnPath() + " " + std::to_string(i) + "\"," + items[i] + ")]");
    for (std::string& text : texts)
        text += '\0';
    return texts;
}

} // namespace

// Each text is inserted so that it cannot end its field: a title loses its
// double quotes; an icon path or directory is quoted only where needed.
// Double-byte characters stay whole, trail bytes '[' and ']' included.
TEST_F(ProgmanTest, PublishingSendsEveryItemInListOrderAndNoTextBreaksOutOfItsField)
{
    CRecorder recorder;
    {
        CProgramList empty;
        PublishProgmanGroup(empty);
        EXPECT_EQ(empty.m_nGroupState, GROUP_STATE_NONE);
    }
    const std::string kana = FromUtf8(u8"ゲームゾ"), path = "C:\\" + kana;
    Store({{"Editor (work)", "C:\\APPS\\EDIT.EXE", 0, "D:\\WORK", 0}, {"Editor (home)", "C:\\APPS\\EDIT.EXE", 1, "", 1},
           {"x\")][DeleteGroup(\"Main\",0)][AddItem(\"y", "\"C:\\a,b\\I.ICO\"", -3, "D:\\\"[w])", 0},
           {kana.c_str(), (path + "\\G.EXE").c_str(), 0, " D:\\(x) ", 1}});
    CProgramList list;
    PublishProgmanGroup(list);
    PublishProgmanGroup(list);
    std::vector<std::string> expected = Group({}), once = Group(
        {"\"Editor (work)\",C:\\APPS\\EDIT.EXE,0,,,D:\\WORK,", "\"Editor (home)\",C:\\APPS\\EDIT.EXE,1,,,,,1",
         "\"x')][DeleteGroup('Main',0)][AddItem('y\",\"C:\\a,b\\I.ICO\",-3,,,\"D:\\[w])\",",
         "\"" + kana + "\"," + path + "\\G.EXE,0,,,\" D:\\(x) \",,1"});
    for (int twice = 0; twice < 2; ++twice)
        expected.insert(expected.end(), once.begin(), once.end());
    EXPECT_EQ(recorder.Commands(), expected);
}

// The close waits for the shell for a moment; the window whose close it is
// keeps answering (another launcher's probe) and painting meanwhile.
TEST_F(ProgmanTest, WithoutProgramManagerNothingIsSentAndTheWindowStaysResponsive)
{
    Store({{"A", "A.EXE", 0, "", 0}});
    CProgramList list;
    HWND window = ::CreateWindowExA(0, "STATIC", "Cobweld", WS_POPUP | WS_VISIBLE, 0, 0, 99, 9, 0, 0, 0, 0);
    std::atomic<bool> done{false};
    int sent = 0, answered = 0;
    std::thread prober([&] { // the last one may come after the publication: it counts
        for (DWORD_PTR result; !done; ++sent) {
            ::InvalidateRect(window, nullptr, TRUE);
            ::Sleep(150);
            answered += (::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 300, &result) &&
                         !::GetUpdateRect(window, nullptr, FALSE)) || done;
        }
    });
    DWORD start = ::GetTickCount();
    PublishProgmanGroupTo(list, "CobweldTestNoSuchService");
    done = true;
    prober.join();
    ::DestroyWindow(window);
    EXPECT_LT(::GetTickCount() - start, 8000u);
    EXPECT_TRUE(sent >= 2 && answered == sent) << answered << " of " << sent;
    EXPECT_FALSE(DdeClientIsConnected() || DdeClientExecute("[CreateGroup(\"Cobweld\",0)]"));
    EXPECT_EQ(list.m_nGroupState, GROUP_STATE_NONE);
    EXPECT_EQ(::GetFileAttributesA(GroupFolder().c_str()), INVALID_FILE_ATTRIBUTES);
}

// Items the shell refuses become shortcuts in the group's folder (where it
// exists), each with a file of its own: the launcher's own item is never
// replaced, titles that name one file are numbered, and one that names a
// device ("NUL .txt") gets a '_' in front. A shortcut saved onto a device
// is reported as not written. Wine's menu builder makes a Linux menu item of
// each that starts it.
TEST_F(ProgmanTest, RefusedItemsBecomeShortcutsEachWithAFileOfItsOwnAndALinuxMenuItem)
{
    CRecorder recorder(true);
    Store({{"Tool", "C:\\windows\\regedit.exe", 0, "C:\\windows", 1}, {"Cobweld", "", 0, "", 0},
           {"cobweld", "", 0, "", 0}, {"A.", "", 0, "", 0}, {"A", "", 0, "", 0}, {"a/b", "", 0, "", 0},
           {"con", "", 0, "", 0}, {"_CON", "", 0, "", 0}, {"NUL .txt", "", 0, "", 0}, {"CON  .a", "", 0, "", 0},
           {"CONIN$", "", 0, "", 0}, {"CONOUT$", "", 0, "", 0}});
    CProgramList list;
    PublishProgmanGroup(list);
    EXPECT_EQ(::GetFileAttributesA(GroupFolder().c_str()), INVALID_FILE_ATTRIBUTES); // no folder made for a shell
    ASSERT_TRUE(::CreateDirectoryA(GroupFolder().c_str(), nullptr));
    PublishProgmanGroup(list);
    EXPECT_FALSE(WriteGroupShortcut(OwnPath(), CGroupItem(), L"NUL .txt.lnk")); // Wine's save succeeds on the device
    const char* const names[] = {"Cobweld", "Tool", "Cobweld (2)", "cobweld (3)", "A", "A (2)", "a_b", "_con",
                                 "_CON (2)", "_NUL .txt", "_CON  .a", "_CONIN$", "_CONOUT$"};
    EXPECT_EQ(DescribeShortcut("Tool", OwnPath()), "launcher 0|C:\\windows|C:\\windows\\regedit.exe,0|7");
    char menus[MAX_PATH] = "";
    ::GetEnvironmentVariableA("COBWELD_MENU_DIR", menus, sizeof menus);
    for (int i = 0; i < 13; ++i) {
        std::string arguments = i ? " " + std::to_string(i - 1) + "|" : " |";
        EXPECT_EQ(DescribeShortcut(names[i], OwnPath()).substr(0, 8 + arguments.size()), "launcher" + arguments);
        // Its Linux menu item starts the shortcut.
        std::string desktop = std::string("Z:") + menus + "/data/applications/wine/Programs/Cobweld/" + names[i] + ".desktop";
        EXPECT_TRUE(WaitUntil([&] {
            std::ifstream file(desktop);
            std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
            return text.find("Exec=") != std::string::npos && text.find(".lnk") != std::string::npos;
        })) << desktop;
    }
}
