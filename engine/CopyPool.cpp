#include "engine/CopyPool.h"

#include <utility>

namespace vw {

namespace {

// How often a waiting thread looks at the run's stop flag, which nothing signals.
constexpr DWORD kStopPollMs = 100;

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
    changed_.NotifyAll();
    copiers_.clear();
}

void CopyPool::Add(Job job)
{
    std::unique_lock guard(lock_);
    while (queue_.size() >= queueLimit_ && !stopFlag_.load())
        changed_.WaitFor(guard, kStopPollMs);
    if (stopFlag_.load())
        return;
    queue_.push_back(std::move(job));
    guard.unlock();
    // Only the pass adds and drains, so whoever waits now is a copier, and one is enough.
    changed_.NotifyOne();
}

void CopyPool::Drain()
{
    std::unique_lock guard(lock_);
    while (!queue_.empty() || inHand_ > 0) {
        if (stopFlag_.load())
            queue_.clear();
        changed_.WaitFor(guard, kStopPollMs);
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
            changed_.WaitFor(guard, kStopPollMs);
            continue;
        }
        const Job job = std::move(queue_.front());
        queue_.pop_front();
        ++inHand_;
        guard.unlock();
        changed_.NotifyAll();
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
        changed_.NotifyAll();
    }
}

}  // namespace vw
