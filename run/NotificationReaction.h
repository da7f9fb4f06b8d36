#pragma once
// What the main window does with each message of the worker protocol, besides the run
// controller's own part of it (RunController::HandleMessage): list refresh, balloon, tray look
// and its log line. Decided from the run's values as they stood when the message arrived, because
// the controller's part may close the batch and reset the counters a balloon reports.
//
// The window's handler, in this order:
//   1. view = ReadRunView(...); reaction = ReactionTo(message, wParam, view)
//   2. refresh == ListRefresh::BeforeController: refresh the task list
//   3. controller.HandleMessage(message, wParam)
//   4. clearBalloon: kill the balloon timer and clear the balloon; then show `balloon` if any
//   5. look: set the tray look and log kTrayChangedLogText with `logSource`
//   6. refresh == ListRefresh::AfterController: refresh the task list
#include <windows.h>

#include <optional>

#include "run/RunView.h"
#include "run/TrayLook.h"

namespace vw {

inline constexpr wchar_t kTrayChangedLogText[] = L"Vaultwren修改托盘信息";

enum class ListRefresh { None, BeforeController, AfterController };

struct NotificationReaction {
    ListRefresh refresh = ListRefresh::None;
    bool clearBalloon = false;
    std::optional<Balloon> balloon;
    std::optional<TrayLook> look;
    const char* logSource = nullptr;  // with `look`: the handler named in the log line
};

// For a message that is none of the protocol's, the empty reaction.
NotificationReaction ReactionTo(UINT message, WPARAM wParam, const RunView& view);

}  // namespace vw
