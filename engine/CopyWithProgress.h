#pragma once
// The engine's copy of one file: our own chunked read/write loop, which reports progress after
// every chunk, holds on the pause event when the user pauses, applies the speed setting and
// gives up with ERROR_REQUEST_ABORTED (1235) when the cancel flag is raised.
#include <cstdint>
#include <string>

#include "win/UniqueHandle.h"

namespace vw {

class RunContext;

// How a copy shares the run's copy fields: the file named in the status panel, the progress, the
// copying state a stop waits on, the cancel flag and the pause event.
enum class CopyShare {
    // The only copy in progress: it takes the fields over and holds on the pause event inside the file.
    Alone,
    // One of several at once (engine/CopyPool.h): it names its file and shows its progress, is
    // counted in the copying state, gives up when the run is stopped, and leaves pausing to its
    // copier, between files.
    Pooled,
};

// Bytes read and written per chunk: progress, pause, speed delay and cancel act once per chunk.
inline constexpr uint32_t kCopyChunkSize = 1u << 20;

// A complete copy still open under its work name, so that it takes its real name through its own
// handle: one rename, no second open. Dropped without a name, the work file is deleted.
class CopiedFile {
public:
    CopiedFile() = default;
    CopiedFile(const CopiedFile&) = delete;
    CopiedFile& operator=(const CopiedFile&) = delete;
    ~CopiedFile() { Discard(); }

    // Renames the file to `path` on the same volume, replacing a file there when `replace` is set
    // (else failing with ERROR_ALREADY_EXISTS); on failure the system error code is GetLastError()
    // and the file keeps its work name.
    bool TakeName(const std::wstring& path, bool replace = true);
    void Discard();

private:
    friend bool CopyWithProgress(RunContext&, const std::wstring&, const std::wstring&, const std::wstring&,
                                 CopiedFile&, CopyShare);
    UniqueFile file_;
    std::wstring workPath_;
};

// Copies `source` onto `destination` (which must not exist). On failure the system error code is
// GetLastError() and, for a copy made alone, the context's last error too; a fatal code raises
// the stop flag.
bool CopyWithProgress(RunContext& context, const std::wstring& source, const std::wstring& destination,
                      const std::wstring& fileName);
// The same, the new file left open in `copied` for its rename.
bool CopyWithProgress(RunContext& context, const std::wstring& source, const std::wstring& destination,
                      const std::wstring& fileName, CopiedFile& copied, CopyShare share = CopyShare::Alone);

// Frees the chunk buffers no copy is using; copies keep them between files (and threads) meanwhile.
void ReleaseIdleChunkBuffers();

}  // namespace vw
