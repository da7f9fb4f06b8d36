#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "win/SlimLock.h"

namespace {

using Clock = std::chrono::steady_clock;

TEST(SlimLock, ThreadsThatTakeTheLockNeverInterleave)
{
    vw::SlimMutex lock;
    // Not atomic on purpose: only the lock keeps the count whole.
    long long count = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 200000; ++i) {
                std::lock_guard guard(lock);
                ++count;
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(count, 4 * 200000);
}

TEST(SlimLock, AWaiterWakesOnANotificationAndHoldsTheLockAgain)
{
    vw::SlimMutex lock;
    vw::SlimCondition changed;
    bool ready = false;
    std::atomic<bool> sawReadyHoldingTheLock{false};
    std::thread waiter([&] {
        std::unique_lock held(lock);
        const auto giveUp = Clock::now() + std::chrono::seconds(10);
        while (!ready && Clock::now() < giveUp)
            changed.WaitFor(held, 10000);
        // Held again: a second taker must fail while this thread still has it.
        std::thread other([&] { sawReadyHoldingTheLock = ready && !lock.try_lock(); });
        other.join();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto notified = Clock::now();
    {
        std::lock_guard guard(lock);
        ready = true;
    }
    changed.NotifyAll();
    waiter.join();
    EXPECT_TRUE(sawReadyHoldingTheLock);
    // Woken by the notification, not by its 10-second time limit.
    EXPECT_LT(Clock::now() - notified, std::chrono::seconds(5));
}

TEST(SlimLock, AWaitNobodyNotifiesEndsAfterItsTimeWithTheLockHeld)
{
    vw::SlimMutex lock;
    vw::SlimCondition changed;
    std::unique_lock held(lock);
    const auto start = Clock::now();
    changed.WaitFor(held, 100);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(80));
    EXPECT_TRUE(held.owns_lock());
    bool takenMeanwhile = true;
    std::thread other([&] { takenMeanwhile = lock.try_lock(); });
    other.join();
    EXPECT_FALSE(takenMeanwhile);
}

}  // namespace
