// Shared pieces of the Program Manager tests: a recording Program Manager,
// the group's Start-menu folder and its shortcuts.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include "tests/driver/Driver.h"

// <Start-menu Programs>\Cobweld, in the ANSI code page.
std::string GroupFolder();
// "<target> <arguments>|<directory>|<icon>,<index>|<show command>" of the
// shortcut (a full path, or a name in the group's folder), the target written
// "launcher" when it is launcherPath; "" when there is no such shortcut.
std::string DescribeShortcut(std::string shortcut, const std::string& launcherPath);

// The store, the group's folder and the Linux menu files (the menu builder
// writes them into the folder COBWELD_MENU_DIR) are emptied around each test.
class ProgmanTest : public ::testing::Test {
protected:
    void SetUp() override { TearDown(); }
    void TearDown() override;
};
