#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "support/TestDrives.h"
#include "win/Format.h"
#include "win/IniFile.h"
#include "win/UniqueHandle.h"

namespace {

using vwtest::ReadFileBytes;
using vwtest::ScratchFolder;
using vwtest::WriteFileBytes;

TEST(IniFile, WritesAndReadsKeysOfSections)
{
    ScratchFolder folder;
    vw::IniFile ini(folder / L"_Vaultwren.ini");
    ASSERT_TRUE(ini.SetString(L"{task-1}", L"Name", L"docs"));
    ASSERT_TRUE(ini.SetString(L"{task-1}", L"Count", L"42"));
    ASSERT_TRUE(ini.SetString(L"other", L"Count", L"-3"));
    EXPECT_EQ(ReadFileBytes(ini.Path()), "[{task-1}]\r\nName=docs\r\nCount=42\r\n[other]\r\nCount=-3\r\n");

    std::wstring value = L"untouched";
    EXPECT_TRUE(ini.GetString(L"{task-1}", L"Name", value));
    EXPECT_EQ(value, L"docs");
    EXPECT_EQ(ini.GetInt(L"{task-1}", L"Count", 7), 42);
    EXPECT_EQ(ini.GetInt(L"{task-1}", L"Missing", 7), 7);
    EXPECT_EQ(ini.GetInt(L"missing", L"Count", 7), 7);

    ASSERT_TRUE(ini.SetString(L"{task-1}", L"Name", L"photos"));
    EXPECT_TRUE(ini.GetString(L"{task-1}", L"Name", value));
    EXPECT_EQ(value, L"photos");
}

TEST(IniFile, MissingAndEmptyKeysReadAsFalseAndLeaveTheValue)
{
    ScratchFolder folder;
    ASSERT_TRUE(WriteFileBytes(folder / L"a.ini", "[s]\r\nEmpty=\r\nText=abc\r\n"));
    vw::IniFile ini(folder / L"a.ini");
    vw::IniFile absent(folder / L"absent.ini");

    struct Case {
        const vw::IniFile* file;
        const wchar_t* section;
        const wchar_t* key;
    };
    const Case cases[] = {
        {&ini, L"s", L"Empty"},
        {&ini, L"s", L"Missing"},
        {&ini, L"missing", L"Text"},
        {&absent, L"s", L"Text"},
    };
    for (const Case& c : cases) {
        std::wstring value = L"kept";
        EXPECT_FALSE(c.file->GetString(c.section, c.key, value)) << vw::WideToUtf8(c.key);
        EXPECT_EQ(value, L"kept");
    }
}

TEST(IniFile, ATextLongerThanTheBufferIsCutToIt)
{
    ScratchFolder folder;
    vw::IniFile ini(folder / L"long.ini");
    const std::wstring text(300, L'x');
    ASSERT_TRUE(ini.SetString(L"s", L"Text", text));

    std::wstring value;
    EXPECT_TRUE(ini.GetString(L"s", L"Text", value));  // 128 characters with the NUL
    EXPECT_EQ(value, std::wstring(127, L'x'));
    EXPECT_TRUE(ini.GetString(L"s", L"Text", value, 1024));
    EXPECT_EQ(value, text);
}

TEST(IniFile, AFileThatCannotBeWrittenReportsFalse)
{
    ScratchFolder folder;
    ASSERT_TRUE(WriteFileBytes(folder / L"locked.ini", "[s]\r\nKey=old\r\n"));
    vw::IniFile locked(folder / L"locked.ini");
    vw::IniFile noFolder(folder / L"missing\\a.ini");
    {
        vw::UniqueFile holder(CreateFileW(locked.Path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(holder);
        EXPECT_FALSE(locked.SetString(L"s", L"Key", L"new"));
    }
    EXPECT_EQ(ReadFileBytes(locked.Path()), "[s]\r\nKey=old\r\n");
    EXPECT_FALSE(noFolder.SetString(L"s", L"Key", L"new"));
    EXPECT_FALSE(vwtest::FileExists(noFolder.Path()));
}

}  // namespace
