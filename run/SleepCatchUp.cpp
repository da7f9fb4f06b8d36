#include "run/SleepCatchUp.h"

#include "run/RunController.h"
#include "task/CBackupItem.h"
#include "task/CBackupItemList.h"

namespace vw {

std::vector<CBackupItem*> TasksDueAt(const CBackupItemList& tasks, const DateTime& now)
{
    std::vector<CBackupItem*> due;
    for (const auto& task : tasks) {
        const DateTime next = task->Snapshot().NextTime;
        if (next.IsValid() && !next.IsNever() && !(now < next))
            due.push_back(task.get());
    }
    return due;
}

void CatchUpAfterSleep(RunController& controller, const CBackupItemList& tasks, const DateTime& now,
                       uint32_t destinationWaitMs)
{
    // Decided before the schedules move on: re-arming gives every task a next time after `now`.
    const std::vector<CBackupItem*> due = TasksDueAt(tasks, now);
    controller.RescheduleAll(false);
    // Each queued task asks for the start itself: with nothing queued no batch begins or ends.
    for (CBackupItem* task : due) {
        if (task->state.load() != kTaskIdle)
            continue;  // queued or running already: it catches up as it is
        task->destinationWaitMs = destinationWaitMs;
        controller.Enqueue(task, true, false);
        // Not queued (it ran too recently): its next run waits for nothing.
        if (task->state.load() == kTaskIdle)
            task->destinationWaitMs = 0;
    }
}

}  // namespace vw
