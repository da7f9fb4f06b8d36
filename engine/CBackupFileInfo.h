#pragma once
// One file a walk meets, as kept on the retry list. Folders end with "\".
#include <cstdint>
#include <string>

namespace vw {

struct CBackupFileInfo {
    int32_t retry = 0;  // 1 for an entry on the retry list
    std::wstring name;
    std::wstring sourceFolder;
    std::wstring destFolder;
    std::wstring historyFolder;
};

}  // namespace vw
