#pragma once
// Takes rights on a registry key away from everyone while it lives (a real access-denied refusal for
// the code under test), and gives the key its former security back at the end.
#include <windows.h>

#include <string>
#include <vector>

#include "win/UniqueHandle.h"

namespace vwtest {

class RegistryLock {
public:
    // `path` below HKEY_CURRENT_USER; the key must exist. `denied` e.g. KEY_SET_VALUE or DELETE.
    RegistryLock(const std::wstring& path, REGSAM denied);
    ~RegistryLock();
    RegistryLock(const RegistryLock&) = delete;
    RegistryLock& operator=(const RegistryLock&) = delete;

    // False when the key could not be locked (the test then proves nothing).
    bool locked() const { return locked_; }

private:
    vw::UniqueHKey key_;
    std::vector<BYTE> former_;
    bool locked_ = false;
};

}  // namespace vwtest
