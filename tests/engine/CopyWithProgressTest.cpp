#include "engine/CopyWithProgress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include "engine/Notifications.h"
#include "engine/RunContext.h"
#include "support/TestDrives.h"
#include "support/TestRegistry.h"
#include "task/AppSettings.h"
#include "task/CBackupItem.h"
#include "win/ProfileStore.h"
#include "win/UniqueHandle.h"

using namespace vw;
using vwtest::FileExists;
using Clock = std::chrono::steady_clock;

namespace {

constexpr uint64_t kMiB = 1u << 20;

// Polls `done` every millisecond until it holds or `limit` passes.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(20))
{
    const auto end = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > end)
            return false;
        Sleep(1);
    }
    return true;
}

class CopyTest : public ::testing::Test {
protected:
    CopyTest()
        : key_(L"copy"), profile_(key_.path()), context(settings), task(profile_, settings, 20001),
          window(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr))
    {
        task.state = kTaskRunning;
        context.currentTask = &task;
        context.window = window.get();
        context.stopFlag = 0;
    }

    // The copy on a worker thread, as the engine runs it; the test thread plays the window.
    void StartCopy(const std::wstring& source, const std::wstring& destination)
    {
        worker_ = std::thread([this, source, destination] {
            result = CopyWithProgress(context, source, destination, L"big.bin");
            finished = true;
        });
    }
    void JoinCopy()
    {
        if (worker_.joinable())
            worker_.join();
    }
    ~CopyTest() override
    {
        // Never leave the worker blocked on a pause when an assertion ended the test early.
        context.cancelFlag = 1;
        task.state = kTaskRunning;
        context.SetPauseEvent();
        JoinCopy();
    }

    // Messages of the pause notification posted to the window so far.
    std::vector<MSG> TakePauseMessages()
    {
        std::vector<MSG> messages;
        MSG message{};
        while (PeekMessageW(&message, window.get(), WM_BACKUP_THREAD_PAUSE_MSG, WM_BACKUP_THREAD_PAUSE_MSG, PM_REMOVE))
            messages.push_back(message);
        return messages;
    }

    void ExpectIdleAfterCopy()
    {
        EXPECT_TRUE(context.CurrentFile().empty());
        EXPECT_FALSE(context.HasPauseEvent());
        EXPECT_EQ(0, context.copying.load());
        EXPECT_EQ(0, context.pausedInCopy.load());
    }

private:
    vwtest::TestRegistryKey key_;
    ProfileStore profile_;
    std::thread worker_;

protected:
    AppSettings settings;
    RunContext context;
    CBackupItem task;
    UniqueWindow window;
    vwtest::ScratchFolder scratch;
    std::atomic<bool> result{false};
    std::atomic<bool> finished{false};
};

TEST_F(CopyTest, CopiesContentAttributesAndTimes)
{
    struct Case {
        uint64_t size;
        DWORD attributes;
    };
    const Case cases[] = {
        {0, FILE_ATTRIBUTE_ARCHIVE},
        {1000, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE},
        {kCopyChunkSize, FILE_ATTRIBUTE_HIDDEN},
        {3 * kCopyChunkSize + 17, FILE_ATTRIBUTE_NORMAL},
    };
    const FILETIME written = vwtest::FileTimeFromLocal(2019, 4, 5, 6, 7, 8);
    int n = 0;
    for (const Case& c : cases) {
        const std::wstring source = scratch / (L"src" + std::to_wstring(n));
        const std::wstring destination = scratch / (L"dst" + std::to_wstring(n++));
        ASSERT_TRUE(vwtest::WriteFileOfSize(source, c.size));
        ASSERT_TRUE(vwtest::SetLastWriteTime(source, written));
        ASSERT_TRUE(SetFileAttributesW(source.c_str(), c.attributes));

        EXPECT_TRUE(CopyWithProgress(context, source, destination, L"f.bin")) << c.size;
        // Compared with what the source reports: the file system may add "archive" by itself.
        const DWORD kept = GetFileAttributesW(destination.c_str());
        EXPECT_EQ(GetFileAttributesW(source.c_str()), kept) << c.size;
        EXPECT_EQ(c.attributes & ~FILE_ATTRIBUTE_NORMAL, kept & c.attributes & ~FILE_ATTRIBUTE_NORMAL) << c.size;
        EXPECT_TRUE(vwtest::SameFileTime(written, vwtest::GetLastWriteTime(destination))) << c.size;
        EXPECT_EQ(vwtest::ReadFileBytes(source), vwtest::ReadFileBytes(destination)) << c.size;
        EXPECT_EQ(c.size, context.totalBytes.load());
        EXPECT_EQ(c.size, context.bytesTransferred.load());
        EXPECT_DOUBLE_EQ(100.0, context.progress.load()) << "also for an empty file";
        EXPECT_EQ(0u, context.lastError.load());
        ExpectIdleAfterCopy();
    }
}

