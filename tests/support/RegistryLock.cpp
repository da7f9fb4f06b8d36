#include "support/RegistryLock.h"

namespace vwtest {

RegistryLock::RegistryLock(const std::wstring& path, REGSAM denied)
{
    // The handle keeps WRITE_DAC, so the security can be given back whatever the lock denies.
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, READ_CONTROL | WRITE_DAC, key_.put()) != ERROR_SUCCESS) {
        key_.release();
        return;
    }
    DWORD size = 0;
    RegGetKeySecurity(key_.get(), DACL_SECURITY_INFORMATION, nullptr, &size);
    former_.resize(size);
    if (size == 0 ||
        RegGetKeySecurity(key_.get(), DACL_SECURITY_INFORMATION, former_.data(), &size) != ERROR_SUCCESS)
        return;

    BYTE everyone[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof(everyone);
    if (!CreateWellKnownSid(WinWorldSid, nullptr, everyone, &sidSize))
        return;
    std::vector<BYTE> aclBuffer(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + sidSize);
    auto* acl = reinterpret_cast<ACL*>(aclBuffer.data());
    SECURITY_DESCRIPTOR descriptor;
    locked_ = InitializeAcl(acl, static_cast<DWORD>(aclBuffer.size()), ACL_REVISION) &&
              AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS & ~denied, everyone) &&
              InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
              SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) &&
              RegSetKeySecurity(key_.get(), DACL_SECURITY_INFORMATION, &descriptor) == ERROR_SUCCESS;
}

RegistryLock::~RegistryLock()
{
    if (locked_)
        RegSetKeySecurity(key_.get(), DACL_SECURITY_INFORMATION, former_.data());
}

}  // namespace vwtest
