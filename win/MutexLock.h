#pragma once
// Ownership of a named mutex for a scope: made when no process has it yet, waited for otherwise.
// A mutex abandoned by a killed owner counts as taken: its owner's work is then ours to look at.
#include <windows.h>

#include "win/UniqueHandle.h"

namespace vw {

class MutexLock {
public:
    MutexLock(const wchar_t* name, DWORD waitMs);
    ~MutexLock() { Release(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

    bool Held() const { return held_; }
    // Lets go before the scope ends.
    void Release();

private:
    UniqueHandle mutex_;
    bool held_ = false;
};

}  // namespace vw
