#include "support/TestRegistry.h"

#include <windows.h>

#include "win/Format.h"

namespace vwtest {

TestRegistryKey::TestRegistryKey(const std::wstring& name)
    : path_(vw::Format(L"Software\\VaultwrenTests\\%s-%lu", name.c_str(), GetCurrentProcessId()))
{
    RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
}

TestRegistryKey::~TestRegistryKey()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
}

}  // namespace vwtest
