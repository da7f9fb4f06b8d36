#pragma once
// The main window's status display: the caption of the status group box and the text of the
// status panel, rebuilt on every refresh from the run's values. The live lines (the current
// task's progress) are never stored; only finished lines live in the status history.
#include <string>

#include "run/RunView.h"
#include "task/DateTime.h"

namespace vw {

// The most lines the status panel keeps; older history lines are trimmed away.
inline constexpr int kStatusPanelMaxLines = 100;

// "系统状态：" and the word for the run state (and, while running, the kind of run: RunKind).
std::wstring StatusCaption(int32_t runState, int32_t runKind);

// The history, then, while a batch runs a current task, its live lines stamped with `now`.
std::wstring StatusPanelText(const RunView& view, const DateTime& now);

// How many of the oldest history lines to trim so that the panel holds at most
// kStatusPanelMaxLines lines; 0 when it holds no more. Lines are counted as the history counts
// them, by line feeds, not as the edit control wraps them on screen.
int StatusLinesToTrim(const std::wstring& panelText);

// What an exit that could not wait for the worker leaves running: the task, and the file it is on
// when it is on one.
std::wstring StillRunningText(const RunView& view);
// What a stop that could not wait for the worker says while the window goes on: the same task
// and file, which the stop is still waiting for.
std::wstring StillStoppingText(const RunView& view);

}  // namespace vw
