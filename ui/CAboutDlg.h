#pragma once
// The About window: the program's icon, name and version, and the way to the feedback page.
#include <windows.h>

#include <functional>
#include <string>

#include "win/Dialog.h"
#include "win/UniqueHandle.h"

namespace vw {

class ProfileStore;

// Opens an address in the user's browser, maximised.
void OpenAddressMaximised(HWND owner, const std::wstring& address);

class CAboutDlg : public Dialog {
public:
    using OpenAddress = std::function<void(HWND owner, const std::wstring& address)>;

    explicit CAboutDlg(const ProfileStore& profile, OpenAddress open = OpenAddressMaximised);

    INT_PTR Run(HWND owner);

protected:
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    const ProfileStore& profile_;
    OpenAddress open_;
    UniqueGdiObject whiteBrush_;
};

}  // namespace vw
