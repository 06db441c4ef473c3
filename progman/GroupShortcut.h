// The group as today's shells keep it: a folder "Cobweld" in the Start-menu
// Programs folder holding one shortcut per item. Used for the items the shell
// refuses over DDE (Wine's service takes no command-line arguments) and to
// learn whether the group exists.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

// One item of the group as a shortcut: it starts the launcher with arguments.
struct CGroupItem {
    std::string strArguments;   // empty for the launcher's own item
    std::string strTitle;
    std::string strIconPath;    // empty: the launcher's own icon
    int nIconIndex = 0;
    std::string strDirectory;   // empty: none
    bool bRunMinimized = false;
};

// The file names of one publication's shortcuts. Every item gets a file of
// its own: a title is made a file name (framework/Text.h), and one that is
// already taken, compared without case as file names are, is numbered
// " (2)", " (3)"... The launcher's own item, "Cobweld", is taken first.
class CShortcutNames {
public:
    CShortcutNames();
    // "<name>.lnk" for title, never given out before.
    std::wstring Take(const std::string& title);

private:
    bool Taken(const std::wstring& name) const;
    std::vector<std::wstring> m_taken;
};

// <Start-menu Programs>\Cobweld; empty when the Programs folder is unknown.
std::wstring GroupFolderPath();
bool GroupFolderExists();

// Writes the item's shortcut as fileName into the group's folder. Only where
// that folder exists: a shell that keeps its groups elsewhere gets no stray
// folder. True only when the shortcut is a file in that folder afterwards
// (a name the file system takes for a device gives false).
bool WriteGroupShortcut(const std::string& launcherPath, const CGroupItem& item, const std::wstring& fileName);
