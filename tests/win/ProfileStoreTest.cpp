#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/RegistryLock.h"
#include "support/TestRegistry.h"
#include "win/ProfileStore.h"
#include "win/UniqueHandle.h"

namespace {

struct RawValue {
    LSTATUS status = ERROR_FILE_NOT_FOUND;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// What the registry itself holds, read past the store.
RawValue ReadRaw(const std::wstring& keyPath, const std::wstring& name)
{
    RawValue raw;
    DWORD size = 0;
    raw.status = RegGetValueW(HKEY_CURRENT_USER, keyPath.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND,
                              &raw.type, nullptr, &size);
    if (raw.status != ERROR_SUCCESS)
        return raw;
    raw.data.resize(size);
    raw.status = RegGetValueW(HKEY_CURRENT_USER, keyPath.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND,
                              &raw.type, raw.data.data(), &size);
    raw.data.resize(size);
    return raw;
}

void WriteRaw(const std::wstring& keyPath, const std::wstring& name, DWORD type, const void* data, DWORD size)
{
    vw::UniqueHKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                              nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
}

class ProfileStoreTest : public ::testing::Test {
protected:
    std::wstring Section(const std::wstring& name) const { return key_.path() + L"\\" + name; }

    vwtest::TestRegistryKey key_{L"profile-store"};
    vw::ProfileStore store_{key_.path()};
};

TEST_F(ProfileStoreTest, WritesDwordsAndNulTerminatedStringsIntoTheSectionKey)
{
    EXPECT_FALSE(store_.SectionExists(L"Item0"));
    ASSERT_TRUE(store_.SetInt(L"Item0", L"Week", -2));
    ASSERT_TRUE(store_.SetString(L"Item0", L"Name", L"文档"));
    EXPECT_TRUE(store_.SectionExists(L"Item0"));

    const RawValue week = ReadRaw(Section(L"Item0"), L"Week");
    ASSERT_EQ(week.status, ERROR_SUCCESS);
    EXPECT_EQ(week.type, static_cast<DWORD>(REG_DWORD));
    ASSERT_EQ(week.data.size(), sizeof(DWORD));
    EXPECT_EQ(*reinterpret_cast<const DWORD*>(week.data.data()), 0xFFFFFFFEu);

    const RawValue name = ReadRaw(Section(L"Item0"), L"Name");
    ASSERT_EQ(name.status, ERROR_SUCCESS);
    EXPECT_EQ(name.type, static_cast<DWORD>(REG_SZ));
    const wchar_t expected[] = L"文档";  // with its NUL
    ASSERT_EQ(name.data.size(), sizeof(expected));
    EXPECT_EQ(0, memcmp(name.data.data(), expected, sizeof(expected)));

    EXPECT_EQ(store_.GetInt(L"Item0", L"Week", 127), -2);
    EXPECT_EQ(store_.GetString(L"Item0", L"Name", L"x"), L"文档");
}

TEST_F(ProfileStoreTest, ReadsGiveTheDefaultForWhatIsMissingOrOfAnotherType)
{
    ASSERT_TRUE(store_.SetString(L"Item0", L"Text", L"12"));
    ASSERT_TRUE(store_.SetInt(L"Item0", L"Number", 12));
    ASSERT_TRUE(store_.SetString(L"Item0", L"Empty", L""));

    EXPECT_EQ(store_.GetInt(L"Missing", L"Number", 7), 7);
    EXPECT_EQ(store_.GetInt(L"Item0", L"Missing", 7), 7);
    EXPECT_EQ(store_.GetInt(L"Item0", L"Text", 7), 7);
    EXPECT_EQ(store_.GetString(L"Missing", L"Text", L"d"), L"d");
    EXPECT_EQ(store_.GetString(L"Item0", L"Missing", L"d"), L"d");
    EXPECT_EQ(store_.GetString(L"Item0", L"Number", L"d"), L"d");
    // An empty stored text is a value, not a missing one.
    EXPECT_EQ(store_.GetString(L"Item0", L"Empty", L"d"), L"");
}

TEST_F(ProfileStoreTest, ReadsLongTextsAndTextsStoredWithoutTheirNul)
{
    const std::wstring longText(40000, L'长');
    ASSERT_TRUE(store_.SetString(L"Item0", L"Long", longText));
    EXPECT_EQ(store_.GetString(L"Item0", L"Long", L""), longText);

    // Another program may store a REG_SZ without its terminating NUL.
    const wchar_t bare[] = {L'D', L':', L'\\', L'x'};
    WriteRaw(Section(L"Item0"), L"Bare", REG_SZ, bare, sizeof(bare));
    EXPECT_EQ(store_.GetString(L"Item0", L"Bare", L""), L"D:\\x");
}

TEST_F(ProfileStoreTest, RemovingEntriesAndSections)
{
    ASSERT_TRUE(store_.SetInt(L"Item1", L"Index", 1));
    ASSERT_TRUE(store_.SetString(L"Item1", L"Name", L"n"));
    ASSERT_TRUE(store_.SetInt(L"Item1\\Nested", L"Deep", 1));

    EXPECT_TRUE(store_.RemoveEntry(L"Item1", L"Name"));
    EXPECT_EQ(store_.GetString(L"Item1", L"Name", L"gone"), L"gone");
    EXPECT_TRUE(store_.RemoveEntry(L"Item1", L"Name"));     // already gone
    EXPECT_TRUE(store_.RemoveEntry(L"Missing", L"Name"));   // no section at all

    EXPECT_TRUE(store_.RemoveSection(L"Item1"));
    EXPECT_FALSE(store_.SectionExists(L"Item1"));
    EXPECT_EQ(ReadRaw(Section(L"Item1"), L"Index").status, ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(store_.RemoveSection(L"Item1"));  // never there counts as gone
    // The root is not a section: removing it by an empty name is refused and it stays.
    ASSERT_TRUE(store_.SetInt(L"", L"Count", 3));
    EXPECT_FALSE(store_.RemoveSection(L""));
    EXPECT_EQ(store_.GetInt(L"", L"Count", 0), 3);
}

TEST_F(ProfileStoreTest, RefusedWritesAndRemovalsReportFalseAndChangeNothing)
{
    ASSERT_TRUE(store_.SetInt(L"Item0", L"Index", 0));
    {
        vwtest::RegistryLock readOnly(Section(L"Item0"), KEY_SET_VALUE);
        ASSERT_TRUE(readOnly.locked());
        EXPECT_FALSE(store_.SetInt(L"Item0", L"Index", 5));
        EXPECT_FALSE(store_.SetString(L"Item0", L"Name", L"n"));
        EXPECT_FALSE(store_.RemoveEntry(L"Item0", L"Index"));
        EXPECT_EQ(store_.GetInt(L"Item0", L"Index", -1), 0);  // reading is still allowed
    }
    {
        // Wine lets a key go without DELETE access; the walk through its sub-keys needs the listing right.
        vwtest::RegistryLock undeletable(Section(L"Item0"), DELETE | KEY_ENUMERATE_SUB_KEYS);
        ASSERT_TRUE(undeletable.locked());
        EXPECT_FALSE(store_.RemoveSection(L"Item0"));
        EXPECT_TRUE(store_.SectionExists(L"Item0"));
    }
    EXPECT_TRUE(store_.RemoveSection(L"Item0"));
}

TEST_F(ProfileStoreTest, AWriteCreatesTheWholePathBelowAnotherRoot)
{
    vwtest::TestRegistryKey other(L"profile-store-root");
    vw::UniqueHKey root;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, other.path().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              root.put(), nullptr),
              ERROR_SUCCESS);
    vw::ProfileStore nested(L"A\\B", root.get());
    ASSERT_TRUE(nested.SetInt(L"SysInfo", L"MinTime", 90));
    EXPECT_EQ(ReadRaw(other.path() + L"\\A\\B\\SysInfo", L"MinTime").status, ERROR_SUCCESS);
    EXPECT_EQ(nested.GetInt(L"SysInfo", L"MinTime", 0), 90);
}

}  // namespace
