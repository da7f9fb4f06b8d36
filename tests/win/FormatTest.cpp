#include <gtest/gtest.h>

#include "win/Format.h"
#include "win/UniqueHandle.h"

namespace {

TEST(Format, WideConversionsFollowTheWindowsRuntime)
{
    EXPECT_EQ(vw::Format(L"任务“%s”开始...", L"文档"), L"任务“文档”开始...");
    EXPECT_EQ(vw::Format(L"%d/%c/%3.1f", 42, L'D', 12.345), L"42/D/12.3");
    EXPECT_EQ(vw::Format(L"%s", L""), L"");
}

TEST(Format, Utf8RoundTrip)
{
    const std::wstring text = L"_历史文件 ä €";
    EXPECT_EQ(vw::Utf8ToWide(vw::WideToUtf8(text)), text);
}

TEST(UniqueHandle, ClosesAndReleases)
{
    vw::UniqueHandle event(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    ASSERT_TRUE(event);
    HANDLE raw = event.get();
    vw::UniqueHandle moved = std::move(event);
    EXPECT_FALSE(event);
    EXPECT_EQ(moved.get(), raw);
    moved.reset();
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(raw, &flags));

    vw::UniqueFile none;
    EXPECT_EQ(none.get(), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(none);
}

}  // namespace
