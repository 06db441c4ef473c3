// The group as today's shells keep it: a folder "Cobweld" in the Start-menu
// Programs folder holding one shortcut per item. Used for the items the shell
// refuses over DDE (Wine's service takes no command-line arguments) and to
// learn whether the group exists.
#pragma once
#include <windows.h>
#include <string>

// One item of the group as a shortcut: it starts the launcher with arguments.
struct CGroupItem {
    std::string strArguments;   // empty for the launcher's own item
    std::string strTitle;
    std::string strIconPath;    // empty: the launcher's own icon
    int nIconIndex = 0;
    std::string strDirectory;   // empty: none
    BOOL bRunMinimized = FALSE;
};

// <Start-menu Programs>\Cobweld; empty when the Programs folder is unknown.
std::wstring GroupFolderPath();
BOOL GroupFolderExists();

// "<title>.lnk", with the characters a file name cannot hold (control
// characters and * / : < > ? \ | ") replaced by '_', as the shell names the
// items it adds.
std::wstring ShortcutFileName(const std::string& title);

// Writes the item's shortcut into the group's folder. Only where that folder
// exists: a shell that keeps its groups elsewhere gets no stray folder.
// TRUE when the shortcut was written.
BOOL WriteGroupShortcut(const std::string& launcherPath, const CGroupItem& item);
