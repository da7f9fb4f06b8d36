#pragma once
// The shared fields of a run: what the worker, the run controller and the status display read and
// write. Single values are atomics; the texts (current file, status history) and the pause event
// are guarded by a small lock, and readers get copies. No lock is held across a file-system call
// or a post.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/CBackupFileInfo.h"
#include "engine/RunRequest.h"
#include "win/SlimLock.h"
#include "win/UniqueHandle.h"

namespace vw {

class CBackupItem;
struct AppSettings;

// Bits of RunContext::flags.
inline constexpr int32_t kFlagDestLetterChanged = 1;  // bit 0
inline constexpr int32_t kFlagDestNewlyBound = 2;     // bit 1

// Run states (1 is never used).
inline constexpr int32_t kRunIdle = 0;
inline constexpr int32_t kRunPaused = 2;
inline constexpr int32_t kRunRunning = 3;

class RunContext {
public:
    explicit RunContext(const AppSettings& settings);
    RunContext(const RunContext&) = delete;
    RunContext& operator=(const RunContext&) = delete;

    const AppSettings& settings;

    std::atomic<int32_t> runState{kRunIdle};
    int32_t windowsMajorVersion;
    std::atomic<HWND> window{nullptr};
    // 0 for a backup; else the RunKind of a run that is a batch of its own (cleaning, verify, restore).
    std::atomic<int32_t> cleaningRun{0};
    std::atomic<uint32_t> lastError{0};
    std::atomic<int32_t> stopFlag{1};
    std::atomic<int32_t> flags{0};
    std::atomic<int32_t> batchActive{0};
    std::atomic<CBackupItem*> currentTask{nullptr};
    // Raised by a worker as the last thing before its end message: that message is then its own
    // and the thread is about to return, so joining it cannot wait on a run in progress.
    std::atomic<int32_t> workerEnded{0};

    std::atomic<uint64_t> totalBytes{0};
    std::atomic<uint64_t> bytesTransferred{0};
    std::atomic<double> progress{0.0};
    std::atomic<int32_t> cancelFlag{0};
    std::atomic<int32_t> pausedInCopy{0};
    std::atomic<int32_t> copying{0};

    std::atomic<int32_t> tasksDone{0};
    std::atomic<int32_t> runsFailed{0};  // runs of this batch that ended with "已终止"
    std::atomic<int32_t> filesCopied{0};
    std::atomic<int32_t> filesFailed{0};
    std::atomic<int32_t> filesDone{0};
    std::atomic<uint64_t> freedBytes{0};

    // The user's consent, for this batch, to removals past the brake (kRemovalBrakeFiles), and
    // what the brake held back in it: the number of files and the task (the last one held; a
    // cleaning batch has the one).
    std::atomic<int32_t> allowRemovals{0};
    std::atomic<int32_t> removalsHeld{0};
    std::atomic<CBackupItem*> removalsHeldTask{nullptr};

    // What the next verify or restore run is to do: written before its worker starts, then read
    // by that worker only.
    VerifyRequest verifyRequest;
    RestoreRequest restoreRequest;

    // Written by the worker (and its copiers) during a run, through AddRetry and ClearRetries; read
    // by others only once the worker has been joined. Its length, RetryCount, may be read at any time.
    std::vector<std::unique_ptr<CBackupFileInfo>> retryList;
    void AddRetry(std::unique_ptr<CBackupFileInfo> entry);
    void ClearRetries();
    int32_t RetryCount() const { return retryCount_.load(); }

    // The file being copied, without folder; empty when no copy runs.
    void SetCurrentFile(const std::wstring& name);
    std::wstring CurrentFile() const;

    // A copy's own fields as a new copy (or no copy) starts them: the file name, zero progress,
    // the cancel and paused-in-copy flags down, no pause event.
    void ResetCopyFields(const std::wstring& fileName);

    // The pause event of the running copy: created signalled at its first pause, closed when it ends.
    bool CreatePauseEvent();
    void ClosePauseEvent();
    bool HasPauseEvent() const;
    void SetPauseEvent();
    void ResetPauseEvent();
    // Waits on the event (no time limit); returns at once when there is none.
    void WaitPauseEvent();

    // Adds "<local time>\t<text>\r\n" to the status history.
    void AppendStatusLine(const std::wstring& text);
    // Drops the oldest n lines (everything up to and including the n-th line feed).
    void TrimStatusHistory(int n);
    std::wstring StatusHistory() const;

    // The state of the current task, or idle when there is none.
    int32_t CurrentTaskState() const;
    // Posts with the current generation in the high word of lParam.
    void PostToWindow(UINT message, WPARAM wParam) const;

    // Every run, and every stop of one, begins a generation (UI thread only). A message posted
    // before it (by a worker that a stop has joined since) belongs to an ended generation and is
    // not acted on.
    void NewGeneration();
    // The message (its lParam) was posted in the current generation.
    bool IsCurrent(LPARAM lParam) const;

private:
    mutable SlimMutex lock_;
    std::wstring currentFile_;
    std::wstring statusHistory_;
    // Only the worker creates, waits on and closes it; the UI thread only signals it.
    UniqueHandle pauseEvent_;
    std::atomic<int32_t> retryCount_{0};
    std::atomic<uint16_t> generation_{0};
};

}  // namespace vw
