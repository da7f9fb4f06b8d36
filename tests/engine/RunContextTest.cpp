#include "engine/RunContext.h"

#include <gtest/gtest.h>

#include <atomic>
#include <regex>
#include <thread>

#include "task/AppSettings.h"
#include "win/Format.h"
#include "win/UniqueHandle.h"

using namespace vw;

namespace {

std::wstring Lines(int from, int to)
{
    std::wstring text;
    for (int i = from; i <= to; ++i)
        text += Format(L"line %d\n", i);
    return text;
}

}  // namespace

TEST(RunContext, StartsIdle)
{
    AppSettings settings;
    RunContext context(settings);
    EXPECT_EQ(kRunIdle, context.runState.load());
    EXPECT_EQ(1, context.stopFlag.load());
    EXPECT_GE(context.windowsMajorVersion, 6);
    EXPECT_EQ(kRunIdle, context.CurrentTaskState());
    EXPECT_TRUE(context.CurrentFile().empty());
    EXPECT_FALSE(context.HasPauseEvent());
    context.WaitPauseEvent();  // returns at once without an event
    context.PostToWindow(WM_USER, 0);  // no window: nothing happens
}

TEST(RunContext, StatusLineFormat)
{
    AppSettings settings;
    RunContext context(settings);
    context.AppendStatusLine(L"备份完成");
    context.AppendStatusLine(L"second");
    const std::wstring history = context.StatusHistory();
    EXPECT_TRUE(std::regex_match(history, std::wregex(L"\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\t备份完成\r\n"
                                                      L"\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\tsecond\r\n")))
        << history;
}

TEST(RunContext, TrimStatusHistory)
{
    struct Case {
        int lines;
        int trim;
        std::wstring after;
    };
    const Case cases[] = {
        {105, 5, Lines(6, 105)},  // the status panel keeps the newest 100
        {105, 0, Lines(1, 105)},
        {105, -3, Lines(1, 105)},
        {3, 5, L""},
        {3, 3, L""},
        {3, 1, Lines(2, 3)},
        {0, 2, L""},
    };
    AppSettings settings;
    for (const Case& c : cases) {
        RunContext context(settings);
        for (int i = 1; i <= c.lines; ++i)
            context.AppendStatusLine(Format(L"line %d", i));
        context.TrimStatusHistory(c.trim);
        // Drop the time stamps and carriage returns to compare the texts alone.
        std::wstring texts = std::regex_replace(context.StatusHistory(), std::wregex(L"[^\t\n]*\t"), L"");
        texts = std::regex_replace(texts, std::wregex(L"\r"), L"");
        EXPECT_EQ(c.after, texts) << c.lines << " lines, trim " << c.trim;
    }
}

TEST(RunContext, PauseEvent)
{
    AppSettings settings;
    RunContext context(settings);
    ASSERT_TRUE(context.CreatePauseEvent());
    EXPECT_TRUE(context.HasPauseEvent());
    context.WaitPauseEvent();  // created signalled

    context.ResetPauseEvent();
    std::atomic<bool> released{false};
    std::thread waiter([&] {
        context.WaitPauseEvent();
        released = true;
    });
    Sleep(100);
    EXPECT_FALSE(released.load());
    context.SetPauseEvent();
    waiter.join();
    EXPECT_TRUE(released.load());

    context.ClosePauseEvent();
    EXPECT_FALSE(context.HasPauseEvent());
}

TEST(RunContext, PostsToItsWindow)
{
    AppSettings settings;
    RunContext context(settings);
    UniqueWindow window(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
    ASSERT_TRUE(window);
    context.window = window.get();
    context.PostToWindow(WM_USER + 7, 42);
    MSG message{};
    ASSERT_TRUE(PeekMessageW(&message, window.get(), WM_USER + 7, WM_USER + 7, PM_REMOVE));
    EXPECT_EQ(42u, message.wParam);
    EXPECT_EQ(0, message.lParam);
}

// A message posted before a new generation began is not current; one posted after it is.
TEST(RunContext, APostCarriesItsGenerationAndOnlyTheLatestIsCurrent)
{
    AppSettings settings;
    RunContext context(settings);
    UniqueWindow window(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
    ASSERT_TRUE(window);
    context.window = window.get();
    const auto post = [&] {
        context.PostToWindow(WM_USER + 7, 0);
        MSG message{};
        EXPECT_TRUE(PeekMessageW(&message, window.get(), WM_USER + 7, WM_USER + 7, PM_REMOVE));
        return message.lParam;
    };
    const LPARAM before = post();
    context.NewGeneration();
    const LPARAM after = post();
    EXPECT_NE(before, after);
    EXPECT_FALSE(context.IsCurrent(before));
    EXPECT_TRUE(context.IsCurrent(after));
}
