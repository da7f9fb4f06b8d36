#include "ui/CRestoreDlg.h"

#include <shellapi.h>

#include <utility>

#include "engine/RestorePass.h"
#include "engine/SystemErrorText.h"
#include "resources/resource.h"
#include "ui/ShellFolders.h"
#include "win/DataExchange.h"
#include "win/MessageBox.h"
#include "win/Text.h"

namespace vw {

CRestoreDlg::CRestoreDlg(std::wstring destFolder, RestoreChoice initial)
    : destFolder_(std::move(destFolder)), choice_(std::move(initial))
{
}

INT_PTR CRestoreDlg::Run(HWND owner)
{
    return DoModal(::GetModuleHandleW(nullptr), IDD_RESTORE, owner);
}

bool CRestoreDlg::OnInit()
{
    HWND d = Handle();
    SetItemText(d, IDC_RESTORE_TARGET, choice_.target);
    SetItemChecked(d, IDC_RESTORE_PREVIOUS, choice_.previous);
    const int iconSize = ::GetSystemMetrics(SM_CXSMICON);
    browseIcon_.reset(static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_BROWSE),
                                                      IMAGE_ICON, iconSize, iconSize, LR_DEFAULTCOLOR)));
    ::SendDlgItemMessageW(d, IDC_RESTORE_BROWSE, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(browseIcon_.get()));
    ::DragAcceptFiles(d, TRUE);
    return true;
}

bool CRestoreDlg::OnCommand(int id, int code, HWND control)
{
    if (id == IDC_RESTORE_BROWSE) {
        if (const std::wstring path = PickFolder(Handle(), L"请选择恢复到的文件夹"); !path.empty())
            SetItemText(Handle(), IDC_RESTORE_TARGET, path);
        return true;
    }
    if (id == IDOK) {
        if (ReadFields())
            End(IDOK);
        return true;
    }
    return Dialog::OnCommand(id, code, control);
}

bool CRestoreDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result)
{
    if (message != WM_DROPFILES)
        return false;
    const auto drop = reinterpret_cast<HDROP>(wParam);
    wchar_t path[MAX_PATH] = {};
    const bool haveOne = ::DragQueryFileW(drop, 0, path, MAX_PATH) > 0;
    ::DragFinish(drop);
    const DWORD attributes = haveOne ? ::GetFileAttributesW(path) : INVALID_FILE_ATTRIBUTES;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        SetItemText(Handle(), IDC_RESTORE_TARGET, path);
    result = 0;
    return true;
}

bool CRestoreDlg::ReadFields()
{
    RestoreRequest request;
    request.target = TrimWhiteSpace(GetItemText(Handle(), IDC_RESTORE_TARGET));
    if (const uint32_t fault = RestoreRequestFault(destFolder_, request); fault != 0) {
        ShowMessage(Handle(), SystemErrorText(fault));
        ::SetFocus(Item(IDC_RESTORE_TARGET));
        return false;
    }
    choice_.target = request.target;
    choice_.previous = IsItemChecked(Handle(), IDC_RESTORE_PREVIOUS);
    return true;
}

}  // namespace vw
