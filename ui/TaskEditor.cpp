#include "ui/TaskEditor.h"

namespace vw {

bool RunTaskEditor(HINSTANCE, HWND, CBackupItem&, bool)
{
    return false;
}

}  // namespace vw
