#include <gtest/gtest.h>
#include <algorithm>
#include <cwchar>
#include <vector>
#include <windows.h>
#include "framework/Text.h"
#include "model/ProgramEntry.h"
#include "model/ProgramList.h"
#include "progman/GroupShortcut.h"
#include "progman/ProgmanCommands.h"
#include "progman/ProgmanGroup.h"

namespace {

const std::string kLauncher = "C:\\APPS\\LAUNCH.EXE";

void Fill(CProgramEntry& entry, const char* title, const char* iconPath, int iconIndex,
          const char* directory, int runMinimized)
{
    CopyField(entry.m_szTitle, sizeof entry.m_szTitle, title);
    CopyField(entry.m_szIconPath, sizeof entry.m_szIconPath, iconPath);
    CopyField(entry.m_szDirectory, sizeof entry.m_szDirectory, directory);
    entry.m_nIconIndex = iconIndex;
    entry.m_bRunMinimized = runMinimized;
}

std::wstring Wide(const std::string& ansi)
{
    wchar_t buffer[1024];
    int length = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), buffer, 1024);
    return std::wstring(buffer, static_cast<size_t>(length));
}

struct CParsedCommand {
    std::wstring strOpcode;
    std::vector<std::wstring> arrArgs;
};

// Reads command text the way Program Manager's DDE service does (on the text
// converted from the ANSI code page): [opcode(arg,arg,...)] repeated; a
// quoted argument runs to the next '"', an unquoted one ends at , ( ) [ ]
// and loses its outer blanks. Empty when the text does not parse.
std::vector<CParsedCommand> ParseCommands(const std::string& ansi)
{
    std::wstring text = Wide(ansi);
    const wchar_t* p = text.c_str();
    std::vector<CParsedCommand> commands;
    auto skipBlanks = [&p] { while (*p == L' ') ++p; };
    skipBlanks();
    if (*p != L'[')
        return {};
    while (*p == L'[') {
        CParsedCommand command;
        ++p;
        skipBlanks();
        const wchar_t* end = std::wcspbrk(p, L" ,()[]\"");
        if (!end)
            return {};
        command.strOpcode.assign(p, end);
        p = end;
        skipBlanks();
        if (*p == L'(') {
            ++p;
            while (*p != L')') {
                skipBlanks();
                if (*p == L'"') {
                    ++p;
                    end = std::wcschr(p, L'"');
                    if (!end)
                        return {};
                    command.arrArgs.emplace_back(p, end);
                    p = end + 1;
                } else {
                    end = std::wcspbrk(p, L",()[]");
                    if (!end)
                        return {};
                    const wchar_t* last = end;
                    while (last > p && last[-1] == L' ')
                        --last;
                    command.arrArgs.emplace_back(p, last);
                    p = end;
                }
                skipBlanks();
                if (*p == L',')
                    ++p;
                else if (*p != L')')
                    return {};
            }
            ++p;
            skipBlanks();
        }
        if (*p != L']')
            return {};
        ++p;
        skipBlanks();
        commands.push_back(command);
    }
    return *p ? std::vector<CParsedCommand>() : commands;
}

std::string EntryCommand(int index, const char* title, const char* iconPath, int iconIndex,
                         const char* directory, int runMinimized)
{
    CProgramEntry entry;
    Fill(entry, title, iconPath, iconIndex, directory, runMinimized);
    return BuildEntryItemCommand(kLauncher, index, entry);
}

}

TEST(ProgmanCommands, FixedCommandsAndTheLauncherItemAreTheDocumentedTexts)
{
    EXPECT_STREQ(kDeleteGroupCommand, "[DeleteGroup(\"Cobweld\",0)]");
    EXPECT_STREQ(kCreateGroupCommand, "[CreateGroup(\"Cobweld\",0)]");
    EXPECT_EQ(BuildLauncherItemCommand(kLauncher), "[AddItem(\"C:\\APPS\\LAUNCH.EXE\",\"Cobweld\")]");
}

