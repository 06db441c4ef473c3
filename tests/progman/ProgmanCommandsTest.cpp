// Shortcut file names made from entry titles.
#include <gtest/gtest.h>
#include "framework/Text.h"
#include "progman/GroupShortcut.h"

TEST(ProgmanShortcutName, CharactersFileNamesCannotHoldBecomeUnderscores)
{
    EXPECT_EQ(ShortcutFileName("a*b/c:d<e>f?g\\h|i\"j\tk (l)"), L"a_b_c_d_e_f_g_h_i_j_k (l).lnk");
    // Converted as whole characters: the trail byte 0x5C of "ソ" is no backslash.
    EXPECT_EQ(ShortcutFileName(FromUtf8(u8"ソフト")), L"\u30bd\u30d5\u30c8.lnk");
}
