#include "win/MessageBox.h"

namespace vw {

int ShowMessage(HWND owner, const std::wstring& text, UINT flags)
{
    return ::MessageBoxW(owner, text.c_str(), kProgramName, flags);
}

}  // namespace vw
