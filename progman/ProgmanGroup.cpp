#include "progman/ProgmanGroup.h"
#include <vector>
#include "framework/ResponsiveWait.h"
#include "framework/Scoped.h"
#include "framework/Text.h"
#include "framework/WinApp.h"
#include "progman/DdeClient.h"
#include "progman/GroupShortcut.h"
#include "progman/ProgmanCommands.h"
#include "resources/resource.h"

namespace {

const char kProgmanService[] = "PROGMAN";
const char kProgmanTopic[] = "PROGMAN";
const char kCaption[] = "Cobweld";

// A shell whose desktop has only just started may not answer the first
// connect yet.
const DWORD kConnectPatience = 2000;
const DWORD kConnectRetryDelay = 200;

// The launcher's path, whole: a cut path would give items that start nothing.
std::string LauncherPath()
{
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        DWORD size = static_cast<DWORD>(buffer.size());
        DWORD length = ::GetModuleFileNameA(AfxGetInstanceHandle(), buffer.data(), size);
        if (length == 0)
            return std::string();
        if (length < size)
            return std::string(buffer.data(), length);
        if (size >= 65536)
            return std::string();
        buffer.resize(static_cast<size_t>(size) * 2);
    }
}

bool ConnectPatiently(const char* service)
{
    DWORD start = ::GetTickCount();
    for (;;) {
        if (DdeClientConnect(service, kProgmanTopic))
            return true;
        if (::GetTickCount() - start >= kConnectPatience)
            return false;
        // The window whose close publishes the group keeps painting and
        // answering another launcher's probe meanwhile.
        WaitResponsive(nullptr, kConnectRetryDelay);
    }
}

void AddItem(const std::string& command, const std::string& launcherPath, const CGroupItem& item,
             const std::wstring& fileName)
{
    if (!DdeClientExecute(command.c_str()) && DdeClientLastRefused())
        WriteGroupShortcut(launcherPath, item, fileName);
}

CGroupItem LauncherItem()
{
    CGroupItem item;
    item.strTitle = kProgmanGroupName;
    return item;
}

CGroupItem EntryItem(int index, const CProgramEntry& entry)
{
    CGroupItem item;
    item.strArguments = std::to_string(index);
    item.strTitle = FieldText(entry.m_szTitle);
    item.strIconPath = FieldText(entry.m_szIconPath);
    item.nIconIndex = entry.m_nIconIndex;
    item.strDirectory = FieldText(entry.m_szDirectory);
    item.bRunMinimized = entry.m_bRunMinimized != 0;
    return item;
}

}

void PublishProgmanGroup(CProgramList& list)
{
    PublishProgmanGroupTo(list, kProgmanService);
}

void PublishProgmanGroupTo(CProgramList& list, const char* service)
{
    std::string launcherPath = LauncherPath();
    DdeClientInit();
    ConnectPatiently(service);
    // No result is examined: each command is tried whatever became of the
    // ones before it.
    DdeClientExecute(kDeleteGroupCommand);
    DdeClientExecute(kCreateGroupCommand);
    CShortcutNames names;
    AddItem(BuildLauncherItemCommand(launcherPath), launcherPath, LauncherItem(), L"Cobweld.lnk");
    int count = list.GetCount();
    for (int i = 0; i < count; ++i) {
        CGroupItem item = EntryItem(i, *list.GetAt(i));
        AddItem(BuildEntryItemCommand(launcherPath, i, *list.GetAt(i)), launcherPath, item,
                names.Take(item.strTitle));
    }
    list.SetGroupState(GROUP_STATE_NONE);
}

GroupStepAction DecideCloseGroupStep(int groupState, bool groupExists)
{
    if (groupState == GROUP_STATE_NONE)
        return GROUP_STEP_NOTHING;
    if (groupState == GROUP_STATE_FIRST_RUN)
        return GROUP_STEP_NOTIFY_AND_PUBLISH;
    return groupExists ? GROUP_STEP_ASK_AND_PUBLISH : GROUP_STEP_NOTHING;
}

bool ProgmanGroupExists()
{
    CRegKey key;
    return key.Open(HKEY_CURRENT_USER, "UNICODE Program Groups\\Cobweld") == ERROR_SUCCESS || GroupFolderExists();
}

void RunCloseGroupStep(const CWnd& mainWindow, CProgramList& list)
{
    int state = list.m_nGroupState;
    bool groupExists = false;
    if (state != GROUP_STATE_NONE && state != GROUP_STATE_FIRST_RUN)
        groupExists = ProgmanGroupExists();
    switch (DecideCloseGroupStep(state, groupExists)) {
    case GROUP_STEP_NOTIFY_AND_PUBLISH:
        mainWindow.MessageBox(LoadStr(IDS_GROUP_CREATE_NOTICE).c_str(), kCaption,
                              MB_OK | MB_ICONINFORMATION);
        PublishProgmanGroup(list);
        break;
    case GROUP_STEP_ASK_AND_PUBLISH:
        if (mainWindow.MessageBox(LoadStr(IDS_GROUP_UPDATE_QUESTION).c_str(), kCaption,
                                  MB_YESNO | MB_ICONQUESTION) == IDYES)
            PublishProgmanGroup(list);
        break;
    case GROUP_STEP_NOTHING:
        break;
    }
}
