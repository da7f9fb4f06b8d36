#include "win/MutexLock.h"

namespace vw {

MutexLock::MutexLock(const wchar_t* name, DWORD waitMs) : mutex_(CreateMutexW(nullptr, FALSE, name))
{
    if (!mutex_)
        return;
    const DWORD waited = WaitForSingleObject(mutex_.get(), waitMs);
    held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

void MutexLock::Release()
{
    if (held_)
        ReleaseMutex(mutex_.get());
    held_ = false;
}

}  // namespace vw
