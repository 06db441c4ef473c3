// The dialog templates: what the dialog code relies on (ids in tab order,
// the list boxes' owner-draw styles, captions in Shift JIS) and that each
// template builds a dialog under this system.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "framework/Text.h"
#include "resources/resource.h"

namespace {

struct Item {
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;
    std::wstring className;  // empty when given by atom
    WORD classAtom = 0;
    std::string text;        // in the ANSI code page
    WORD textOrdinal = 0;
};

struct Template {
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string caption;
    WORD pointSize = 0;
    std::string font;
    std::vector<Item> items;

    const Item* Find(int id) const
    {
        for (const Item& item : items)
            if (item.id == id)
                return &item;
        return nullptr;
    }
    std::vector<int> Ids() const
    {
        std::vector<int> ids;
        for (const Item& item : items)
            ids.push_back(item.id);
        return ids;
    }
};

std::string Ansi(const std::wstring& wide)
{
    int size = ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, &text[0], size, nullptr, nullptr);
    text.resize(static_cast<size_t>(size) - 1);
    return text;
}

// A name or ordinal field of a template; moves p past it.
std::wstring ReadSzOrOrd(const WORD*& p, WORD* ordinal)
{
    if (*p == 0xFFFF) {
        if (ordinal)
            *ordinal = p[1];
        p += 2;
        return std::wstring();
    }
    std::wstring s(reinterpret_cast<const wchar_t*>(p));
    p += s.size() + 1;
    return s;
}

Template LoadTemplate(UINT id)
{
    Template t;
    HMODULE module = ::GetModuleHandleA(nullptr);
    HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(id), reinterpret_cast<LPCSTR>(RT_DIALOG));
    if (!found)
        return t;
    const auto* dlg = static_cast<const DLGTEMPLATE*>(::LockResource(::LoadResource(module, found)));
    t.style = dlg->style;
    t.x = dlg->x;
    t.y = dlg->y;
    t.cx = dlg->cx;
    t.cy = dlg->cy;
    const WORD* p = reinterpret_cast<const WORD*>(dlg + 1);
    ReadSzOrOrd(p, nullptr);  // menu
    ReadSzOrOrd(p, nullptr);  // class
    t.caption = Ansi(ReadSzOrOrd(p, nullptr));
    if (t.style & DS_SETFONT) {
        t.pointSize = *p++;
        t.font = Ansi(ReadSzOrOrd(p, nullptr));
    }
    for (int i = 0; i < dlg->cdit; ++i) {
        p = reinterpret_cast<const WORD*>((reinterpret_cast<ULONG_PTR>(p) + 3) & ~ULONG_PTR(3));
        const auto* raw = reinterpret_cast<const DLGITEMTEMPLATE*>(p);
        Item item;
        item.style = raw->style;
        item.x = raw->x;
        item.y = raw->y;
        item.cx = raw->cx;
        item.cy = raw->cy;
        item.id = raw->id == 0xFFFF ? -1 : raw->id;
        p = reinterpret_cast<const WORD*>(raw + 1);
        item.className = ReadSzOrOrd(p, &item.classAtom);
        item.text = Ansi(ReadSzOrOrd(p, &item.textOrdinal));
        WORD extra = *p++;
        p = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(p) + extra);
        t.items.push_back(item);
    }
    return t;
}

const WORD kButton = 0x80, kEdit = 0x81, kStatic = 0x82, kComboBox = 0x85;

bool IsClass(const Item& item, WORD atom, const wchar_t* name)
{
    return item.classAtom == atom || _wcsicmp(item.className.c_str(), name) == 0;
}

} // namespace

TEST(DialogTemplates, MainWindowHasItsControlsInTabOrderWithReacquireLast)
{
    Template t = LoadTemplate(IDD_MAIN);
    EXPECT_EQ(FromUtf8(u8"Cobweld"), t.caption);
    EXPECT_EQ(262, t.cx);
    EXPECT_EQ(145, t.cy);
    EXPECT_EQ(8, t.pointSize);
    EXPECT_EQ("System", t.font);
    EXPECT_EQ(DWORD(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME),
              t.style & ~DWORD(DS_SETFONT));
    std::vector<int> order = {-1, IDC_PROGRAM_LIST, IDOK, ID_HELP, IDC_PROPERTIES, IDC_DELETE,
                              IDC_NEW, IDC_UP, IDC_DOWN, IDC_EXIT, IDC_REACQUIRE};
    EXPECT_EQ(order, t.Ids());

    const Item* reacquire = t.Find(IDC_REACQUIRE);
    ASSERT_NE(nullptr, reacquire);
    EXPECT_EQ(FromUtf8(u8"ﾚｼﾞｽﾄﾘ再取得(&R)"), reacquire->text);
    EXPECT_EQ(190, reacquire->x);
    EXPECT_EQ(56, reacquire->y);
    const Item* launch = t.Find(IDOK);
    ASSERT_NE(nullptr, launch);
    EXPECT_EQ(DWORD(BS_DEFPUSHBUTTON), launch->style & 0xF);
    EXPECT_EQ(FromUtf8(u8"起動"), launch->text);
}

