#include "run/LogWriter.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/TestDrives.h"
#include "win/Format.h"
#include "win/UniqueHandle.h"

namespace {

using vwtest::ReadFileBytes;
using vwtest::ScratchFolder;

SYSTEMTIME At(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second)
{
    SYSTEMTIME t{};
    t.wYear = year;
    t.wMonth = month;
    t.wDay = day;
    t.wHour = hour;
    t.wMinute = minute;
    t.wSecond = second;
    return t;
}

struct LineCase {
    const char* what;
    SYSTEMTIME time;
    const char* source;
    const wchar_t* text;
    std::string bytes;
};

TEST(LogWriterTest, LineIsTimeSourceAndTextInGbk)
{
    const LineCase cases[] = {
        {"end of the window set-up", At(2024, 3, 5, 8, 7, 0), "CVaultwrenDlg::OnInitDialog", L"Vaultwren完成窗口初始化",
         "2024-03-05 08:07:00 CVaultwrenDlg::OnInitDialog() Vaultwren"
         "\xcd\xea\xb3\xc9\xb4\xb0\xbf\xda\xb3\xf5\xca\xbc\xbb\xaf\r\n"},
        {"tray change, late at night", At(2023, 12, 31, 23, 59, 59), "CVaultwrenDlg::OnBackupFinishMsg",
         L"Vaultwren修改托盘信息",
         "2023-12-31 23:59:59 CVaultwrenDlg::OnBackupFinishMsg() Vaultwren"
         "\xd0\xde\xb8\xc4\xcd\xd0\xc5\xcc\xd0\xc5\xcf\xa2\r\n"},
        {"empty text", At(2024, 1, 2, 3, 4, 5), "CVaultwrenApp::InitInstance", L"",
         "2024-01-02 03:04:05 CVaultwrenApp::InitInstance() \r\n"},
        {"a character GBK lacks", At(2024, 1, 2, 3, 4, 5), "X", L"a한b", "2024-01-02 03:04:05 X() a?b\r\n"},
    };
    for (const LineCase& c : cases)
        EXPECT_EQ(vw::FormatLogLine(c.time, c.source, c.text), c.bytes) << c.what;
}

TEST(LogWriterTest, FileIsNamedAfterTheDay)
{
    EXPECT_EQ(vw::WideToUtf8(vw::LogFileName(At(2024, 3, 5, 8, 7, 0))), "VaultwrenLog20240305.txt");
    EXPECT_EQ(vw::WideToUtf8(vw::LogFileName(At(2023, 12, 31, 23, 59, 59))), "VaultwrenLog20231231.txt");
}

TEST(LogWriterTest, DesktopFolderIsKnown)
{
    EXPECT_FALSE(vw::DesktopFolder().empty());
}

size_t FilesIn(const ScratchFolder& folder)
{
    WIN32_FIND_DATAW data;
    vw::UniqueFindHandle find(FindFirstFileW((folder / L"*").c_str(), &data));
    size_t count = 0;
    if (find) {
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                ++count;
        } while (FindNextFileW(find.get(), &data));
    }
    return count;
}

TEST(LogWriterTest, WithoutTheSwitchNoFileIsMade)
{
    ScratchFolder folder;
    vw::LogWriter log(false, folder.path());
    EXPECT_TRUE(log.WriteLine("CVaultwrenApp::InitInstance", L"Vaultwren准备正常启动"));
    EXPECT_TRUE(log.WriteLine("CVaultwrenApp::InitInstance", L"Vaultwren正常退出"));
    EXPECT_EQ(FilesIn(folder), 0u);
}

TEST(LogWriterTest, LinesAreAppendedToTheFileOfTheDay)
{
    ScratchFolder folder;
    const std::wstring path = folder / L"VaultwrenLog20240305.txt";
    ASSERT_TRUE(vwtest::WriteFileBytes(path, "earlier run\r\n"));
    {
        vw::LogWriter log(true, folder.path(), [] { return At(2024, 3, 5, 8, 7, 0); });
        EXPECT_TRUE(log.WriteLine("CVaultwrenApp::InitInstance", L"Vaultwren准备正常启动"));
        EXPECT_TRUE(log.WriteLine("CVaultwrenDlg::OnCancel", L"Vaultwren消除托盘图标"));
    }
    EXPECT_EQ(ReadFileBytes(path),
              "earlier run\r\n"
              "2024-03-05 08:07:00 CVaultwrenApp::InitInstance() Vaultwren\xd7\xbc\xb1\xb8\xd5\xfd\xb3\xa3\xc6\xf4\xb6\xaf\r\n"
              "2024-03-05 08:07:00 CVaultwrenDlg::OnCancel() Vaultwren\xcf\xfb\xb3\xfd\xcd\xd0\xc5\xcc\xcd\xbc\xb1\xea\r\n")
        << "an existing log is extended, never truncated; GBK without a byte-order mark";
    EXPECT_EQ(FilesIn(folder), 1u);
}