TEST_F(CopyTest, ReportsProgressAfterEveryChunk)
{
    constexpr uint64_t chunks = 12;
    ASSERT_TRUE(vwtest::WriteFileOfSize(scratch / L"big.bin", chunks * kCopyChunkSize));
    settings.Speed = 10;  // 30 ms per chunk: slow enough to watch every step
    std::vector<uint64_t> seen;
    std::vector<double> percents;
    bool namedWhileCopying = false;
    StartCopy(scratch / L"big.bin", scratch / L"copy.bin");
    while (!finished) {
        const uint64_t transferred = context.bytesTransferred;
        if (context.copying && context.CurrentFile() == L"big.bin")
            namedWhileCopying = true;
        if (seen.empty() || transferred != seen.back()) {
            seen.push_back(transferred);
            percents.push_back(context.progress);
        }
        Sleep(2);
    }
    JoinCopy();
    ASSERT_TRUE(result);
    EXPECT_TRUE(namedWhileCopying);
    EXPECT_GE(seen.size(), chunks / 2) << "a report per chunk, not one at the end";
    for (size_t i = 1; i < seen.size(); ++i) {
        EXPECT_GT(seen[i], seen[i - 1]);
        EXPECT_EQ(0u, seen[i] % kCopyChunkSize) << "reports fall on chunk boundaries";
    }
    EXPECT_EQ(chunks * kCopyChunkSize, context.bytesTransferred.load());
    EXPECT_DOUBLE_EQ(100.0, context.progress.load());
    EXPECT_EQ(vwtest::ReadFileBytes(scratch / L"big.bin"), vwtest::ReadFileBytes(scratch / L"copy.bin"));
}

TEST_F(CopyTest, PauseHoldsTheCopyAndResumeContinuesIt)
{
    constexpr uint64_t size = 24 * kCopyChunkSize;
    ASSERT_TRUE(vwtest::WriteFileOfSize(scratch / L"big.bin", size));
    settings.Speed = 10;
    StartCopy(scratch / L"big.bin", scratch / L"copy.bin");
    ASSERT_TRUE(WaitUntil([&] { return context.bytesTransferred >= 4 * kCopyChunkSize; }));

    // What the user's pause does: the task's state alone.
    task.state = kTaskPaused;
    std::vector<MSG> messages;
    ASSERT_TRUE(WaitUntil([&] {
        for (const MSG& m : TakePauseMessages())
            messages.push_back(m);
        return !messages.empty();
    }));
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ(0u, messages[0].wParam);
    EXPECT_EQ(0, messages[0].lParam);
    EXPECT_EQ(1, context.pausedInCopy.load());
    const uint64_t heldAt = context.bytesTransferred;
    Sleep(400);  // a dozen chunks' time
    EXPECT_EQ(heldAt, context.bytesTransferred.load()) << "no progress while paused";
    EXPECT_LT(heldAt, size);
    EXPECT_FALSE(finished);
    EXPECT_TRUE(TakePauseMessages().empty()) << "one notification per pause";

    // What Resume does for a copy held on its event.
    task.state = kTaskRunning;
    context.SetPauseEvent();
    context.pausedInCopy = 0;
    uint64_t lowest = UINT64_MAX;
    while (!finished) {
        lowest = std::min<uint64_t>(lowest, context.bytesTransferred);
        Sleep(2);
    }
    JoinCopy();
    EXPECT_TRUE(result);
    EXPECT_GE(lowest, heldAt) << "the copy went on from where it stopped";
    EXPECT_EQ(size, context.bytesTransferred.load());
    EXPECT_EQ(vwtest::ReadFileBytes(scratch / L"big.bin"), vwtest::ReadFileBytes(scratch / L"copy.bin"));
    ExpectIdleAfterCopy();
}

TEST_F(CopyTest, CancelGivesUpAndLeavesNoFile)
{
    ASSERT_TRUE(vwtest::WriteFileOfSize(scratch / L"big.bin", 16 * kCopyChunkSize));
    settings.Speed = 10;
    context.cancelFlag = 1;  // a stale flag from before this copy does not count
    StartCopy(scratch / L"big.bin", scratch / L"copy.bin");
    ASSERT_TRUE(WaitUntil([&] { return context.bytesTransferred >= 2 * kCopyChunkSize; }));
    context.cancelFlag = 1;
    ASSERT_TRUE(WaitUntil([&] { return finished.load(); }));
    JoinCopy();
    EXPECT_FALSE(result);
    EXPECT_EQ(static_cast<uint32_t>(ERROR_REQUEST_ABORTED), context.lastError.load());
    EXPECT_EQ(0, context.stopFlag.load()) << "a cancelled copy is not fatal";
    EXPECT_FALSE(FileExists(scratch / L"copy.bin"));
    EXPECT_TRUE(FileExists(scratch / L"big.bin"));
    ExpectIdleAfterCopy();
}