TEST(DialogTemplates, MainListBoxIsOwnerDrawnWithoutStringsOrSorting)
{
    // The rows carry entry pointers as item data: sorting or string storage
    // would break the row-to-entry mapping.
    Template t = LoadTemplate(IDD_MAIN);
    const Item* list = t.Find(IDC_PROGRAM_LIST);
    ASSERT_NE(nullptr, list);
    EXPECT_EQ(DWORD(WS_CHILD | WS_VISIBLE | LBS_OWNERDRAWFIXED | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT |
                    WS_VSCROLL | WS_BORDER | WS_TABSTOP | WS_GROUP),
              list->style);
    EXPECT_EQ(6, list->x);
    EXPECT_EQ(14, list->y);
    EXPECT_EQ(177, list->cx);
    EXPECT_EQ(108, list->cy);
    // The label before it starts the first group.
    EXPECT_TRUE(t.items[0].style & WS_GROUP);
    EXPECT_EQ(FromUtf8(u8"プログラム一覧(&L):"), t.items[0].text);
}

TEST(DialogTemplates, AboutBoxShowsTheIconAndTheVersionLine)
{
    Template t = LoadTemplate(IDD_ABOUTBOX);
    EXPECT_EQ(FromUtf8(u8"Cobweld for WindowsNT バージョン情報"), t.caption);
    EXPECT_EQ(34, t.x);
    EXPECT_EQ(22, t.y);
    EXPECT_FALSE(t.style & WS_VISIBLE);
    ASSERT_GE(t.items.size(), 3u);
    EXPECT_EQ(IDR_MAINFRAME, t.items[0].textOrdinal);
    EXPECT_EQ(DWORD(SS_ICON), t.items[0].style & SS_TYPEMASK);
    EXPECT_EQ("Cobweld for WindowsNT Version 1.0", t.items[1].text);
    EXPECT_EQ(40, t.items[1].x);
    EXPECT_EQ(10, t.items[1].y);
    const Item* ok = t.Find(IDOK);
    ASSERT_NE(nullptr, ok);
    EXPECT_EQ(DWORD(BS_DEFPUSHBUTTON), ok->style & 0xF);
}

