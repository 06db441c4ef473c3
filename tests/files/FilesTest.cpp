// File-tree copies, mirrors, removals and records against Wine's real file
// system, each test in a folder of its own below %LOCALAPPDATA%.
#include <gtest/gtest.h>
#include <algorithm>
#include <functional>
#include "files/PrivateFolder.h"
#include "files/TreeCopy.h"
#include "files/TreeMirror.h"
#include "files/FileTreeRecord.h"
#include "files/TreeRemove.h"
#include "framework/Scoped.h"
#include "tests/driver/Driver.h"

namespace {

// A name outside code page 932, and one long enough that three of them
// take a path past MAX_PATH.
const std::wstring kOddName = L"\u00e9t\u00e9 \u2713 \U0001F600.ini";
const std::wstring kLongName(90, L'n');

FILETIME Day(int day)
{
    ULONGLONG time = 132223104000000000ULL + day * 864000000000ULL; // 2020-01-01 + day
    return FILETIME{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
}

// Every level of path's folder is made.
void Write(const std::wstring& path, const std::string& bytes, int day = 1, DWORD attributes = 0)
{
    std::wstring name = LongPath(path);
    for (size_t cut = name.find(L'\\', 7); cut != std::wstring::npos; cut = name.find(L'\\', cut + 1))
        ::CreateDirectoryW(name.substr(0, cut).c_str(), nullptr);
    ::SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL);
    CHandle file(::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    FILETIME time = Day(day);
    ::SetFileTime(file, &time, nullptr, &time);
    file.Reset();
    if (attributes)
        ::SetFileAttributesW(name.c_str(), attributes);
}

BY_HANDLE_FILE_INFORMATION Info(const std::wstring& path)
{
    BY_HANDLE_FILE_INFORMATION info = {};
    CHandle file(::CreateFileW(LongPath(path).c_str(), 0, 7, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ::GetFileInformationByHandle(file, &info);
    return info;
}

bool Run(std::wstring commandLine, const std::wstring& directory, const wchar_t* program = nullptr)
{
    STARTUPINFOW startup = {sizeof startup};
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(program, &commandLine[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                          directory.c_str(), &startup, &process))
        return false;
    CHandle thread(process.hThread), handle(process.hProcess);
    return ::WaitForSingleObject(handle, driver::kTimeout) == WAIT_OBJECT_0;
}

// A link in folder, named name, to the folder target beside folder: a
// junction where cmd's mklink makes one, else (Wine 8: its mklink and
// FSCTL_SET_REPARSE_POINT make none) a Unix symbolic link, which Wine shows
// as a reparse point.
bool MakeLink(const std::wstring& folder, const std::wstring& name, const std::wstring& target)
{
    std::wstring link = JoinPath(folder, name);
    auto isLink = [&] { return GetPathKind(link) == PathKind::Link; };
    Run(L"cmd.exe /c mklink /j \"" + link + L"\" \"" + JoinPath(folder, L"..\\" + target) + L"\" >nul 2>&1", folder);
    if (!isLink())
        Run(L"ln -s ../" + target + L" " + name, folder, L"Z:\\bin\\ln");
    return driver::WaitUntil(isLink);
}

class Files : public ::testing::Test {
protected:
    Files()
    {
        wchar_t local[MAX_PATH] = L"";
        ::GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH);
        std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        m_root = std::wstring(local) + L"\\CobweldTest\\Files\\" + std::wstring(test.begin(), test.end());
        RemoveFileTree(m_root, nullptr);
        Write(Path(L"Live\\a.ini"), "alpha");
    }
    ~Files() override { RemoveFileTree(m_root, nullptr); }
    std::wstring Path(const std::wstring& relative) const { return JoinPath(m_root, relative); }
    std::wstring m_root;
    FileError m_error;
};

} // namespace

TEST_F(Files, PathsAreResolvedAndComparedAsTheFileSystemDoes)
{
    EXPECT_EQ(FullPath(L"C:\\a\\.\\b\\..\\c\\"), L"C:\\a\\c");
    EXPECT_EQ(FullPath(L"\\\\?\\C:\\a\\..\\b") + L"|" + FullPath(L"C:\\"), L"C:\\b|C:\\");
    EXPECT_EQ(LongPath(L"\\\\server\\share\\x\\"), L"\\\\?\\UNC\\server\\share\\x");
    EXPECT_TRUE(SamePath(L"C:\\Dir\\FILE.ini", L"c:\\dir\\x\\..\\file.INI"));
    EXPECT_TRUE(IsInsideOrSame(L"C:\\a\\B", L"C:\\A\\") && IsInsideOrSame(L"C:\\a", L"c:\\a\\.")
                && IsInsideOrSame(L"C:\\a", L"C:\\"));
    EXPECT_FALSE(IsInsideOrSame(L"C:\\ab", L"C:\\a") || IsInsideOrSame(L"C:\\a", L"C:\\a\\b"));
    EXPECT_TRUE(GetPathKind(Path(L"Live")) == PathKind::Folder && GetPathKind(Path(L"Live\\a.ini")) == PathKind::File
                && GetPathKind(Path(L"None\\x")) == PathKind::Missing);
}

// Nested folders, a read-only and a hidden file, an empty file and folder, a
// name outside code page 932, a path past MAX_PATH and a file of several
// blocks, there and back; a single file as well.
TEST_F(Files, CopyAndMirrorCarryEveryFileAndFolderWithItsBytesTimesAndAttributes)
{
    const std::wstring deep = L"Live\\" + kLongName + L"\\" + kLongName + L"\\" + kLongName;
    Write(Path(L"Live\\Sub\\Inner\\ro.ini"), "read only", 2, FILE_ATTRIBUTE_READONLY);
    Write(Path(L"Live\\Sub\\hidden.dat"), "hidden", 3, FILE_ATTRIBUTE_HIDDEN);
    Write(Path(L"Live\\Sub\\" + kOddName), "odd name", 4);
    Write(Path(L"Live\\empty.txt"), "");
    Write(Path(deep + L"\\long.ini"), std::string(3 << 20, 'b') + "end", 5);
    ASSERT_GT(Path(deep + L"\\long.ini").size(), 300u);
    ::CreateDirectoryW(LongPath(Path(L"Live\\Empty")).c_str(), nullptr);
    ::SetFileAttributesW(LongPath(Path(L"Live\\Sub")).c_str(), FILE_ATTRIBUTE_HIDDEN);
    const std::wstring live = driver::DumpFiles(Path(L"Live"));
    ASSERT_TRUE(MakeFolderPrivate(m_root, &m_error)) << m_error.code;
    ASSERT_TRUE(CopyFileTree(Path(L"Live"), Path(L"Snap"), L"", CWorkProgress(), &m_error)) << m_error.code;
    EXPECT_EQ(driver::DumpFiles(Path(L"Snap")), live);

    Write(Path(L"Live\\Sub\\Inner\\ro.ini"), "changed", 6, FILE_ATTRIBUTE_READONLY);
    Write(Path(L"Live\\Sub\\added.ini"), "added", 1, FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(RemoveFileTree(Path(deep), &m_error));
    ::SetFileAttributesW(LongPath(Path(L"Live\\Sub")).c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(MirrorFileTree(Path(L"Snap"), Path(L"Live"), CWorkProgress(), &m_error)) << m_error.code;
    EXPECT_EQ(driver::DumpFiles(Path(L"Live")), live);
    // Into a folder that is gone with its parent.
    ASSERT_TRUE(MirrorFileTree(Path(L"Snap"), Path(L"Gone\\Live"), CWorkProgress(), &m_error));
    EXPECT_EQ(driver::DumpFiles(Path(L"Gone\\Live")), live);

    ASSERT_TRUE(CopyFileTree(Path(L"Live\\Sub\\hidden.dat"), Path(L"One.dat"), L"", CWorkProgress(), &m_error));
    Write(Path(L"Live\\Sub\\hidden.dat"), "other", 7);
    ASSERT_TRUE(MirrorFileTree(Path(L"One.dat"), Path(L"Live\\Sub\\hidden.dat"), CWorkProgress(), &m_error));
    EXPECT_EQ(driver::DumpFiles(Path(L"Live\\Sub")), driver::DumpFiles(Path(L"Snap\\Sub")));
}

// A capture over the last snapshot shares each file that has not changed
// with it; a read-only file and the live files are never linked. Removing
// the old snapshot leaves the new one whole.
TEST_F(Files, UnchangedFilesAreHardLinkedFromTheReferenceAndEverythingElseIsCopied)
{
    Write(Path(L"Live\\Sub\\same.ini"), "same");
    Write(Path(L"Live\\changed.ini"), "before");
    Write(Path(L"Live\\ro.ini"), "read only", 1, FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(CopyFileTree(Path(L"Live"), Path(L"Old"), L"", CWorkProgress(), &m_error));
    Write(Path(L"Live\\changed.ini"), "after!", 2);
    ASSERT_TRUE(CopyFileTree(Path(L"Live"), Path(L"New"), Path(L"Old"), CWorkProgress(), &m_error));
    EXPECT_EQ(driver::DumpFiles(Path(L"New")), driver::DumpFiles(Path(L"Live")));
    EXPECT_EQ(Info(Path(L"New\\Sub\\same.ini")).nNumberOfLinks, 2u);
    EXPECT_EQ(Info(Path(L"New\\a.ini")).nNumberOfLinks, 2u);
    for (const wchar_t* copied : {L"New\\changed.ini", L"New\\ro.ini", L"Live\\a.ini", L"Live\\Sub\\same.ini"})
        EXPECT_EQ(Info(Path(copied)).nNumberOfLinks, 1u) << copied;
    const std::wstring taken = driver::DumpFiles(Path(L"New"));
    ASSERT_TRUE(RemoveFileTree(Path(L"Old"), &m_error)) << m_error.code;
    EXPECT_FALSE(PathExists(Path(L"Old")));
    EXPECT_EQ(driver::DumpFiles(Path(L"New")), taken);
    EXPECT_TRUE(RenameFileTree(Path(L"New"), Path(L"Renamed"), &m_error));
    EXPECT_FALSE(RenameFileTree(Path(L"Renamed"), Path(L"Live"), &m_error));
    EXPECT_EQ(driver::DumpFiles(Path(L"Renamed")), taken);
}

// A mirror replaces only what differs: a matching file stays the same file.
// A link is no part of a tree: a copy leaves it out, a mirror and a
// removal leave it and what it leads to alone, and a live path that is a
// link is refused.
TEST_F(Files, MirrorLeavesMatchingFilesAndLinksAloneAndRemovesWhatTheSnapshotLacks)
{
    Write(Path(L"Target\\inside.ini"), "elsewhere");
    Write(Path(L"Live\\keep.ini"), "keep");
    ASSERT_TRUE(MakeLink(Path(L"Live"), L"Linked", L"Target"));
    ASSERT_TRUE(CopyFileTree(Path(L"Live"), Path(L"Snap"), L"", CWorkProgress(), &m_error));
    EXPECT_FALSE(PathExists(Path(L"Snap\\Linked")));
    const DWORD kept = Info(Path(L"Live\\keep.ini")).nFileIndexLow;
    Write(Path(L"Live\\a.ini"), "changed", 2);
    Write(Path(L"Live\\New\\added.ini"), "added");
    ASSERT_TRUE(MirrorFileTree(Path(L"Snap"), Path(L"Live"), CWorkProgress(), &m_error)) << m_error.code;
    EXPECT_EQ(driver::ReadBytes(Path(L"Live\\a.ini")) + "|" + driver::ReadBytes(Path(L"Live\\Linked\\inside.ini")), "alpha|elsewhere");
    EXPECT_FALSE(PathExists(Path(L"Live\\New")));
    EXPECT_EQ(Info(Path(L"Live\\keep.ini")).nFileIndexLow, kept);

    bool absent = false;
    ASSERT_TRUE(MirrorFileTree(Path(L"Nothing"), Path(L"Live"), CWorkProgress(), &m_error)) << m_error.code;
    EXPECT_TRUE(GetPathKind(Path(L"Live\\Linked")) == PathKind::Link && !PathExists(Path(L"Live\\a.ini")));
    EXPECT_TRUE(RemoveFileTree(Path(L"Live"), &m_error));
    EXPECT_EQ(driver::ReadBytes(Path(L"Target\\inside.ini")), "elsewhere");
    EXPECT_TRUE(CopyFileTree(Path(L"Nothing"), Path(L"Absent"), L"", CWorkProgress(), &m_error, &absent) && absent);
    EXPECT_FALSE(PathExists(Path(L"Absent")));

    EXPECT_FALSE(CopyFileTree(Path(L"Live\\Linked"), Path(L"Copy"), L"", CWorkProgress(), &m_error));
    EXPECT_FALSE(MirrorFileTree(Path(L"Snap"), Path(L"Live\\Linked"), CWorkProgress(), &m_error));
    EXPECT_EQ(m_error.code, ERROR_LINK_REFUSED);
    EXPECT_FALSE(MirrorFileTree(Path(L"Nothing"), Path(L"Live\\Linked"), CWorkProgress(), &m_error));
    EXPECT_EQ(driver::DumpFiles(Path(L"Target")), driver::DumpFiles(Path(L"Live\\Linked")));
}

// A program holding a file open without sharing stops a capture (nothing is
// left at the destination) and a restore before it changes anything; one
// that shares it stops neither.
TEST_F(Files, AFileHeldOpenWithoutSharingFailsCopyAndMirrorNamingItAndTheMirrorChangesNothing)
{
    Write(Path(L"Live\\Sub\\locked.ini"), "locked");
    ASSERT_TRUE(CopyFileTree(Path(L"Live"), Path(L"Snap"), L"", CWorkProgress(), &m_error));
    Write(Path(L"Live\\a.ini"), "changed", 2);
    Write(Path(L"Live\\Sub\\locked.ini"), "changed too", 2);
    Write(Path(L"Live\\added.ini"), "added");
    const std::wstring live = driver::DumpFiles(Path(L"Live"));
    {
        CHandle locked(::CreateFileW(LongPath(Path(L"Live\\Sub\\locked.ini")).c_str(), GENERIC_READ | GENERIC_WRITE,
                                     0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(locked.IsValid());
        EXPECT_FALSE(MirrorFileTree(Path(L"Snap"), Path(L"Live"), CWorkProgress(), &m_error));
        EXPECT_EQ(m_error.path + L" " + std::to_wstring(m_error.code), Path(L"Live\\Sub\\locked.ini") + L" 32");
        EXPECT_FALSE(CopyFileTree(Path(L"Live"), Path(L"New"), L"", CWorkProgress(), &m_error));
        EXPECT_EQ(m_error.path, Path(L"Live\\Sub\\locked.ini"));
        EXPECT_FALSE(PathExists(Path(L"New")));
    }
    EXPECT_EQ(driver::DumpFiles(Path(L"Live")), live);
    CHandle shared(::CreateFileW(LongPath(Path(L"Live\\a.ini")).c_str(), GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(CopyFileTree(Path(L"Live"), Path(L"New"), L"", CWorkProgress(), &m_error)) << m_error.code;
}

// Progress moves after every file and every block of a big one, reaches the
// end, and a stop ends the copy at once, leaving no destination.
TEST_F(Files, ACopyReportsAsItGoesAndAStopEndsItLeavingNothing)
{
    for (int i = 0; i < 10; ++i)
        Write(Path(L"Live\\Sub\\f" + std::to_wstring(i) + L".ini"), std::string(100, 'x'));
    Write(Path(L"Live\\big.bin"), std::string(5 << 20, 'b'));
    std::vector<double> reports;
    CWorkProgress heard([&](double done) { reports.push_back(done); return true; });
    ASSERT_TRUE(CopyFileTree(Path(L"Live"), Path(L"Snap"), L"", heard, &m_error));
    EXPECT_GE(reports.size(), 16u);
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()) && reports.back() == 1.0);
    int left = 5;
    CWorkProgress stopping([&](double) { return --left > 0; });
    EXPECT_FALSE(CopyFileTree(Path(L"Live"), Path(L"Stopped"), L"", stopping, &m_error));
    EXPECT_EQ(m_error.code, static_cast<DWORD>(ERROR_CANCELLED));
    EXPECT_EQ(left, 0);
    EXPECT_FALSE(PathExists(Path(L"Stopped")));
}

// The check reads a file's bytes only where its size is as recorded and its
// time is not: a file held open without sharing, unchanged, is never read.
TEST_F(Files, ARecordKeptAsBytesTellsChangedContentsFromFilesWrittenAgainWithTheSameBytes)
{
    Write(Path(L"Live\\Sub\\b.ini"), "bravo");
    CFileTreeRecord taken, record, absent;
    ASSERT_TRUE(taken.Take(Path(L"Live"), CWorkProgress(), &m_error));
    ASSERT_TRUE(record.FromBytes(taken.ToBytes()));
    EXPECT_EQ(record.Size().files * 100 + record.Size().bytes, 210u);
    auto changed = [&](const CFileTreeRecord& which, const std::wstring& root) {
        bool result = false;
        EXPECT_TRUE(which.Check(root, &result, CWorkProgress(), &m_error)) << m_error.code;
        return result;
    };
    CHandle locked(::CreateFileW(LongPath(Path(L"Live\\Sub\\b.ini")).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                 0, nullptr));
    Write(Path(L"Live\\a.ini"), "alpha", 9);
    EXPECT_FALSE(changed(record, Path(L"Live")));
    Write(Path(L"Live\\a.ini"), "alphA", 10);
    EXPECT_TRUE(changed(record, Path(L"Live")));
    Write(Path(L"Live\\a.ini"), "alpha", 11);
    Write(Path(L"Live\\Sub\\New\\c.ini"), "added");
    EXPECT_TRUE(changed(record, Path(L"Live")));
    ASSERT_TRUE(RemoveFileTree(Path(L"Live\\Sub\\New"), &m_error));
    EXPECT_FALSE(changed(record, Path(L"Live")));
    locked.Reset();
    ASSERT_TRUE(RemoveFileTree(Path(L"Live\\Sub\\b.ini"), &m_error));
    EXPECT_TRUE(changed(record, Path(L"Live")));

    ASSERT_TRUE(absent.Take(Path(L"Nothing"), CWorkProgress(), &m_error));
    EXPECT_TRUE(absent.IsAbsent() && !changed(absent, Path(L"Nothing")) && changed(absent, Path(L"Live")));
    std::vector<BYTE> cut = taken.ToBytes();
    cut.pop_back();
    EXPECT_FALSE(record.FromBytes(cut) || record.FromBytes(std::vector<BYTE>(40, 1)));
}
