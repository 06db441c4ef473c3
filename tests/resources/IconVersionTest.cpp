// The application icon and the version block of the program file.
#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "resources/resource.h"

namespace {

#pragma pack(push, 2)
struct GroupIconHeader {
    WORD reserved, type, count;
};
struct GroupIconEntry {
    BYTE width, height, colorCount, reserved;
    WORD planes, bitCount;
    DWORD bytesInRes;
    WORD id;
};
#pragma pack(pop)

std::string ModulePath()
{
    char path[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, path, sizeof path);
    return path;
}

std::string VersionString(const std::vector<BYTE>& block, const char* name)
{
    std::string query = std::string("\\StringFileInfo\\041104e4\\") + name;
    char* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) || !value)
        return "<missing>";
    return std::string(value);
}

} // namespace

TEST(ApplicationIcon, HasA32And16PixelImageOf16Colours)
{
    HMODULE module = ::GetModuleHandleA(nullptr);
    HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(IDR_MAINFRAME), reinterpret_cast<LPCSTR>(RT_GROUP_ICON));
    ASSERT_NE(nullptr, found);
    const auto* header = static_cast<const GroupIconHeader*>(::LockResource(::LoadResource(module, found)));
    ASSERT_EQ(2, header->count);
    const auto* entries = reinterpret_cast<const GroupIconEntry*>(header + 1);
    std::vector<int> sizes;
    for (int i = 0; i < header->count; ++i) {
        EXPECT_EQ(entries[i].width, entries[i].height);
        EXPECT_EQ(16, entries[i].colorCount);
        EXPECT_EQ(4, entries[i].bitCount);
        sizes.push_back(entries[i].width);
    }
    EXPECT_EQ((std::vector<int>{32, 16}), sizes);
}

TEST(ApplicationIcon, LoadsAtTheSystemSizeAndAsASmallIcon)
{
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    HICON large = ::LoadIconA(instance, MAKEINTRESOURCEA(IDR_MAINFRAME));
    ASSERT_NE(nullptr, large);
    HICON small = static_cast<HICON>(::LoadImageA(instance, MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, 16, 16, 0));
    ASSERT_NE(nullptr, small);
    ICONINFO info = {};
    ASSERT_TRUE(::GetIconInfo(small, &info));
    BITMAP mask = {};
    ::GetObjectA(info.hbmMask, sizeof mask, &mask);
    EXPECT_EQ(16, mask.bmWidth);
    // The corners are transparent (the tile has rounded corners), the middle is not.
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, info.hbmMask);
    EXPECT_EQ(RGB(255, 255, 255), ::GetPixel(dc, 0, 0));
    EXPECT_EQ(RGB(0, 0, 0), ::GetPixel(dc, 8, 8));
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::DeleteObject(info.hbmMask);
    ::DeleteObject(info.hbmColor);
    ::DestroyIcon(small);
}

TEST(VersionBlock, NamesTheProgramInJapaneseTranslation)
{
    std::string path = ModulePath();
    DWORD handle = 0;
    DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(::GetFileVersionInfoA(path.c_str(), 0, size, block.data()));
    EXPECT_EQ("0, 1, 0, 0", VersionString(block, "FileVersion"));
    EXPECT_EQ("0, 1, 0, 0", VersionString(block, "ProductVersion"));
    EXPECT_EQ("COBWELD", VersionString(block, "InternalName"));
    EXPECT_EQ("COBWELD.EXE", VersionString(block, "OriginalFilename"));
    EXPECT_EQ("", VersionString(block, "CompanyName"));

    WORD* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                                 reinterpret_cast<void**>(&translation), &length));
    ASSERT_GE(length, 4u);
    EXPECT_EQ(0x411, translation[0]);
}
