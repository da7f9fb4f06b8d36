#include "engine/CopyPool.h"

#include <chrono>
#include <utility>

namespace vw {

namespace {

// How often a waiting thread looks at the run's stop flag, which nothing signals.
constexpr auto kStopPoll = std::chrono::milliseconds(100);

}  // namespace

CopyPool::CopyPool(int copiers, size_t queueLimit, const std::atomic<int32_t>& stopFlag, Copy copy)
    : queueLimit_(queueLimit), stopFlag_(stopFlag), copy_(std::move(copy))
{
    copiers_.reserve(static_cast<size_t>(copiers));
    for (int copier = 1; copier <= copiers; ++copier)
        copiers_.emplace_back([this, copier] { Serve(copier); });
}

CopyPool::~CopyPool()
{
    {
        std::lock_guard guard(lock_);
        closing_ = true;
        queue_.clear();
    }
    changed_.notify_all();
    copiers_.clear();
}

void CopyPool::Add(Job job)
{
    std::unique_lock guard(lock_);
    while (queue_.size() >= queueLimit_ && !stopFlag_.load())
        changed_.wait_for(guard, kStopPoll);
    if (stopFlag_.load())
        return;
    queue_.push_back(std::move(job));
    guard.unlock();
    changed_.notify_all();
}

void CopyPool::Drain()
{
    std::unique_lock guard(lock_);
    while (!queue_.empty() || inHand_ > 0) {
        if (stopFlag_.load())
            queue_.clear();
        changed_.wait_for(guard, kStopPoll);
    }
    if (thrown_)
        std::rethrow_exception(std::exchange(thrown_, nullptr));
}

void CopyPool::Serve(int copier)
{
    std::unique_lock guard(lock_);
    for (;;) {
        if (closing_)
            return;
        if (stopFlag_.load())
            queue_.clear();
        if (queue_.empty()) {
            changed_.wait_for(guard, kStopPoll);
            continue;
        }
        const Job job = std::move(queue_.front());
        queue_.pop_front();
        ++inHand_;
        guard.unlock();
        changed_.notify_all();
        // No exception may leave a thread: the first one is handed to the pass.
        try {
            copy_(job, copier);
        } catch (...) {
            std::lock_guard caught(lock_);
            if (!thrown_)
                thrown_ = std::current_exception();
        }
        guard.lock();
        --inHand_;
        changed_.notify_all();
    }
}

}  // namespace vw