TEST(DialogTemplates, EntryDialogControlsAreInTabOrderWithTheirStyles)
{
    Template t = LoadTemplate(IDD_ENTRY);
    EXPECT_EQ(FromUtf8(u8"プログラムの登録情報"), t.caption);
    EXPECT_EQ(30, t.x);
    EXPECT_EQ(30, t.y);
    EXPECT_FALSE(t.style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
    std::vector<int> order = {-1, IDC_TITLE, -1, IDC_COMMAND_LINE, -1, IDC_DIRECTORY,
                              IDC_RUN_MINIMIZED, -1, IDC_REGISTRY_NAME, IDC_ICON_PREVIEW,
                              IDC_RETRIEVE_AGAIN, IDOK, IDCANCEL, ID_HELP, IDC_BROWSE,
                              IDC_CHANGE_ICON};
    EXPECT_EQ(order, t.Ids());

    for (int id : {IDC_TITLE, IDC_COMMAND_LINE, IDC_DIRECTORY}) {
        const Item* edit = t.Find(id);
        ASSERT_NE(nullptr, edit);
        EXPECT_TRUE(IsClass(*edit, kEdit, L"Edit"));
        EXPECT_EQ(DWORD(WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL), edit->style) << id;
    }
    const Item* combo = t.Find(IDC_REGISTRY_NAME);
    ASSERT_NE(nullptr, combo);
    EXPECT_TRUE(IsClass(*combo, kComboBox, L"ComboBox"));
    EXPECT_EQ(DWORD(WS_CHILD | WS_VISIBLE | CBS_SIMPLE | CBS_SORT | WS_VSCROLL | WS_TABSTOP), combo->style);
    const Item* icon = t.Find(IDC_ICON_PREVIEW);
    ASSERT_NE(nullptr, icon);
    EXPECT_TRUE(IsClass(*icon, kStatic, L"Static"));
    EXPECT_EQ(DWORD(SS_ICON), icon->style & SS_TYPEMASK);
    EXPECT_FALSE(icon->style & WS_TABSTOP);
    for (int id : {IDC_RUN_MINIMIZED, IDC_RETRIEVE_AGAIN}) {
        const Item* check = t.Find(id);
        ASSERT_NE(nullptr, check);
        EXPECT_TRUE(IsClass(*check, kButton, L"Button"));
        EXPECT_EQ(DWORD(BS_AUTOCHECKBOX), check->style & 0xF) << id;
        EXPECT_TRUE(check->style & WS_TABSTOP) << id;
    }
    ASSERT_EQ(order, t.Ids());
    EXPECT_EQ(FromUtf8(u8"実行時のﾃﾞｨﾚｸﾄﾘ(&W):"), t.items[4].text);
    EXPECT_EQ(FromUtf8(u8"終了した時レジストリ取得しなおし(&A)"), t.Find(IDC_RETRIEVE_AGAIN)->text);
    EXPECT_EQ(FromUtf8(u8"ｷｬﾝｾﾙ"), t.Find(IDCANCEL)->text);
    EXPECT_EQ(FromUtf8(u8"ﾍﾙﾌﾟ(&H)"), t.Find(ID_HELP)->text);
}

TEST(DialogTemplates, IconPickerUsesItsOwnFontAndAOneRowIconList)
{
    Template t = LoadTemplate(IDD_ICON);
    EXPECT_EQ(FromUtf8(u8"アイコンの変更"), t.caption);
    EXPECT_EQ(0, t.x);
    EXPECT_EQ(0, t.y);
    EXPECT_EQ(246, t.cx);
    EXPECT_EQ(82, t.cy);
    EXPECT_EQ(12, t.pointSize);
    EXPECT_EQ(FromUtf8(u8"ＭＳ 明朝"), t.font);
    std::vector<int> order = {-1, IDC_ICON_FILE, -1, IDC_ICON_LIST, IDOK, IDCANCEL, IDC_ICON_BROWSE, ID_HELP};
    EXPECT_EQ(order, t.Ids());
    const Item* list = t.Find(IDC_ICON_LIST);
    ASSERT_NE(nullptr, list);
    EXPECT_EQ(DWORD(WS_CHILD | WS_VISIBLE | LBS_OWNERDRAWFIXED | LBS_MULTICOLUMN | LBS_NOTIFY |
                    LBS_NOINTEGRALHEIGHT | LBS_DISABLENOSCROLL | WS_HSCROLL | WS_BORDER | WS_TABSTOP),
              list->style);
}

namespace {
INT_PTR CALLBACK PlainDialogProc(HWND, UINT msg, WPARAM, LPARAM)
{
    return msg == WM_INITDIALOG;
}
} // namespace

TEST(DialogTemplates, EveryTemplateBuildsADialogWithJapaneseCaptions)
{
    struct {
        UINT dialog;
        int control;
        const char* text;
    } const cases[] = {
        {IDD_MAIN, IDC_REACQUIRE, u8"ﾚｼﾞｽﾄﾘ再取得(&R)"},
        {IDD_ABOUTBOX, IDOK, u8"OK"},
        {IDD_ENTRY, IDC_CHANGE_ICON, u8"アイコン(&I)..."},
        {IDD_ICON, IDCANCEL, u8"ｷｬﾝｾﾙ"},
    };
    for (const auto& c : cases) {
        HWND dialog = ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(c.dialog),
                                           nullptr, PlainDialogProc, 0);
        ASSERT_NE(nullptr, dialog) << c.dialog;
        char text[100] = "";
        ::GetDlgItemTextA(dialog, c.control, text, sizeof text);
        EXPECT_EQ(FromUtf8(c.text), text) << c.dialog;
        EXPECT_EQ(LoadTemplate(c.dialog).items.size(), [&] {
            size_t n = 0;
            for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
                ++n;
            return n;
        }()) << c.dialog;
        ::DestroyWindow(dialog);
    }
}
