#include "win/Dialog.h"

namespace vw {

Dialog::~Dialog()
{
    // A modeless window that outlives its object: detach first, so that the messages of its
    // destruction never reach a half-destroyed object.
    if (window_) {
        HWND window = window_;
        ::SetWindowLongPtrW(window, DWLP_USER, 0);
        window_ = nullptr;
        ::DestroyWindow(window);
    }
}

INT_PTR Dialog::DoModal(HINSTANCE instance, UINT templateId, HWND parent)
{
    modal_ = true;
    return ::DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId), parent, Procedure,
                             reinterpret_cast<LPARAM>(this));
}

INT_PTR Dialog::DoModalIndirect(HINSTANCE instance, const DLGTEMPLATE* dialogTemplate, HWND parent)
{
    modal_ = true;
    return ::DialogBoxIndirectParamW(instance, dialogTemplate, parent, Procedure,
                                     reinterpret_cast<LPARAM>(this));
}

bool Dialog::Create(HINSTANCE instance, UINT templateId, HWND parent)
{
    modal_ = false;
    return ::CreateDialogParamW(instance, MAKEINTRESOURCEW(templateId), parent, Procedure,
                                reinterpret_cast<LPARAM>(this)) != nullptr;
}

bool Dialog::CreateIndirect(HINSTANCE instance, const DLGTEMPLATE* dialogTemplate, HWND parent)
{
    modal_ = false;
    return ::CreateDialogIndirectParamW(instance, dialogTemplate, parent, Procedure,
                                        reinterpret_cast<LPARAM>(this)) != nullptr;
}

void Dialog::End(INT_PTR result)
{
    if (!window_)
        return;
    if (modal_)
        ::EndDialog(window_, result);
    else
        ::DestroyWindow(window_);
}

bool Dialog::OnCommand(int id, int, HWND)
{
    if (id == IDOK || id == IDCANCEL) {
        End(id);
        return true;
    }
    return false;
}

bool Dialog::OnNotify(NMHDR&)
{
    return false;
}

void Dialog::OnTimer(UINT_PTR)
{
}

bool Dialog::OnMessage(UINT, WPARAM, LPARAM, INT_PTR&)
{
    return false;
}

void Dialog::SetResult(LRESULT value) const noexcept
{
    ::SetWindowLongPtrW(window_, DWLP_MSGRESULT, value);
}

INT_PTR CALLBACK Dialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    Dialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        self->window_ = window;
        ::SetWindowLongPtrW(window, DWLP_USER, lParam);
    } else {
        self = reinterpret_cast<Dialog*>(::GetWindowLongPtrW(window, DWLP_USER));
    }
    if (!self)
        return FALSE;

    INT_PTR result = FALSE;
    try {
        result = self->Dispatch(message, wParam, lParam);
    } catch (...) {
        // Nothing sensible is left to do with a message whose handler failed half-way; the window
        // and the program go on, which is what the user expects of one failed click.
        ::OutputDebugStringW(L"Vaultwren: a window handler failed\n");
        result = FALSE;
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, DWLP_USER, 0);
        self->window_ = nullptr;
    }
    return result;
}

INT_PTR Dialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInit() ? TRUE : FALSE;
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)) ? TRUE : FALSE;
    case WM_NOTIFY:
        return OnNotify(*reinterpret_cast<NMHDR*>(lParam)) ? TRUE : FALSE;
    case WM_TIMER:
        OnTimer(wParam);
        return TRUE;
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    default: {
        INT_PTR result = TRUE;
        return OnMessage(message, wParam, lParam, result) ? result : FALSE;
    }
    }
}

}  // namespace vw
