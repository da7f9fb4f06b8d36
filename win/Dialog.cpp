#include "win/Dialog.h"

#include <vector>

#include "win/Dpi.h"

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

void Dialog::OnDpiChanged(UINT, UINT)
{
}

void Dialog::ApplyDpi(UINT newDpi, const RECT& suggested)
{
    const UINT oldDpi = dpi_;
    if (newDpi == 0 || newDpi == oldDpi) {
        dpi_ = newDpi ? newDpi : dpi_;
        return;
    }
    dpi_ = newDpi;
    const auto scale = [&](LONG value) { return ::MulDiv(value, static_cast<int>(newDpi), static_cast<int>(oldDpi)); };

    // The controls' places as the template's dialog units gave them at the old DPI, read before
    // the window's own resize moves any of them.
    struct Place {
        HWND control;
        RECT rect;
    };
    std::vector<Place> places;
    for (HWND child = ::GetWindow(window_, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        RECT r{};
        ::GetWindowRect(child, &r);
        ::MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&r), 2);
        places.push_back({child, r});
    }

    // The dialog manager keeps answering WM_GETFONT with the template's font: after a first
    // change the controls show ours.
    const auto oldFont = scaledFont_ ? static_cast<HFONT>(scaledFont_.get())
                                     : reinterpret_cast<HFONT>(::SendMessageW(window_, WM_GETFONT, 0, 0));
    LOGFONTW logFont{};
    if (oldFont && ::GetObjectW(oldFont, sizeof(logFont), &logFont)) {
        logFont.lfHeight = scale(logFont.lfHeight);
        UniqueGdiObject font(::CreateFontIndirectW(&logFont));
        if (font) {
            ::SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
            for (const Place& place : places)
                if (reinterpret_cast<HFONT>(::SendMessageW(place.control, WM_GETFONT, 0, 0)) == oldFont)
                    ::SendMessageW(place.control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
            scaledFont_ = std::move(font);  // the old one goes only once nothing uses it
        }
    }
    for (const Place& place : places)
        ::SetWindowPos(place.control, nullptr, scale(place.rect.left), scale(place.rect.top),
                       scale(place.rect.right - place.rect.left), scale(place.rect.bottom - place.rect.top),
                       SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    OnDpiChanged(oldDpi, newDpi);
    ::InvalidateRect(window_, nullptr, TRUE);
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
        dpi_ = WindowDpi(window_);
        return OnInit() ? TRUE : FALSE;
    case WM_DPICHANGED:
        ApplyDpi(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return TRUE;
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
