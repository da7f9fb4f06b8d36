#include "engine/FileOps.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/TestDrives.h"
#include "win/Format.h"
#include "win/UniqueHandle.h"

using namespace vw;
using vwtest::FileExists;
using vwtest::ScratchFolder;

namespace {

struct Times {
    FILETIME creation{};
    FILETIME lastAccess{};
    FILETIME lastWrite{};
};

bool SetTimes(const std::wstring& path, const Times& times)
{
    UniqueFile file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file && SetFileTime(file.get(), &times.creation, &times.lastAccess, &times.lastWrite);
}

Times GetTimes(const std::wstring& path)
{
    Times times;
    UniqueFile file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (file)
        GetFileTime(file.get(), &times.creation, &times.lastAccess, &times.lastWrite);
    return times;
}

// Creation times are not kept by every file system under the test drives; access and write times are.
void ExpectSameTimes(const Times& expected, const std::wstring& path)
{
    const Times actual = GetTimes(path);
    EXPECT_TRUE(vwtest::SameFileTime(expected.lastWrite, actual.lastWrite)) << "last write of " << path;
    EXPECT_TRUE(vwtest::SameFileTime(expected.lastAccess, actual.lastAccess)) << "last access of " << path;
}

Times SomeTimes(int year)
{
    return {vwtest::FileTimeFromLocal(year, 1, 2, 3, 4, 5), vwtest::FileTimeFromLocal(year, 6, 7, 8, 9, 10),
            vwtest::FileTimeFromLocal(year, 11, 12, 13, 14, 16)};
}

bool IsDirectory(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

TEST(PathRules, JoinAndAppend)
{
    struct Case {
        const wchar_t* path;
        const wchar_t* appended;
        const wchar_t* joined;   // with name "n"
        const wchar_t* folder;   // with name "n"
    };
    const Case cases[] = {
        {L"", L"", L"", L""},
        {L"C:", L"C:\\", L"C:\\n", L"C:\\n\\"},
        {L"C:\\", L"C:\\", L"C:\\n", L"C:\\n\\"},
        {L"C:\\a", L"C:\\a\\", L"C:\\a\\n", L"C:\\a\\n\\"},
        {L"C:\\a\\", L"C:\\a\\", L"C:\\a\\n", L"C:\\a\\n\\"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.appended, AppendBackslash(c.path)) << c.path;
        EXPECT_EQ(c.joined, JoinName(c.path, L"n")) << c.path;
        EXPECT_EQ(c.folder, JoinFolder(c.path, L"n")) << c.path;
    }
}

TEST(CreateFolderTree, Cases)
{
    ScratchFolder scratch;
    ASSERT_TRUE(CreateDirectoryW((scratch / L"x").c_str(), nullptr));

    struct Case {
        std::wstring path;
        bool result;
        std::vector<std::wstring> foldersAfter;
        std::wstring absentAfter;
    };
    const Case cases[] = {
        {L"C:", false, {}, {}},
        {L"C:\\", false, {}, {}},
        {L"M:\\", false, {}, {}},
        {scratch.path(), true, {scratch.path()}, {}},
        {scratch / L"x", true, {scratch / L"x"}, {}},  // folder part is the scratch folder itself
        {scratch / L"x\\y\\z\\", true, {scratch / L"x\\y", scratch / L"x\\y\\z"}, {}},
        {scratch / L"a\\b\\f.txt", true, {scratch / L"a", scratch / L"a\\b"}, scratch / L"a\\b\\f.txt"},
        {L"\\\\server\\share\\x\\", false, {}, {}},
        {L"Q:\\a\\b\\", false, {}, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.result, CreateFolderTree(c.path)) << c.path;
        for (const std::wstring& folder : c.foldersAfter)
            EXPECT_TRUE(IsDirectory(folder)) << c.path << " -> " << folder;
        if (!c.absentAfter.empty()) {
            EXPECT_FALSE(FileExists(c.absentAfter)) << c.path;
        }
    }
}

TEST(FolderExists, Cases)
{
    ScratchFolder scratch;
    ASSERT_TRUE(vwtest::WriteFileBytes(scratch / L"file.txt", "x"));
    std::wstring noSlash = scratch.path();
    noSlash.pop_back();

    struct Case {
        std::wstring path;
        bool exists;
    };
    const Case cases[] = {
        {L"", false},
        {L"M:", true},
        {L"M:\\", true},
        {scratch.path(), true},
        {noSlash, true},
        {scratch / L"file.txt", false},
        {scratch / L"missing", false},
        {scratch / L"missing\\", false},
        {L"Q:", false},  // a letter without a root
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.exists, FolderExists(c.path)) << c.path;
}

// Swaps the folder behind a test drive for a fresh empty one, and puts the original back at the end.
class EmptyDrive {
public:
    explicit EmptyDrive(wchar_t letter)
        : backing_(vwtest::DriveBackingFolder(letter)), aside_(backing_ + L"-aside")
    {
        ok_ = !backing_.empty() && MoveFileW(backing_.c_str(), aside_.c_str()) &&
              CreateDirectoryW(backing_.c_str(), nullptr);
    }
    ~EmptyDrive()
    {
        if (!ok_)
            return;
        vwtest::RemoveTree(backing_);
        MoveFileW(aside_.c_str(), backing_.c_str());
    }
    bool ok() const { return ok_; }

private:
    std::wstring backing_;
    std::wstring aside_;
    bool ok_ = false;
};

TEST(FolderExists, DriveRootWhateverItHolds)
{
    EmptyDrive drive(vwtest::kDiskO);
    ASSERT_TRUE(drive.ok());
    EXPECT_TRUE(FolderExists(L"O:")) << "empty root";
    ASSERT_TRUE(vwtest::WriteFileBytes(L"O:\\only-a-file.txt", "x"));
    EXPECT_TRUE(FolderExists(L"O:\\")) << "root holding a file";
}

TEST(FolderIsEmpty, Cases)
{
    ScratchFolder scratch;
    ASSERT_TRUE(CreateDirectoryW((scratch / L"empty").c_str(), nullptr));
    ASSERT_TRUE(vwtest::WriteFileBytes(scratch / L"hidden\\h.txt", "x"));
    ASSERT_TRUE(SetFileAttributesW((scratch / L"hidden\\h.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(CreateDirectoryW((scratch / L"sub").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((scratch / L"sub\\inner").c_str(), nullptr));

    EXPECT_TRUE(FolderIsEmpty(scratch / L"empty"));
    EXPECT_TRUE(FolderIsEmpty(scratch / L"empty\\"));
    EXPECT_FALSE(FolderIsEmpty(scratch / L"hidden"));
    EXPECT_FALSE(FolderIsEmpty(scratch / L"sub"));
    EXPECT_TRUE(FolderIsEmpty(scratch / L"missing")) << "a listing that cannot start";
}

TEST(CopyFileTimes, FilesAndFolders)
{
    ScratchFolder scratch;
    ASSERT_TRUE(CreateDirectoryW((scratch / L"from").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((scratch / L"to").c_str(), nullptr));
    ASSERT_TRUE(vwtest::WriteFileBytes(scratch / L"a.txt", "a"));
    ASSERT_TRUE(vwtest::WriteFileBytes(scratch / L"b.txt", "b"));
    ASSERT_TRUE(SetFileAttributesW((scratch / L"b.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    const Times folderTimes = SomeTimes(2011);
    const Times fileTimes = SomeTimes(2012);
    ASSERT_TRUE(SetTimes(scratch / L"from", folderTimes));
    ASSERT_TRUE(SetTimes(scratch / L"a.txt", fileTimes));

    EXPECT_TRUE(CopyFileTimes(scratch / L"to", scratch / L"from\\"));
    ExpectSameTimes(folderTimes, scratch / L"to");
    EXPECT_TRUE(CopyFileTimes(scratch / L"b.txt", scratch / L"a.txt")) << "a read-only target";
    ExpectSameTimes(fileTimes, scratch / L"b.txt");

    EXPECT_FALSE(CopyFileTimes(scratch / L"missing", scratch / L"a.txt"));
    EXPECT_FALSE(CopyFileTimes(scratch / L"b.txt", scratch / L"missing"));
}

TEST(MoveFileKeepTimes, ReplacesAnExistingTarget)
{
    ScratchFolder scratch;
    ASSERT_TRUE(vwtest::WriteFileBytes(scratch / L"from\\f.txt", "new"));
    ASSERT_TRUE(vwtest::WriteFileBytes(scratch / L"to\\f.txt", "old"));
    const Times times = SomeTimes(2013);
    ASSERT_TRUE(SetTimes(scratch / L"from\\f.txt", times));

    EXPECT_TRUE(MoveFileKeepTimes(L"f.txt", scratch / L"from", scratch / L"to", L""));
    EXPECT_FALSE(FileExists(scratch / L"from\\f.txt"));
    ExpectSameTimes(times, scratch / L"to\\f.txt");  // before reading it, which moves its access time
    EXPECT_EQ("new", vwtest::ReadFileBytes(scratch / L"to\\f.txt"));
}

TEST(MoveFileKeepTimes, ReadOnlyTargetIsReplacedATargetInUseStopsTheMove)
{
    // Targets are the engine's own (history, work folder): read-only does not keep them, but a
    // program that holds one open without delete sharing does.
    ScratchFolder scratch;
    ASSERT_TRUE(vwtest::WriteFileBytes(scratch / L"from\\f.txt", "new"));
    ASSERT_TRUE(vwtest::WriteFileBytes(scratch / L"to\\f.txt", "old"));
    ASSERT_TRUE(SetFileAttributesW((scratch / L"to\\f.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(MoveFileKeepTimes(L"f.txt", scratch / L"from\\", scratch / L"to\\", L""));
    EXPECT_EQ("new", vwtest::ReadFileBytes(scratch / L"to\\f.txt"));

    ASSERT_TRUE(vwtest::WriteFileBytes(scratch / L"from\\g.txt", "new"));
    ASSERT_TRUE(vwtest::WriteFileBytes(scratch / L"to\\g.txt", "old"));
    const vw::UniqueFile held(CreateFileW((scratch / L"to\\g.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    EXPECT_FALSE(MoveFileKeepTimes(L"g.txt", scratch / L"from\\", scratch / L"to\\", L""));
    EXPECT_EQ("new", vwtest::ReadFileBytes(scratch / L"from\\g.txt"));
}

TEST(MoveFileKeepTimes, NewTreeTakesTheModelFolderTimes)
{
    ScratchFolder scratch;
    ASSERT_TRUE(vwtest::WriteFileBytes(scratch / L"from\\f.txt", "f"));
    ASSERT_TRUE(vwtest::WriteFileBytes(scratch / L"from\\g.txt", "g"));
    ASSERT_TRUE(CreateDirectoryW((scratch / L"model").c_str(), nullptr));
    const Times fileTimes = SomeTimes(2014);
    const Times modelTimes = SomeTimes(2015);
    const Times fromTimes = SomeTimes(2016);
    ASSERT_TRUE(SetTimes(scratch / L"from\\f.txt", fileTimes));
    ASSERT_TRUE(SetTimes(scratch / L"model", modelTimes));
    ASSERT_TRUE(SetTimes(scratch / L"from", fromTimes));

    EXPECT_TRUE(MoveFileKeepTimes(L"f.txt", scratch / L"from", scratch / L"h\\a\\b", scratch / L"model"));
    ExpectSameTimes(fileTimes, scratch / L"h\\a\\b\\f.txt");
    EXPECT_EQ("f", vwtest::ReadFileBytes(scratch / L"h\\a\\b\\f.txt"));
    ExpectSameTimes(modelTimes, scratch / L"h\\a\\b");

    // Without a usable model the folder the file came from lends its times.
    ASSERT_TRUE(SetTimes(scratch / L"from", fromTimes));
    EXPECT_TRUE(MoveFileKeepTimes(L"g.txt", scratch / L"from", scratch / L"h2", scratch / L"no-such-model"));
    ExpectSameTimes(fromTimes, scratch / L"h2");
}

TEST(MoveFileKeepTimes, Refusals)
{
    ScratchFolder scratch;
    ASSERT_TRUE(vwtest::WriteFileBytes(scratch / L"from\\f.txt", "f"));
    struct Case {
        std::wstring name, from, to;
    };
    const Case cases[] = {
        {L"", scratch / L"from", scratch / L"to"},
        {L"f.txt", L"", scratch / L"to"},
        {L"f.txt", scratch / L"from", L""},
        {L"f.txt", scratch / L"missing", scratch / L"to"},
        {L"missing.txt", scratch / L"from", scratch / L"to"},
        {L"f.txt", scratch / L"from", L"\\\\server\\share\\to"},  // target folder cannot be made
    };
    for (const Case& c : cases)
        EXPECT_FALSE(MoveFileKeepTimes(c.name, c.from, c.to, L"")) << c.name << " " << c.from << " " << c.to;
    EXPECT_TRUE(FileExists(scratch / L"from\\f.txt"));
    EXPECT_FALSE(FileExists(scratch / L"to"));
}

TEST(IsFatalCopyError, Table)
{
    const unsigned long fatal[] = {8,    14,   15,   19,   20,   21,   25,   26,   27,   29,   30,   39,   50,
                                   53,   55,   59,   65,   84,   108,  110,  112,  125,  147,  1130, 1393, 1450,
                                   1451, 1452, 1617, 1721, 1785, 2105, 2229, 2507, 3055, 3056, 8446, 10069};
    for (unsigned long code : fatal)
        EXPECT_TRUE(IsFatalCopyError(code)) << code;
    for (unsigned long code : {0ul, 2ul, 3ul, 5ul, 32ul, 80ul, 206ul, 1235ul})
        EXPECT_FALSE(IsFatalCopyError(code)) << code;
}

TEST(LongPath, OnlyPathsTooLongForThePlainFormChange)
{
    const std::wstring deep(300, L'd');  // one name: whatever joins it is too long for the plain form
    const struct {
        std::wstring path;
        std::wstring expected;
    } cases[] = {
        {L"C:\\short\\file.txt", L"C:\\short\\file.txt"},
        {L"C:\\short\\..\\kept\\.\\as-is", L"C:\\short\\..\\kept\\.\\as-is"},
        {L"\\\\server\\share\\short", L"\\\\server\\share\\short"},
        {L"C:\\a\\" + deep, L"\\\\?\\C:\\a\\" + deep},
        {L"C:\\a\\b\\..\\.\\" + deep + L"\\f", L"\\\\?\\C:\\a\\" + deep + L"\\f"},
        {L"C:\\a\\" + deep + L"\\", L"\\\\?\\C:\\a\\" + deep + L"\\"},
        {L"\\\\server\\share\\" + deep, L"\\\\?\\UNC\\server\\share\\" + deep},
        {L"\\\\server\\share\\x\\..\\" + deep, L"\\\\?\\UNC\\server\\share\\" + deep},
        {L"\\\\?\\C:\\a\\..\\" + deep, L"\\\\?\\C:\\a\\..\\" + deep},
        {L"\\\\?\\UNC\\server\\share\\" + deep, L"\\\\?\\UNC\\server\\share\\" + deep},
    };
    for (const auto& c : cases)
        EXPECT_EQ(vw::LongPath(c.path), c.expected) << vw::WideToUtf8(c.path.substr(0, 40));
}