TEST_F(CopyTest, CancelWhilePausedEndsTheWait)
{
    ASSERT_TRUE(vwtest::WriteFileOfSize(scratch / L"big.bin", 16 * kCopyChunkSize));
    settings.Speed = 10;
    StartCopy(scratch / L"big.bin", scratch / L"copy.bin");
    ASSERT_TRUE(WaitUntil([&] { return context.bytesTransferred >= kCopyChunkSize; }));
    task.state = kTaskPaused;
    ASSERT_TRUE(WaitUntil([&] { return context.pausedInCopy == 1; }));
    // The controller's stop: raise the cancel flag and let the held copy go.
    context.cancelFlag = 1;
    context.SetPauseEvent();
    ASSERT_TRUE(WaitUntil([&] { return finished.load(); }));
    JoinCopy();
    EXPECT_FALSE(result);
    EXPECT_EQ(static_cast<uint32_t>(ERROR_REQUEST_ABORTED), context.lastError.load());
    EXPECT_FALSE(FileExists(scratch / L"copy.bin"));
    ExpectIdleAfterCopy();
}

TEST_F(CopyTest, FullDiskIsFatalAndLeavesNoPartialFile)
{
    if (!vwtest::DriveAvailable(vwtest::kFullDisk))
        GTEST_SKIP() << "no full-disk drive here";
    ASSERT_TRUE(vwtest::WriteFileOfSize(scratch / L"big.bin", 6 * kMiB));
    vwtest::ScratchFolder full(vwtest::kFullDisk, L"full");
    EXPECT_FALSE(CopyWithProgress(context, scratch / L"big.bin", full / L"big.bin", L"big.bin"));
    EXPECT_EQ(static_cast<uint32_t>(ERROR_DISK_FULL), context.lastError.load());
    EXPECT_EQ(1, context.stopFlag.load());
    EXPECT_FALSE(FileExists(full / L"big.bin"));
    ExpectIdleAfterCopy();

    // The space is back: a file that fits goes through.
    context.stopFlag = 0;
    ASSERT_TRUE(vwtest::WriteFileOfSize(scratch / L"small.bin", 2 * kMiB));
    EXPECT_TRUE(CopyWithProgress(context, scratch / L"small.bin", full / L"small.bin", L"small.bin"));
}

TEST_F(CopyTest, FailuresOfOneFile)
{
    ASSERT_TRUE(vwtest::WriteFileBytes(scratch / L"locked.txt", "locked"));
    ASSERT_TRUE(vwtest::WriteFileBytes(scratch / L"existing.txt", "keep me"));
    ASSERT_TRUE(vwtest::WriteFileBytes(scratch / L"plain.txt", "plain"));
    UniqueFile lock(CreateFileW((scratch / L"locked.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                nullptr));
    ASSERT_TRUE(lock);

    struct Case {
        std::wstring source;
        std::wstring destination;
        DWORD error;
    };
    const Case cases[] = {
        {scratch / L"locked.txt", scratch / L"locked-copy.txt", ERROR_SHARING_VIOLATION},
        {scratch / L"missing.txt", scratch / L"missing-copy.txt", ERROR_FILE_NOT_FOUND},
        {scratch / L"plain.txt", scratch / L"existing.txt", ERROR_FILE_EXISTS},
    };
    for (const Case& c : cases) {
        context.lastError = 0;
        EXPECT_FALSE(CopyWithProgress(context, c.source, c.destination, L"x")) << c.source;
        EXPECT_EQ(c.error, context.lastError.load()) << c.source;
        EXPECT_EQ(0, context.stopFlag.load()) << c.source;
        ExpectIdleAfterCopy();
    }
    EXPECT_FALSE(FileExists(scratch / L"locked-copy.txt"));
    EXPECT_FALSE(FileExists(scratch / L"missing-copy.txt"));
    EXPECT_EQ("keep me", vwtest::ReadFileBytes(scratch / L"existing.txt")) << "a file the copy did not make stays";
}

TEST_F(CopyTest, SpeedSlowsEveryChunk)
{
    constexpr uint64_t chunks = 3;
    ASSERT_TRUE(vwtest::WriteFileOfSize(scratch / L"big.bin", chunks * kCopyChunkSize));
    // One report before the first chunk and one after each.
    constexpr int64_t reports = chunks + 1;
    struct Case {
        int32_t speed;
        bool slowed;
    };
    const Case cases[] = {{0, false}, {100, true}, {101, false}, {-4, false}};
    int n = 0;
    for (const Case& c : cases) {
        settings.Speed = c.speed;
        const auto start = Clock::now();
        ASSERT_TRUE(CopyWithProgress(context, scratch / L"big.bin", scratch / (L"copy" + std::to_wstring(n++)), L"x"));
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        if (c.slowed) {
            EXPECT_GE(ms, reports * 300 - 20) << "Speed " << c.speed;  // Sleep may wake a tick early
        } else {
            EXPECT_LT(ms, reports * 300 / 2) << "Speed " << c.speed;  // room for a slow disk, far from the delay
        }
    }
}

}  // namespace