TEST(ProgmanCommands, NegativeIconIndexKeepsItsSignAndLargeIndexesAreWhole)
{
    EXPECT_EQ(EntryCommand(12, "T", "I.DLL", -7, "", 0),
              "[AddItem(\"C:\\APPS\\LAUNCH.EXE 12\",\"T\",I.DLL,-7,,,,)]");
    EXPECT_EQ(EntryCommand(3, "T", "I.DLL", -2147483647 - 1, "", 0),
              "[AddItem(\"C:\\APPS\\LAUNCH.EXE 3\",\"T\",I.DLL,-2147483648,,,,)]");
}

TEST(ProgmanCommands, PathsTheSyntaxCarriesAreLeftUnquoted)
{
    EXPECT_EQ(PositionalArgument("C:\\Program Files\\App\\APP.EXE"), "C:\\Program Files\\App\\APP.EXE");
    EXPECT_EQ(PositionalArgument(""), "");
    EXPECT_EQ(PositionalArgument("D:\\a;b'c&d"), "D:\\a;b'c&d");
}

TEST(ProgmanCommands, PathsWithSeparatorsOrOuterBlanksAreQuoted)
{
    EXPECT_EQ(PositionalArgument("C:\\Old, new\\APP.EXE"), "\"C:\\Old, new\\APP.EXE\"");
    EXPECT_EQ(PositionalArgument("C:\\Apps (x86)\\A.EXE"), "\"C:\\Apps (x86)\\A.EXE\"");
    EXPECT_EQ(PositionalArgument("D:\\[work]"), "\"D:\\[work]\"");
    EXPECT_EQ(PositionalArgument(" D:\\WORK "), "\" D:\\WORK \"");
    // A path typed with quotes around it keeps its characters, once quoted.
    EXPECT_EQ(PositionalArgument("\"C:\\A B\\A.EXE\""), "\"C:\\A B\\A.EXE\"");
    EXPECT_EQ(EntryCommand(2, "T", "C:\\a,b\\I.ICO", 4, "E:\\x]y", 1),
              "[AddItem(\"C:\\APPS\\LAUNCH.EXE 2\",\"T\",\"C:\\a,b\\I.ICO\",4,,,\"E:\\x]y\",,1)]");
}

TEST(ProgmanCommands, DoubleByteCharactersWithBracketOrBackslashTrailBytesAreKept)
{
    // "ゲーム" holds 0x81 0x5B ('[' as trail byte), "ゾ" 0x83 0x5D (']'), "ソ" 0x83 0x5C ('\').
    std::string game = FromUtf8(u8"ゲーム");
    std::string zo = FromUtf8(u8"ゾソ");
    ASSERT_NE(game.find('\x5B'), std::string::npos);
    std::string folder = "D:\\" + game + "\\" + zo;
    EXPECT_EQ(PositionalArgument(folder.c_str()), folder);
    EXPECT_EQ(QuotedArgument((game + zo).c_str()), game + zo);
    EXPECT_EQ(EntryCommand(0, (game + zo).c_str(), (folder + "\\G.EXE").c_str(), 0, folder.c_str(), 0),
              "[AddItem(\"C:\\APPS\\LAUNCH.EXE 0\",\"" + game + zo + "\"," + folder + "\\G.EXE,0,,," +
                  folder + ",)]");
}