TEST(LogWriterTest, SystemClockNamesTheFileAfterToday)
{
    ScratchFolder folder;
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    {
        vw::LogWriter log(true, folder.path());
        EXPECT_TRUE(log.WriteLine("CVaultwrenApp::InitInstance", L"Vaultwren准备正常启动"));
    }
    GetLocalTime(&after);
    EXPECT_TRUE(vwtest::FileExists(folder / vw::LogFileName(before)) ||
                vwtest::FileExists(folder / vw::LogFileName(after)));
    EXPECT_EQ(FilesIn(folder), 1u);
}

TEST(LogWriterTest, RunAcrossMidnightKeepsWritingTheFileOfItsFirstDay)
{
    ScratchFolder folder;
    SYSTEMTIME now = At(2024, 3, 5, 23, 59, 30);
    const auto clock = [&now] { return now; };
    {
        vw::LogWriter log(true, folder.path(), clock);
        EXPECT_TRUE(log.WriteLine("CVaultwrenApp::InitInstance", L"start"));
        now = At(2024, 3, 6, 0, 1, 0);
        EXPECT_TRUE(log.WriteLine("CVaultwrenApp::InitInstance", L"exit"));
    }
    EXPECT_EQ(ReadFileBytes(folder / L"VaultwrenLog20240305.txt"),
              "2024-03-05 23:59:30 CVaultwrenApp::InitInstance() start\r\n"
              "2024-03-06 00:01:00 CVaultwrenApp::InitInstance() exit\r\n");
    EXPECT_FALSE(vwtest::FileExists(folder / L"VaultwrenLog20240306.txt"));

    // The next run appends to the file of its own first day.
    {
        vw::LogWriter log(true, folder.path(), clock);
        EXPECT_TRUE(log.WriteLine("Next", L"run"));
    }
    EXPECT_EQ(ReadFileBytes(folder / L"VaultwrenLog20240306.txt"), "2024-03-06 00:01:00 Next() run\r\n");
}

TEST(LogWriterTest, FileIsReadableMeanwhileButHeldAgainstOtherWritersForTheWholeRun)
{
    ScratchFolder folder;
    const std::wstring path = folder / L"VaultwrenLog20240305.txt";
    const auto clock = [] { return At(2024, 3, 5, 8, 7, 0); };
    vw::LogWriter first(true, folder.path(), clock);
    ASSERT_TRUE(first.WriteLine("First", L"a"));

    // A second copy of the program loses its lines while the first one holds the file.
    vw::LogWriter second(true, folder.path(), clock);
    EXPECT_FALSE(second.WriteLine("Second", L"b"));

    // The user reads the log while the program runs (as "type" or an editor opens it).
    {
        vw::UniqueFile reader(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(reader.valid()) << GetLastError();
        char bytes[64] = {};
        DWORD got = 0;
        ASSERT_TRUE(ReadFile(reader.get(), bytes, sizeof(bytes) - 1, &got, nullptr));
        EXPECT_EQ(std::string(bytes, got), "2024-03-05 08:07:00 First() a\r\n");
        // Anyone who wants to write is kept out.
        vw::UniqueFile writer(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
        EXPECT_FALSE(writer.valid());
        EXPECT_EQ(GetLastError(), DWORD{ERROR_SHARING_VIOLATION});
    }

    EXPECT_TRUE(first.WriteLine("First", L"c"));
}

TEST(LogWriterTest, LockedFileLosesTheLineAndTheNextLineTriesAgain)
{
    ScratchFolder folder;
    const std::wstring path = folder / L"VaultwrenLog20240305.txt";
    {
        vw::LogWriter log(true, folder.path(), [] { return At(2024, 3, 5, 8, 7, 0); });
        {
            vw::UniqueFile lock(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
            ASSERT_TRUE(lock.valid());
            EXPECT_FALSE(log.WriteLine("Locked", L"lost"));
        }
        EXPECT_TRUE(log.WriteLine("Free", L"kept"));
    }
    EXPECT_EQ(ReadFileBytes(path), "2024-03-05 08:07:00 Free() kept\r\n");
}

TEST(LogWriterTest, AFolderDeeperThanThePlainLimitTakesTheLines)
{
    ScratchFolder scratch;
    std::wstring folder = scratch.path();
    for (const wchar_t letter : {L'd', L'e', L's', L'k'})
        folder += std::wstring(70, letter) + L"\\";
    const std::wstring path = L"\\\\?\\" + folder + L"VaultwrenLog20240305.txt";
    ASSERT_TRUE(vwtest::WriteFileBytes(path, "earlier run\r\n"));
    ASSERT_GT(folder.size(), size_t{MAX_PATH});
    {
        vw::LogWriter log(true, folder, [] { return At(2024, 3, 5, 8, 7, 0); });
        EXPECT_TRUE(log.WriteLine("Deep", L"one"));
        EXPECT_TRUE(log.WriteLine("Deep", L"two"));
    }
    EXPECT_EQ(ReadFileBytes(path),
              "earlier run\r\n"
              "2024-03-05 08:07:00 Deep() one\r\n"
              "2024-03-05 08:07:00 Deep() two\r\n");
}

TEST(LogWriterTest, MissingFolderLosesTheLine)
{
    ScratchFolder folder;
    vw::LogWriter log(true, folder / L"missing");
    EXPECT_FALSE(log.WriteLine("X", L"y"));
}

}  // namespace
