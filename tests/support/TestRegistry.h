#pragma once
// A registry key of the test's own under HKCU\Software\VaultwrenTests, deleted at the end.
#include <string>

namespace vwtest {

class TestRegistryKey {
public:
    explicit TestRegistryKey(const std::wstring& name);
    ~TestRegistryKey();
    TestRegistryKey(const TestRegistryKey&) = delete;
    TestRegistryKey& operator=(const TestRegistryKey&) = delete;

    // Path below HKEY_CURRENT_USER, e.g. "Software\VaultwrenTests\profile-1234".
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

}  // namespace vwtest
