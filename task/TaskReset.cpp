#include "task/TaskReset.h"

namespace vw {

bool ResetTask(CBackupItem& task)
{
    if (task.state.load() != kTaskIdle)
        return false;
    task.SetLastTime(DateTime::Never(), true);
    return true;
}

}  // namespace vw
