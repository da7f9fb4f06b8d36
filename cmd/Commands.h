#pragma once
// The console runner's commands, on the same profile, task list and run controller as the window.
#include "cmd/Arguments.h"

namespace vw {

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitRunFailed = 1;
inline constexpr int kExitBadInput = 2;
inline constexpr int kExitBusy = 3;

int RunCommand(const Arguments& arguments);

}  // namespace vw
