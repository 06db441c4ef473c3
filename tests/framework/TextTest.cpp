#include <gtest/gtest.h>
#include <windows.h>
#include "framework/Text.h"

TEST(Text, RunsWithTheJapaneseCodePage)
{
    EXPECT_EQ(GetACP(), 932u);
}

TEST(Text, ConvertsUtf8SourcesToShiftJis)
{
    // "ソ" is 0x83 0x5C in Shift JIS: a trail byte equal to a backslash.
    EXPECT_EQ(FromUtf8(u8"ソ"), std::string("\x83\x5C"));
}

TEST(Text, CopyFieldCutsAtTheCapacityWithoutSplittingADoubleByteCharacter)
{
    char field[4];
    CopyField(field, sizeof field, "abcdef");
    EXPECT_STREQ(field, "abc");
    // "aソソ": a, then two double-byte characters; only one fits after 'a'.
    CopyField(field, sizeof field, "a\x83\x5C\x83\x5C");
    EXPECT_STREQ(field, "a\x83\x5C");
}
