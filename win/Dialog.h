#pragma once
// Base of every dialog and of the main window: one static dialog procedure finds the object in
// DWLP_USER (stored at WM_INITDIALOG, cleared at WM_NCDESTROY) and hands each message, decoded once,
// to a typed virtual handler. No exception leaves the procedure: 64-bit Windows may swallow it
// silently and leave the program in an unknown state, so it is caught at the boundary.
#include <windows.h>

#include "win/UniqueHandle.h"

namespace vw {

class Dialog {
public:
    Dialog() = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;
    virtual ~Dialog();

    // Modal: runs the dialog's own loop and returns the code given to End (-1 when it cannot be made).
    INT_PTR DoModal(HINSTANCE instance, UINT templateId, HWND parent);
    INT_PTR DoModalIndirect(HINSTANCE instance, const DLGTEMPLATE* dialogTemplate, HWND parent);
    // Modeless: the window lives until End or DestroyWindow; the caller's loop pumps it.
    bool Create(HINSTANCE instance, UINT templateId, HWND parent);
    bool CreateIndirect(HINSTANCE instance, const DLGTEMPLATE* dialogTemplate, HWND parent);

    // Ends a modal dialog with `result`, or destroys a modeless one.
    void End(INT_PTR result);

    HWND Handle() const noexcept { return window_; }
    HWND Item(int id) const noexcept { return ::GetDlgItem(window_, id); }
    bool IsModal() const noexcept { return modal_; }

protected:
    // Return false when the handler has set the focus itself.
    virtual bool OnInit() { return true; }
    // Return true when handled. Unhandled IDOK and IDCANCEL end the dialog with their id.
    virtual bool OnCommand(int id, int code, HWND control);
    // Return true when handled; a result for the sender goes through SetResult.
    virtual bool OnNotify(NMHDR& header);
    virtual void OnTimer(UINT_PTR id);
    // Every other message; return true when handled. `result` is what the procedure returns (TRUE
    // unless changed): a brush for WM_CTLCOLOR*, for most others the answer goes through SetResult.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);
    // The window is going: the last message the object sees.
    virtual void OnDestroy() {}
    // WM_DPICHANGED, after the base has put the window on the suggested rectangle and scaled its
    // font and its controls' places and sizes by newDpi / oldDpi. What a window sized itself
    // (images, list columns, a layout of its own) follows here.
    virtual void OnDpiChanged(UINT oldDpi, UINT newDpi);

    // The window's DPI: the system's when it was made, then the one each WM_DPICHANGED brings.
    UINT Dpi() const noexcept { return dpi_; }

    // The value a notification or message returns to its sender (DWLP_MSGRESULT).
    void SetResult(LRESULT value) const noexcept;

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    void ApplyDpi(UINT newDpi, const RECT& suggested);

    HWND window_ = nullptr;
    UINT dpi_ = 96;
    UniqueGdiObject scaledFont_;  // the template's font at the DPI the window moved to
    bool modal_ = false;
};

}  // namespace vw
