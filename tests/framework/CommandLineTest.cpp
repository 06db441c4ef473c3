#include <gtest/gtest.h>
#include "framework/WinApp.h"

TEST(CommandLine, SkipsAProgramNameUpToTheFirstBlankAndTheBlanksAfterIt)
{
    EXPECT_STREQ(AfxSkipProgramName("COBWELD.EXE   2"), "2");
    EXPECT_STREQ(AfxSkipProgramName("COBWELD.EXE"), "");
}

TEST(CommandLine, SkipsAQuotedProgramNameWithBlanksInIt)
{
    EXPECT_STREQ(AfxSkipProgramName("\"C:\\Program Files\\COBWELD.EXE\" 7"), "7");
    EXPECT_STREQ(AfxSkipProgramName("\"C:\\a b\\COBWELD.EXE\""), "");
}
