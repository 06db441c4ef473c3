// The string table reaches the program as the Shift JIS bytes of its texts.
#include <gtest/gtest.h>
#include "framework/Text.h"
#include "resources/resource.h"

namespace {

struct Expected {
    UINT id;
    const char* utf8;
};

const Expected kStrings[] = {
    {IDS_ABOUTBOX, u8"CobWeldのバージョン情報(&A)..."},
    {IDS_CREATE_GROUP, u8"Cobweldグループの作成(&G)"},
    {IDS_CONFIRM_ABANDON_WAIT, u8"子プロセスを待機中です。強制終了させますか？"},
    {IDS_LAUNCH_FAILED, u8"プロセスの起動に失敗しました。"},
    {IDS_WAITING_SUFFIX, u8" (待機中)"},
    {IDS_CAPTURE_FAILED, u8"レジストリの取得に失敗しました。"},
    {IDS_CONFIRM_REACQUIRE, u8" のレジストリを取得しなおししますか？"},
    {IDS_CONFIRM_DELETE, u8" を削除します。"},
    {IDS_ALREADY_RUNNING, u8"Cobweldが既に起動されています。Cobweldは多重起動することができません。"},
    {IDS_RESTORE_FAILED, u8"レジストリの復元に失敗しました。プログラムの起動は続行します。"},
    {IDS_ENUM_FAILED, u8"レジストリの列挙に失敗しました。"},
    {IDS_GROUP_CREATE_NOTICE, u8"プログラムマネージャにCobweldグループを作成します。"},
    {IDS_GROUP_UPDATE_QUESTION, u8"プログラムマネージャのCobweldグループを更新しますか？"},
    {IDS_PROGRAM_FILTER, u8"ﾌﾟﾛｸﾞﾗﾑ|*.exe||"},
    {IDS_PROGRAM_BROWSE_TITLE, u8"プログラムの参照"},
    {IDS_ICON_FILTER, u8"ｱｲｺﾝﾌｧｲﾙ|*.ico;*.exe;*.dll||"},
    {IDS_ICON_BROWSE_TITLE, u8"アイコンの参照"},
};

} // namespace

TEST(StringTable, EveryTextComesOutAsItsShiftJisBytes)
{
    ASSERT_EQ(932u, ::GetACP());
    for (const Expected& s : kStrings)
        EXPECT_EQ(FromUtf8(s.utf8), LoadStr(s.id)) << "string " << s.id;
}

TEST(StringTable, AppendedTextsKeepTheirLeadingBlank)
{
    // These follow an entry's title or key name directly, so the blank is
    // the only separator the user sees.
    for (UINT id : {IDS_WAITING_SUFFIX, IDS_CONFIRM_REACQUIRE, IDS_CONFIRM_DELETE}) {
        std::string text = LoadStr(id);
        ASSERT_FALSE(text.empty()) << id;
        EXPECT_EQ(' ', text[0]) << id;
        EXPECT_NE(' ', text[1]) << id;
    }
}

TEST(StringTable, FileFiltersStayHalfWidthAndEndWithTwoBars)
{
    // Half-width katakana are one byte each in code page 932.
    std::string program = LoadStr(IDS_PROGRAM_FILTER);
    EXPECT_EQ(std::string("\xCC\xDF\xDB\xB8\xDE\xD7\xD1|*.exe||"), program);
    std::string icon = LoadStr(IDS_ICON_FILTER);
    EXPECT_EQ(std::string("\xB1\xB2\xBA\xDD\xCC\xA7\xB2\xD9|*.ico;*.exe;*.dll||"), icon);
}

TEST(StringTable, HelpTitleIsNotEmptyAndNamesTheProgram)
{
    EXPECT_EQ(0u, LoadStr(IDS_HELP_TITLE).rfind("Cobweld", 0));
}
