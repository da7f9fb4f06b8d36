#include "ui/ShellFolders.h"

#include <shellapi.h>
#include <shlobj.h>

#include "win/UniqueHandle.h"

namespace vw {

std::wstring PickFolder(HWND owner, const wchar_t* title)
{
    // The picker's new style needs COM on this thread; start-up has normally set it up already.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_EDITBOX;
    UniqueCoTaskMem chosen(::SHBrowseForFolderW(&info));
    wchar_t path[MAX_PATH] = {};
    const bool picked = chosen && ::SHGetPathFromIDListW(static_cast<PCIDLIST_ABSOLUTE>(chosen.get()), path);
    chosen.reset();
    if (SUCCEEDED(com))
        ::CoUninitialize();
    return picked ? std::wstring(path) : std::wstring();
}

void OpenFolder(HWND owner, std::wstring folder)
{
    if (folder.empty() || folder.back() != L'\\')
        folder += L'\\';
    ::ShellExecuteW(owner, L"open", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace vw
