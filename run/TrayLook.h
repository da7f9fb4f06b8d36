#pragma once
// What the tray icon shows: its look (icon and tooltip) for the run's state, and the balloons of
// the run's notifications. The tray icon record only copies these into its notification record.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vw {

// The text fields of the notification-icon record, in characters without the terminating null.
inline constexpr size_t kTrayTooltipMax = 127;
inline constexpr size_t kBalloonTextMax = 255;
inline constexpr size_t kBalloonTitleMax = 63;

// `text` when it fits `maxLength` UTF-16 units; otherwise its start and "…", together exactly
// `maxLength` units or one less, so that no surrogate pair is split.
std::wstring FitText(std::wstring_view text, size_t maxLength);

struct TrayLook {
    int iconId;            // resources/resource.h: IDI_TRAY_IDLE or IDI_TRAY_RUNNING
    std::wstring tooltip;  // fitted to kTrayTooltipMax
};

// The running look for kRunRunning, the paused look for kRunPaused, the idle look for any other
// state. `currentTaskName` is null when the run has no current task; `runKind` (RunKind, the run's
// cleaning-run field) picks the kind word.
TrayLook TrayLookFor(int runState, const std::wstring* currentTaskName, int32_t runKind);

// The balloon icon kinds of the notification-icon record (NIIF_NONE, NIIF_INFO, NIIF_WARNING).
enum BalloonIcon : DWORD { kBalloonNone = 0, kBalloonInfo = 1, kBalloonWarning = 2 };

struct Balloon {
    std::wstring title;  // fitted to kBalloonTitleMax
    std::wstring text;   // fitted to kBalloonTextMax
    BalloonIcon icon;
};

// The warning that the destination's drive has little space left. A letter is shown in upper
// case; anything but a letter (a network share's destination) is left out.
Balloon DiskSpaceBalloon(wchar_t driveLetter);

// The end of a batch, from its counters as they stood before the batch was closed; none for a
// cleaning batch. `stopped` is true when the batch was stopped rather than ending by itself.
std::optional<Balloon> BatchEndBalloon(bool stopped, bool cleaning, int tasksDone, int filesCopied,
                                       int filesFailed);

// The end of a verify or a restore run (each a batch of its own), from the batch's counters: for a
// verify the files found the same (filesDone), copied again (filesCopied) and not as they should be
// (filesFailed); for a restore the files restored (filesCopied) and not restored (filesFailed).
// None for another kind of run.
std::optional<Balloon> ReadingRunEndBalloon(bool stopped, int32_t runKind, int filesDone, int filesCopied,
                                            int filesFailed);

}  // namespace vw
