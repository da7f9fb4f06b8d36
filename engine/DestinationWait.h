#pragma once
// A run that catches up after the computer woke: Wi-Fi and a NAS are often not back yet. Its
// worker waits, bounded, until the destination's drive or share answers, so the run finds its
// destination rather than failing on a network that was seconds away.
#include <windows.h>

#include <string>

namespace vw {

class RunContext;

// How long a catch-up run waits for its destination at most.
inline constexpr DWORD kWakeDestinationWaitMs = 30000;

// The root a destination lives on: "X:\" or "\\server\share\"; empty for a path with neither.
std::wstring DestinationRoot(const std::wstring& dest);

// Waits until the destination's root can be reached, at most `limitMs`, giving up at once when the
// run is stopped. True when it can be reached. Worker thread.
bool WaitForDestination(const RunContext& context, const std::wstring& dest, DWORD limitMs);

}  // namespace vw
