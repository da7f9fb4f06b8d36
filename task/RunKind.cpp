#include "task/RunKind.h"

namespace vw {

const wchar_t* RunKindWord(int32_t runKind)
{
    switch (static_cast<RunKind>(runKind)) {
    case RunKind::Cleaning:
        return L"清理";
    case RunKind::Verify:
        return L"校验";
    case RunKind::Restore:
        return L"恢复";
    default:
        return L"备份";
    }
}

}  // namespace vw
