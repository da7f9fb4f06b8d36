#include "ui/MainToolbar.h"

#include <commctrl.h>

#include <vector>

#include "resources/resource.h"
#include "ui/Dpi.h"

namespace vw {

namespace {

// The toolbar resource (RT_TOOLBAR) as the resource compiler writes it.
struct ToolbarResource {
    WORD version;
    WORD width;
    WORD height;
    WORD count;
    // followed by `count` command ids, 0 for a separator
};
constexpr WORD kToolbarResourceType = 241;  // RT_TOOLBAR

struct ButtonLabel {
    UINT command;
    const wchar_t* text;
};
constexpr ButtonLabel kLabels[] = {
    {ID_ADD_TASK, L"新增"}, {ID_EDIT_TASK, L"修改"}, {ID_DELETE_TASK, L"删除"}, {ID_START, L"启动"},
    {ID_PAUSE, L"暂停"},    {ID_STOP, L"停止"},      {ID_MOVE_UP, L"向上"},     {ID_MOVE_DOWN, L"向下"},
    {ID_OPTIONS, L"选项"},  {ID_ABOUT, L"关于"},
};

// The button ids of the toolbar resource, 0 for a separator; empty when it is missing.
std::vector<WORD> ToolbarCommands(HINSTANCE instance, UINT id, SIZE& imageSize)
{
    const HRSRC found = ::FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(kToolbarResourceType));
    const HGLOBAL loaded = found ? ::LoadResource(instance, found) : nullptr;
    const auto* data = loaded ? static_cast<const ToolbarResource*>(::LockResource(loaded)) : nullptr;
    if (!data || ::SizeofResource(instance, found) < sizeof(ToolbarResource) + data->count * sizeof(WORD))
        return {};
    imageSize = {data->width, data->height};
    const auto* ids = reinterpret_cast<const WORD*>(data + 1);
    return std::vector<WORD>(ids, ids + data->count);
}

// One strip of images (one per button, side by side) at the size the DPI asks for.
HIMAGELIST LoadStrip(HINSTANCE instance, UINT bitmapId, SIZE imageSize, int images, UINT dpi)
{
    UniqueGdiObject strip(::LoadImageW(instance, MAKEINTRESOURCEW(bitmapId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!strip)
        return nullptr;
    const int width = ScaleForDpi(imageSize.cx, dpi);
    const int height = ScaleForDpi(imageSize.cy, dpi);
    if (width != imageSize.cx || height != imageSize.cy)
        strip.reset(ScaleBitmap(static_cast<HBITMAP>(strip.get()), width * images, height));
    if (!strip)
        return nullptr;
    UniqueImageList list(::ImageList_Create(width, height, ILC_COLOR32, images, 0));
    if (!list || ::ImageList_Add(list.get(), static_cast<HBITMAP>(strip.get()), nullptr) < 0)
        return nullptr;
    return list.release();
}

}  // namespace

const wchar_t* MainToolbar::Label(UINT command)
{
    for (const auto& label : kLabels)
        if (label.command == command)
            return label.text;
    return L"";
}

bool MainToolbar::Create(HWND parent, HINSTANCE instance, UINT dpi)
{
    // A toolbar made before goes first, then the images it showed.
    if (toolbar_) {
        ::DestroyWindow(toolbar_);
        toolbar_ = nullptr;
        font_.reset();
    }
    SIZE imageSize{};
    const std::vector<WORD> commands = ToolbarCommands(instance, IDR_TOOLBAR, imageSize);
    if (commands.empty())
        return false;
    int images = 0;
    for (WORD command : commands)
        images += command != 0 ? 1 : 0;

    toolbar_ = ::CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                                 WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_LIST | TBSTYLE_TOOLTIPS | CCS_TOP |
                                     CCS_NODIVIDER,
                                 0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_TOOLBAR)),
                                 instance, nullptr);
    if (!toolbar_)
        return false;
    ::SendMessageW(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);

    // The labels' font is the system's, made for the DPI the program started at: on a screen of
    // another DPI it is scaled as the images are.
    const UINT systemDpi = WindowDpi(nullptr);
    LOGFONTW logFont{};
    const auto systemFont = reinterpret_cast<HFONT>(::SendMessageW(toolbar_, WM_GETFONT, 0, 0));
    if (dpi != systemDpi && systemFont && ::GetObjectW(systemFont, sizeof(logFont), &logFont)) {
        logFont.lfHeight = ::MulDiv(logFont.lfHeight, static_cast<int>(dpi), static_cast<int>(systemDpi));
        font_.reset(::CreateFontIndirectW(&logFont));
        if (font_)
            ::SendMessageW(toolbar_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    }

    // At rest the buttons show the normal strip, under the mouse the hot one, and disabled the
    // pale "cold" one, which reads at once as not available.
    images_[0].reset(LoadStrip(instance, IDR_TOOLBAR, imageSize, images, dpi));
    images_[1].reset(LoadStrip(instance, IDB_TOOLBAR_HOT, imageSize, images, dpi));
    images_[2].reset(LoadStrip(instance, IDB_TOOLBAR_COLD, imageSize, images, dpi));
    if (!images_[0]) {
        ::DestroyWindow(toolbar_);
        toolbar_ = nullptr;
        return false;
    }
    ::SendMessageW(toolbar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_[0].get()));
    if (images_[1])
        ::SendMessageW(toolbar_, TB_SETHOTIMAGELIST, 0, reinterpret_cast<LPARAM>(images_[1].get()));
    if (images_[2])
        ::SendMessageW(toolbar_, TB_SETDISABLEDIMAGELIST, 0, reinterpret_cast<LPARAM>(images_[2].get()));

    std::vector<TBBUTTON> buttons;
    int image = 0;
    for (WORD command : commands) {
        TBBUTTON button{};
        if (command == 0) {
            button.fsStyle = BTNS_SEP;
        } else {
            button.iBitmap = image++;
            button.idCommand = command;
            button.fsState = TBSTATE_ENABLED;
            button.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE;
            button.iString = reinterpret_cast<INT_PTR>(Label(command));
        }
        buttons.push_back(button);
    }
    ::SendMessageW(toolbar_, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
    ::SendMessageW(toolbar_, TB_AUTOSIZE, 0, 0);
    return true;
}

int MainToolbar::Place()
{
    if (!toolbar_)
        return 0;
    ::SendMessageW(toolbar_, TB_AUTOSIZE, 0, 0);
    RECT client{};
    ::GetClientRect(::GetParent(toolbar_), &client);
    RECT own{};
    ::GetWindowRect(toolbar_, &own);
    const int height = own.bottom - own.top;
    ::SetWindowPos(toolbar_, nullptr, 0, 0, client.right, height, SWP_NOZORDER | SWP_NOACTIVATE);
    return height;
}

void MainToolbar::Enable(UINT command, bool enabled)
{
    if (toolbar_ && IsEnabled(command) != enabled)
        ::SendMessageW(toolbar_, TB_ENABLEBUTTON, command, MAKELPARAM(enabled ? TRUE : FALSE, 0));
}

bool MainToolbar::IsEnabled(UINT command) const
{
    return toolbar_ && ::SendMessageW(toolbar_, TB_ISBUTTONENABLED, command, 0) != 0;
}

bool MainToolbar::Visible() const
{
    return toolbar_ && ::IsWindowVisible(toolbar_);
}

}  // namespace vw
