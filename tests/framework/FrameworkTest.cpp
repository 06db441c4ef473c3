#include <gtest/gtest.h>
#include "framework/Text.h"
#include "framework/WinApp.h"

TEST(CommandLine, SkipsTheProgramNamePlainOrQuotedAndTheBlanksAfterIt)
{
    for (const char* line : {"COBWELD.EXE   2", "\"C:\\Program Files\\COBWELD.EXE\" 2"})
        EXPECT_STREQ("2", AfxSkipProgramName(line)) << line;
    for (const char* line : {"COBWELD.EXE", "\"C:\\a b\\COBWELD.EXE\""})
        EXPECT_STREQ("", AfxSkipProgramName(line)) << line;
}

TEST(Text, ConvertsToShiftJisAndCutsFieldsWithoutSplittingADoubleByteCharacter)
{
    // "ソ" is 0x83 0x5C in Shift JIS: a trail byte equal to a backslash.
    EXPECT_EQ(std::string("a\x83\x5C\x83\x5C"), FromUtf8(u8"aソソ"));
    char field[4];
    CopyField(field, sizeof field, "abcdef");
    EXPECT_STREQ("abc", field);
    CopyField(field, sizeof field, FromUtf8(u8"aソソ").c_str());
    EXPECT_STREQ("a\x83\x5C", field);
}
