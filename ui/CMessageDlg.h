#pragma once
// The notice popup: a small captionless window at the bottom-right of the work area showing the
// page the update manifest names, with a title and a close mark. Closing only hides it; the main
// window keeps the object and shows it again for later notices.
#include <windows.h>

#include <string>

#include "ui/CExplorer1.h"
#include "win/Dialog.h"
#include "win/UniqueHandle.h"

namespace vw {

class CMessageDlg final : public Dialog {
public:
    // The popup's own timer that closes it after the display time.
    static constexpr UINT_PTR kCloseTimerId = 1000;

    CMessageDlg() = default;
    ~CMessageDlg() override;

    // Modeless, from its template, owned by the desktop so it stands apart from the main window.
    bool Create(HINSTANCE instance);
    // Remembers the page; once the window is set up, goes there at once.
    void SetAddress(const std::wstring& address);
    // Shows the popup in front and arms the close timer (0 seconds: stays until closed by hand).
    void Show(int seconds);
    void Close();

    bool HasPage() const noexcept { return browser_.IsCreated(); }

protected:
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnTimer(UINT_PTR id) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void OnDestroy() override;

private:
    void PlaceInWorkArea();
    bool OnCloseMark(POINT clientPoint) const;

    std::wstring address_;
    bool initialised_ = false;
    UniqueGdiObject labelFont_;
    UniqueGdiObject background_;
    CExplorer1 browser_;
};

}  // namespace vw
