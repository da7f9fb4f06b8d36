#pragma once
// After the computer wakes. Window timers stand still while it sleeps, so an automatic run whose
// time passed during the sleep would wait for a whole further period. Such a run starts now, once,
// however many periods were slept through, and every task's timer is armed from the clock again.
#include <cstdint>
#include <vector>

#include "engine/DestinationWait.h"

#include "task/DateTime.h"

namespace vw {

class CBackupItem;
class CBackupItemList;
class RunController;

// The tasks whose next automatic run lies at or before `now`, in list order.
std::vector<CBackupItem*> TasksDueAt(const CBackupItemList& tasks, const DateTime& now);

// Queues those tasks as automatic runs (the MinTime rule applies as to any automatic run), re-arms
// every task's schedule; the first of them starts when no run is active. Each of these runs first
// waits up to `destinationWaitMs` for its destination to be reachable (Wi-Fi, a NAS waking up).
// UI thread only.
void CatchUpAfterSleep(RunController& controller, const CBackupItemList& tasks, const DateTime& now,
                       uint32_t destinationWaitMs = kWakeDestinationWaitMs);

}  // namespace vw