TEST(ProgmanCommands, EveryEntryItemReadsAsOneAddItemWithItsFieldsIntact)
{
    struct {
        const char* title;
        const char* iconPath;
        const char* directory;
    } cases[] = {
        {"Editor (work)", "C:\\APPS\\EDIT.EXE", "D:\\WORK"},
        {"x\")][DeleteGroup(\"Main\",0)][AddItem(\"y", "C:\\a,b)]\\I.ICO", "D:\\[w]"},
        {"]\"[,", "  C:\\lead and trail  ", "E:\\(x), [y]"},
        {"\"", "C:\\\"quoted\"\\I.ICO", "\""},
    };
    for (const auto& c : cases) {
        std::string command = EntryCommand(5, c.title, c.iconPath, -2, c.directory, 1);
        std::vector<CParsedCommand> parsed = ParseCommands(command);
        ASSERT_EQ(parsed.size(), 1u) << command;
        EXPECT_EQ(parsed[0].strOpcode, L"AddItem");
        ASSERT_EQ(parsed[0].arrArgs.size(), 9u) << command;
        EXPECT_EQ(parsed[0].arrArgs[0], Wide(kLauncher + " 5"));
        EXPECT_EQ(parsed[0].arrArgs[1], Wide(QuotedArgument(c.title)));
        std::string icon = c.iconPath, directory = c.directory;
        icon.erase(std::remove(icon.begin(), icon.end(), '"'), icon.end());
        directory.erase(std::remove(directory.begin(), directory.end(), '"'), directory.end());
        EXPECT_EQ(parsed[0].arrArgs[2], Wide(icon)) << command;
        EXPECT_EQ(parsed[0].arrArgs[3], L"-2");
        EXPECT_EQ(parsed[0].arrArgs[6], Wide(directory)) << command;
        EXPECT_EQ(parsed[0].arrArgs[8], L"1");
    }
    // Unquoted double-byte paths whose trail bytes are '[' and ']'.
    std::string folder = FromUtf8(u8"D:\\ゲームゾ");
    std::vector<CParsedCommand> parsed = ParseCommands(EntryCommand(0, "T", folder.c_str(), 0, folder.c_str(), 0));
    ASSERT_EQ(parsed.size(), 1u);
    ASSERT_EQ(parsed[0].arrArgs.size(), 7u);
    EXPECT_EQ(parsed[0].arrArgs[2], L"D:\\\u30b2\u30fc\u30e0\u30be");
    EXPECT_EQ(parsed[0].arrArgs[6], parsed[0].arrArgs[2]);
}

TEST(ProgmanShortcutName, CharactersFileNamesCannotHoldBecomeUnderscores)
{
    EXPECT_EQ(ShortcutFileName("Editor (work)"), L"Editor (work).lnk");
    EXPECT_EQ(ShortcutFileName("a*b/c:d<e>f?g\\h|i\"j\tk"), L"a_b_c_d_e_f_g_h_i_j_k.lnk");
    // Converted as whole characters: the trail byte 0x5C of "ソ" is no backslash.
    EXPECT_EQ(ShortcutFileName(FromUtf8(u8"ソフト")), L"\u30bd\u30d5\u30c8.lnk");
}

TEST(CloseGroupStepDecision, NothingToDoDoesNothing)
{
    EXPECT_EQ(DecideCloseGroupStep(GROUP_STATE_NONE, FALSE), GROUP_STEP_NOTHING);
    EXPECT_EQ(DecideCloseGroupStep(GROUP_STATE_NONE, TRUE), GROUP_STEP_NOTHING);
}

TEST(CloseGroupStepDecision, FirstRunAlwaysNotifiesAndPublishes)
{
    EXPECT_EQ(DecideCloseGroupStep(GROUP_STATE_FIRST_RUN, FALSE), GROUP_STEP_NOTIFY_AND_PUBLISH);
    EXPECT_EQ(DecideCloseGroupStep(GROUP_STATE_FIRST_RUN, TRUE), GROUP_STEP_NOTIFY_AND_PUBLISH);
}

TEST(CloseGroupStepDecision, AChangedListAsksOnlyWhenTheGroupExists)
{
    EXPECT_EQ(DecideCloseGroupStep(GROUP_STATE_CHANGED, TRUE), GROUP_STEP_ASK_AND_PUBLISH);
    EXPECT_EQ(DecideCloseGroupStep(GROUP_STATE_CHANGED, FALSE), GROUP_STEP_NOTHING);
    // Any other value counts as a changed list.
    EXPECT_EQ(DecideCloseGroupStep(7, TRUE), GROUP_STEP_ASK_AND_PUBLISH);
}
