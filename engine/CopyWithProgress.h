#pragma once
// The engine's copy of one file: our own chunked read/write loop, which reports progress after
// every chunk, holds on the pause event when the user pauses, applies the speed setting and
// gives up with ERROR_REQUEST_ABORTED (1235) when the cancel flag is raised.
#include <cstdint>
#include <string>

namespace vw {

class RunContext;

// Bytes read and written per chunk: progress, pause, speed delay and cancel act once per chunk.
inline constexpr uint32_t kCopyChunkSize = 1u << 20;

// Copies `source` onto `destination` (which must not exist). On failure the system error code is
// the context's last error, and a fatal code raises the stop flag.
bool CopyWithProgress(RunContext& context, const std::wstring& source, const std::wstring& destination,
                      const std::wstring& fileName);

}  // namespace vw
