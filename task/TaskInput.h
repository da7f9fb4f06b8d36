#pragma once
// The checks a task's entries must pass before the editor stores them, without any window:
// the editor reads its controls into TaskInput, and shows the failure on the control it names.
#include <cstdint>
#include <functional>
#include <string>

namespace vw {

// The editor's entries as read from its controls.
struct TaskInput {
    std::wstring Name;
    std::wstring Source;
    std::wstring Dest;
    bool Start = false;
    uint32_t StartTime = 0;
    int32_t ClockHour = 0;
    int32_t ClockMinute = 0;
    bool AutoTime = false;
    uint32_t AutoMinute = 0;
    // The destination the task has stored (empty for a new task): keeping it never asks about
    // entries already in it.
    std::wstring StoredDest;
    // The minimum interval between two automatic runs (the MinTime setting).
    int32_t MinTime = 120;
};

struct TaskInputCheck {
    bool Ok = true;
    // The control that holds the faulty entry (resources/resource.h), its balloon's title and text.
    int ControlId = 0;
    std::wstring Title;
    std::wstring Text;
    // Source and destination trimmed of white space and trailing backslashes: what the editor
    // shows again and stores, also when a check failed.
    std::wstring Source;
    std::wstring Dest;
};

// Asked when a new or changed destination already holds entries; true when the user chooses
// to use it all the same. Empty: such a destination is accepted.
using ConfirmNonEmptyDestination = std::function<bool()>;

// Runs the checks in their fixed order and reports the first that fails.
TaskInputCheck ValidateTaskInput(const TaskInput& input, const ConfirmNonEmptyDestination& confirm);

// True when the folder exists and holds at least one entry (hidden ones included).
bool DestinationHasEntries(const std::wstring& dest);

// Whether the existing-files question applies: the destination differs from the stored one
// (exactly, one trailing backslash aside) and already holds entries.
bool NeedsNonEmptyDestinationQuestion(const std::wstring& dest, const std::wstring& storedDest);

}  // namespace vw
