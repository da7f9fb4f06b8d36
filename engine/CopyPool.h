#pragma once
// The copies of small files of one backup pass, made on a few threads while the pass walks on:
// under Wine every open, rename and time set waits on the server, and one thread spends most of
// a small file's copy waiting. The pass fills a short queue; the copiers take from it in turn.
// Memory stays flat: the queue holds a few dozen files, never the tree.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <thread>
#include <vector>

#include "engine/CBackupFileInfo.h"
#include "win/SlimLock.h"

namespace vw {

// One file to copy, as the walk decided it.
struct CopyPoolJob {
    CBackupFileInfo entry;
    bool destExists = false;
    bool rewrite = false;
};

class CopyPool {
public:
    using Job = CopyPoolJob;
    // Makes one copy on copier `copier` (1 to the number of copiers).
    using Copy = std::function<void(const Job& job, int copier)>;

    // `stopFlag`: the run's; once it is up the copiers take no more files and what is queued is
    // dropped (neither copied nor failed: the next run copies it).
    CopyPool(int copiers, size_t queueLimit, const std::atomic<int32_t>& stopFlag, Copy copy);
    // Drops what is still queued, lets the copies in hand end, and joins the copiers.
    ~CopyPool();
    CopyPool(const CopyPool&) = delete;
    CopyPool& operator=(const CopyPool&) = delete;

    // Queues a copy, waiting while the queue is full; dropped when the run is stopped.
    void Add(Job job);
    // Returns once every queued copy has ended (or been dropped by a stop). A copy that threw
    // throws here, on the pass's thread, which then fails as a step that throws does.
    void Drain();

private:
    void Serve(int copier);

    const size_t queueLimit_;
    const std::atomic<int32_t>& stopFlag_;
    const Copy copy_;
    SlimMutex lock_;
    SlimCondition changed_;
    std::deque<Job> queue_;
    // Copies taken from the queue and not yet ended.
    int inHand_ = 0;
    bool closing_ = false;
    std::exception_ptr thrown_;
    // Last: the copiers end and are joined before the queue and its lock go.
    std::vector<std::jthread> copiers_;
};

}  // namespace vw
