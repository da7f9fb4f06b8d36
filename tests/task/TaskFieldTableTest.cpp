// The field table every load, save and editor comparison goes through: a key, an entry name or a
// field listed twice would leave another one never stored.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "task/TaskFieldTable.h"
#include "win/Format.h"

TEST(TaskFieldTable, EveryKeyEntryAndFieldAppearsOnceWithTheIdFirst)
{
    std::set<int> keys;
    std::set<std::wstring> names;
    std::set<const void*> fields;
    vw::TaskFields probe;
    for (const vw::TaskFieldInfo& field : vw::TaskFieldTable()) {
        EXPECT_TRUE(keys.insert(static_cast<int>(field.key)).second) << static_cast<int>(field.key);
        EXPECT_TRUE(names.insert(field.name).second) << vw::WideToUtf8(field.name);
        const void* member = field.number ? static_cast<const void*>(&(probe.*field.number))
                             : field.text ? static_cast<const void*>(&(probe.*field.text))
                                          : static_cast<const void*>(&(probe.*field.time));
        EXPECT_TRUE(fields.insert(member).second) << vw::WideToUtf8(field.name);
        EXPECT_EQ(&vw::FieldOf(field.key), &field);
    }
    EXPECT_EQ(keys.size(), 17u);
    EXPECT_EQ(*keys.begin(), 0);
    EXPECT_EQ(*keys.rbegin(), 16);
    EXPECT_EQ(vw::TaskFieldTable().front().key, vw::TaskKey::Id);
}
