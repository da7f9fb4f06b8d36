#pragma once
// Named steps of a replace of files (the engine's and the updater's), where the crash tests stop a
// real process to see what a power cut there would leave behind. Without VAULTWREN_HALT_AT in the
// environment nothing happens.
namespace vw {

// When VAULTWREN_HALT_AT names `step`, signals the event named by VAULTWREN_HALT_EVENT and waits
// for good, so that the test can kill the process at exactly this step; or, when
// VAULTWREN_HALT_RELEASE names an event, until that event is set (a step held as a dead share
// would hold it, then let go).
void HaltPoint(const wchar_t* step);

}  // namespace vw
