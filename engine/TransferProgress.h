#pragma once
// The per-chunk bookkeeping every transfer of file content shares with the copy: the progress
// fields, the user's pause, the speed setting and the cancel flag, and the run context's
// "a transfer is going" state, which a stop waits on.
#include <cstdint>
#include <string>

namespace vw {

class RunContext;

// Called once before the first chunk and after every chunk; false when the transfer is to give up.
bool ReportChunkProgress(RunContext& context, uint64_t total, uint64_t done);

// For the lifetime of one file's transfer: the file's name and fresh progress fields, the
// context's copying flag up (a stop cancels and waits for it), the pause event closed at its end.
class TrackedTransfer {
public:
    TrackedTransfer(RunContext& context, const std::wstring& fileName);
    ~TrackedTransfer();
    TrackedTransfer(const TrackedTransfer&) = delete;
    TrackedTransfer& operator=(const TrackedTransfer&) = delete;

private:
    RunContext& context_;
};

}  // namespace vw
