#include <gtest/gtest.h>

#include <windows.h>

#include "support/TestDrives.h"
#include "updater/CKoFile.h"
#include "updater/ProgramFolders.h"

namespace {

std::wstring TempFolder()
{
    wchar_t buffer[MAX_PATH + 1];
    std::wstring folder(buffer, GetTempPathW(MAX_PATH + 1, buffer));
    if (folder.back() != L'\\')
        folder += L'\\';
    return folder;
}

TEST(ProgramFolderFile, IsTheProgramsFolderAndTheName)
{
    wchar_t self[MAX_PATH];
    std::wstring program(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    const std::wstring folder = program.substr(0, program.rfind(L'\\') + 1);

    std::wstring out;
    EXPECT_EQ(vw::ProgramFolderFile(out, L"Updater.exe"), folder.size() + 11);
    EXPECT_EQ(out, folder + L"Updater.exe");
    EXPECT_EQ(vw::ProgramFolderFile(out, L""), folder.size());
    EXPECT_EQ(out, folder);
}

TEST(TempFolderFile, JoinsSubPathAndNameWithOneBackslashEach)
{
    struct Case {
        const wchar_t* subPath;
        const wchar_t* name;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"\\a", L"b", L"a\\b"},
        {L"a\\", L"b", L"a\\b"},
        {L"Software\\Morrowfen\\Vaultwren\\", L"", L"Software\\Morrowfen\\Vaultwren\\"},
        {L"Software\\Morrowfen\\Vaultwren\\", L"Update\\x.dll", L"Software\\Morrowfen\\Vaultwren\\Update\\x.dll"},
        {L"", L"Updater.ini", L"Updater.ini"},
    };
    for (const Case& c : cases) {
        std::wstring out;
        const std::wstring expected = TempFolder() + c.expected;
        EXPECT_EQ(vw::TempFolderFile(out, c.subPath, c.name), expected.size()) << c.subPath << L" + " << c.name;
        EXPECT_EQ(out, expected);
    }
}

TEST(FindFileSize, SizeOfTheFirstEntryOrMinusOne)
{
    vwtest::ScratchFolder folder;
    ASSERT_TRUE(vwtest::WriteFileOfSize(folder / L"five.bin", 5));
    ASSERT_TRUE(vwtest::WriteFileOfSize(folder / L"empty.bin", 0));
    EXPECT_EQ(vw::FindFileSize(folder / L"five.bin"), 5);
    EXPECT_EQ(vw::FindFileSize(folder / L"empty.bin"), 0);
    EXPECT_EQ(vw::FindFileSize(folder / L"missing.bin"), -1);
    EXPECT_EQ(vw::FindFileSize(folder / L"missing\\deeper.bin"), -1);
}

TEST(CKoFile, CreatingOpenMakesTheMissingFolders)
{
    vwtest::ScratchFolder folder;
    vw::CKoFile file;
    ASSERT_TRUE(file.Open(folder / L"new\\dir\\f.bin", vw::CKoFile::modeCreate | vw::CKoFile::modeWrite));
    ASSERT_TRUE(file.Write("abc", 3));
    file.Close();
    EXPECT_EQ(vwtest::ReadFileBytes(folder / L"new\\dir\\f.bin"), "abc");

    // Creating again empties it; opening without creating makes no folders.
    ASSERT_TRUE(file.Open(folder / L"new\\dir\\f.bin", vw::CKoFile::modeCreate | vw::CKoFile::modeWrite));
    file.Close();
    EXPECT_EQ(vw::FindFileSize(folder / L"new\\dir\\f.bin"), 0);
    EXPECT_FALSE(file.Open(folder / L"other\\g.bin", vw::CKoFile::modeWrite));
    EXPECT_FALSE(vwtest::FileExists(folder / L"other"));
}

}  // namespace
