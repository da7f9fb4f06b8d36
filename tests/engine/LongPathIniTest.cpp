// Initialisation files deeper than the plain path limit, on a real test drive.
#include "engine/LongPathIni.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/TestDrives.h"
#include "win/Format.h"

namespace {

std::wstring Extended(const std::wstring& path)
{
    return L"\\\\?\\" + path;
}

// A folder under the scratch folder whose files lie beyond MAX_PATH.
std::wstring DeepFolder(const vwtest::ScratchFolder& scratch)
{
    std::wstring folder = scratch.path();
    for (const wchar_t letter : {L'x', L'y', L'z'})
        folder += std::wstring(90, letter) + L"\\";
    EXPECT_TRUE(vwtest::WriteFileBytes(Extended(folder + L"placeholder"), ""));
    return folder;
}

TEST(LongPathIni, ADeepFileTakesWhatTheProfileCallsWriteIntoAShallowOne)
{
    vwtest::ScratchFolder scratch(vwtest::kDiskM, L"ini");
    const std::wstring deep = DeepFolder(scratch) + L"marker.ini";
    const std::wstring shallow = scratch / L"marker.ini";
    ASSERT_GT(deep.size(), size_t{MAX_PATH});

    struct Write {
        const wchar_t* section;
        const wchar_t* key;
        const wchar_t* value;
    };
    const Write writes[] = {
        {L"PC12024030508070000123", L"CreateTime", L"2024-03-05 08:07:00"},
        {L"电脑2024", L"CreateTime", L"2024-03-06 09:00:00"},
        {L"PC12024030508070000123", L"LastTime", L"2024-03-07 10:11:12"},
        {L"PC12024030508070000123", L"CreateTime", L"2025-01-01 00:00:00"},
        {L"Other", L"Note", L""},
    };
    vw::LongPathIni deepIni(deep);
    vw::LongPathIni shallowIni(shallow);
    for (const Write& w : writes) {
        SCOPED_TRACE(vw::WideToUtf8(w.section) + "/" + vw::WideToUtf8(w.key));
        EXPECT_TRUE(deepIni.SetString(w.section, w.key, w.value));
        EXPECT_TRUE(shallowIni.SetString(w.section, w.key, w.value));
        EXPECT_EQ(vwtest::ReadFileBytes(Extended(deep)), vwtest::ReadFileBytes(shallow));
    }

    // A section name outside the system's code page reads back as the profile calls read it, which
    // depends on that code page: the deep file only has to agree with the shallow one there.
    constexpr wchar_t kAsShallow[] = L"<as the shallow file>";
    const Write reads[] = {
        {L"PC12024030508070000123", L"CreateTime", L"2025-01-01 00:00:00"},
        {L"pc12024030508070000123", L"lasttime", L"2024-03-07 10:11:12"},
        {L"电脑2024", L"CreateTime", kAsShallow},
        {L"电脑2024", L"LastTime", nullptr},
        {L"Other", L"Note", nullptr},
        {L"Missing", L"CreateTime", nullptr},
    };
    for (const Write& r : reads) {
        SCOPED_TRACE(vw::WideToUtf8(r.section) + "/" + vw::WideToUtf8(r.key));
        std::wstring deepValue = L"untouched";
        std::wstring shallowValue = L"untouched";
        const bool deepFound = deepIni.GetString(r.section, r.key, deepValue);
        EXPECT_EQ(deepFound, shallowIni.GetString(r.section, r.key, shallowValue));
        EXPECT_EQ(deepValue, shallowValue);
        if (r.value != kAsShallow) {
            EXPECT_EQ(deepFound, r.value != nullptr);
            EXPECT_EQ(deepValue, r.value ? r.value : L"untouched");
        }
    }
}

TEST(LongPathIni, AHiddenDeepFileIsRewrittenAndStaysHidden)
{
    vwtest::ScratchFolder scratch(vwtest::kDiskM, L"ini");
    const std::wstring deep = DeepFolder(scratch) + L"_Vaultwren.ini";
    vw::LongPathIni ini(deep);
    ASSERT_TRUE(ini.SetString(L"A", L"CreateTime", L"2024-03-05 08:07:00"));
    ASSERT_TRUE(SetFileAttributesW(Extended(deep).c_str(), FILE_ATTRIBUTE_HIDDEN));

    ASSERT_TRUE(ini.SetString(L"A", L"LastTime", L"2024-03-06 09:00:00"));
    EXPECT_TRUE(GetFileAttributesW(Extended(deep).c_str()) & FILE_ATTRIBUTE_HIDDEN);
    std::wstring value;
    EXPECT_TRUE(ini.GetString(L"A", L"LastTime", value));
    EXPECT_EQ(value, L"2024-03-06 09:00:00");
}

TEST(LongPathIni, MissingDeepFilesAndFoldersFailWithoutCreatingAnything)
{
    vwtest::ScratchFolder scratch(vwtest::kDiskM, L"ini");
    const std::wstring folder = DeepFolder(scratch);
    const std::wstring absent = folder + L"absent.ini";
    const std::wstring inMissingFolder = folder + L"missing\\a.ini";

    std::wstring value = L"untouched";
    EXPECT_FALSE(vw::LongPathIni(absent).GetString(L"A", L"CreateTime", value));
    EXPECT_EQ(value, L"untouched");
    EXPECT_FALSE(vwtest::FileExists(Extended(absent)));

    EXPECT_FALSE(vw::LongPathIni(inMissingFolder).SetString(L"A", L"CreateTime", L"2024-03-05 08:07:00"));
    EXPECT_FALSE(vwtest::FileExists(Extended(folder + L"missing")));
}

}  // namespace

namespace {

TEST(LongPathIni, DeepFilesWorkedOnInTurnNeverTakeEachOthersContent)
{
    // Each call works on a copy in the temporary folder; two files used one after the other, faster
    // than the file system's clock moves, must not meet in one copy's name.
    vwtest::ScratchFolder scratch(vwtest::kDiskM, L"ini-turns");
    const std::wstring folder = DeepFolder(scratch);
    vw::LongPathIni first(folder + L"first.ini");
    vw::LongPathIni second(folder + L"second.ini");
    for (int round = 0; round < 40; ++round) {
        ASSERT_TRUE(first.SetString(L"First", vw::Format(L"K%d", round), L"1"));
        ASSERT_TRUE(second.SetString(L"Second", vw::Format(L"K%d", round), L"2"));
        std::wstring value;
        EXPECT_FALSE(second.GetString(L"First", L"K0", value)) << round;
        EXPECT_FALSE(first.GetString(L"Second", L"K0", value)) << round;
        ASSERT_TRUE(first.GetString(L"First", vw::Format(L"K%d", round), value)) << round;
    }
    const std::string firstBytes = vwtest::ReadFileBytes(Extended(folder + L"first.ini"));
    const std::string secondBytes = vwtest::ReadFileBytes(Extended(folder + L"second.ini"));
    EXPECT_EQ(firstBytes.find("Second"), std::string::npos);
    EXPECT_EQ(secondBytes.find("First"), std::string::npos);
    EXPECT_NE(firstBytes.find("K39=1"), std::string::npos);
    EXPECT_NE(secondBytes.find("K39=2"), std::string::npos);
}

}  // namespace
