// The resources as the built program carries them: every dialog template makes a real window whose
// controls have the ids, kinds, texts and places the program relies on; the menus, the toolbar layout,
// the string, the images, the version and the manifest are what the windows load at run time.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "win/UniqueHandle.h"

namespace {

HINSTANCE Self() { return ::GetModuleHandleW(nullptr); }

INT_PTR CALLBACK PlainProcedure(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// A modeless window made from a template of this executable.
vw::UniqueWindow TemplateWindow(UINT id)
{
    return vw::UniqueWindow(::CreateDialogParamW(Self(), MAKEINTRESOURCEW(id), nullptr, PlainProcedure, 0));
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return name;
}

std::wstring TextOf(HWND window)
{
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, 256);
    return text;
}

// The control's rectangle in the dialog's client area, against the table's dialog units.
RECT ClientRect(HWND dialog, HWND control)
{
    RECT r;
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The dialog manager converts a control's position and its size each on their own.
RECT DialogUnits(HWND dialog, int x, int y, int w, int h)
{
    RECT r{x, y, w, h};
    ::MapDialogRect(dialog, &r);
    return RECT{r.left, r.top, r.left + r.right, r.top + r.bottom};
}

struct ControlRow {
    int id;
    const wchar_t* kind;  // class name
    const wchar_t* text;
    int x, y, w, h;
    DWORD style = 0;  // bits that must be set
};

constexpr DWORD kNumber = ES_NUMBER | ES_CENTER | ES_AUTOHSCROLL;
constexpr DWORD kCheck = BS_AUTOCHECKBOX;

struct TemplateCase {
    UINT id;
    const wchar_t* title;
    int width, height;
    DWORD style;  // bits of the frame that must be set
    std::vector<ControlRow> controls;
};

std::vector<TemplateCase> Templates()
{
    return {
        {IDD_VAULTWREN_DIALOG, L"Vaultwren", 532, 343,
         WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_THICKFRAME,
         {
             {IDC_TASK_LIST, L"SysListView32", L"", 7, 57, 518, 204,
              LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_OWNERDRAWFIXED},
             {IDC_TASK_LIST_LABEL, L"Static", L"备份任务列表：", 10, 46, 80, 8},
             {IDC_STATUS_GROUP, L"Button", L"系统状态：", 7, 264, 518, 72, BS_GROUPBOX},
             {IDC_STATUS_PANEL, L"Edit", L"", 14, 279, 511, 49,
              ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL},
         }},
        {IDD_ITEM_EDIT, L"修改备份任务", 257, 273, DS_MODALFRAME | WS_CAPTION | WS_SYSMENU,
         {
             {IDC_ITEM_NAME, L"Edit", L"", 7, 26, 226, 14, ES_AUTOHSCROLL},
             {IDC_ITEM_SOURCE, L"Edit", L"", 7, 60, 226, 14, ES_AUTOHSCROLL},
             {IDC_ITEM_BROWSE_SOURCE, L"Button", L"", 234, 59, 16, 16, BS_ICON},
             {IDC_ITEM_DEST, L"Edit", L"", 7, 94, 225, 14, ES_AUTOHSCROLL},
             {IDC_ITEM_BROWSE_DEST, L"Button", L"", 234, 93, 16, 16, BS_ICON},
             {IDC_ITEM_START, L"Button", L" 在系统启动", 23, 139, 58, 10, kCheck},
             {IDC_ITEM_START_TIME, L"Edit", L"", 82, 137, 20, 14, kNumber},
             {IDC_ITEM_CLOCK, L"Button", L" 在每天的", 23, 157, 50, 10, kCheck},
             {IDC_ITEM_CLOCK_HOUR, L"Edit", L"", 73, 155, 15, 14, kNumber},
             {IDC_ITEM_CLOCK_MINUTE, L"Edit", L"", 102, 155, 15, 14, kNumber},
             {IDC_ITEM_HISTORY, L"Button", L"保留上一版本的文件（保存在“历史文件”文件夹中）", 23, 210, 197, 10,
              kCheck},
             {IDC_ITEM_FOLLOW, L"Button", L" 目标文件夹盘符检测（防止可移动磁盘盘符变化）", 23, 227, 194, 10,
              kCheck},
             {IDC_ITEM_CLEAN_HISTORY, L"Button", L"清理历史文件", 7, 252, 56, 14},
             {IDC_ITEM_RESET, L"Button", L"任务重置", 75, 252, 50, 14},
             {IDC_ITEM_OK, L"Button", L"确定", 137, 252, 50, 14},
             {IDCANCEL, L"Button", L"取消", 199, 252, 50, 14},
             {IDC_ITEM_START_LABEL, L"Static", L"分钟后自动运行当前备份任务", 107, 139, 105, 8},
             {IDC_ITEM_CLOCK_COLON, L"Static", L"：", 93, 158, 8, 8},
             {IDC_ITEM_CLOCK_LABEL, L"Static", L"自动运行当前备份任务", 123, 157, 81, 8},
             {IDC_ITEM_BUSY_NOTE, L"Static", L"（任务正在运行中，必须停止备份任务后才能修改）", 46, 14, 185, 8},
             {IDC_ITEM_MONDAY, L"Button", L"周一", 23, 175, 27, 10, kCheck},
             {IDC_ITEM_TUESDAY, L"Button", L"周二", 53, 175, 27, 10, kCheck},
             {IDC_ITEM_WEDNESDAY, L"Button", L"周三", 83, 175, 27, 10, kCheck},
             {IDC_ITEM_THURSDAY, L"Button", L"周四", 113, 175, 27, 10, kCheck},
             {IDC_ITEM_FRIDAY, L"Button", L"周五", 143, 175, 27, 10, kCheck},
             {IDC_ITEM_SATURDAY, L"Button", L"周六", 173, 175, 27, 10, kCheck},
             {IDC_ITEM_SUNDAY, L"Button", L"周日", 203, 175, 27, 10, kCheck},
             {IDC_ITEM_AUTO, L"Button", L"每隔", 23, 192, 32, 10, kCheck},
             {IDC_ITEM_AUTO_MINUTE, L"Edit", L"", 55, 190, 28, 14, kNumber},
             {IDC_ITEM_AUTO_LABEL, L"Static", L"分钟自动运行一次当前备份任务", 88, 192, 113, 8},
         }},
        {IDD_OPTIONS, L"设置", 267, 204, DS_MODALFRAME | WS_CAPTION | WS_SYSMENU,
         {
             {IDC_OPTIONS_AUTORUN, L"Button", L" Windows启动时自动运行", 28, 25, 103, 10, kCheck},
             {IDC_OPTIONS_MIN_START, L"Button", L" 系统启动时最小化", 28, 44, 82, 10, kCheck},
             {IDC_OPTIONS_MIN_TIME, L"Edit", L"", 64, 98, 31, 14, ES_NUMBER | ES_AUTOHSCROLL},
             {IDC_OPTIONS_SPEED, L"Edit", L"", 85, 124, 31, 14, ES_NUMBER | ES_AUTOHSCROLL},
             {IDC_OPTIONS_OK, L"Button", L"确定", 77, 177, 50, 14},
             {IDCANCEL, L"Button", L"取消", 139, 177, 50, 14},
         }},
        {IDD_RESTORE, L"恢复文件", 260, 96, DS_MODALFRAME | WS_CAPTION | WS_SYSMENU,
         {
             {IDC_RESTORE_TARGET, L"Edit", L"", 7, 22, 225, 14, ES_AUTOHSCROLL},
             {IDC_RESTORE_BROWSE, L"Button", L"", 236, 21, 16, 16, BS_ICON},
             {IDC_RESTORE_PREVIOUS, L"Button", L"恢复上一版本（历史文件）", 7, 45, 200, 10, kCheck},
             {IDOK, L"Button", L"确定", 74, 75, 50, 14, BS_DEFPUSHBUTTON},
             {IDCANCEL, L"Button", L"取消", 136, 75, 50, 14},
         }},
        {IDD_ABOUTBOX, L"关于Vaultwren", 170, 157, DS_MODALFRAME | WS_CAPTION | WS_SYSMENU,
         {
             {IDC_ABOUT_VERSION, L"Edit", L"", 41, 16, 115, 14, ES_READONLY},
             {IDC_ABOUT_FEEDBACK, L"Button", L"问题反馈与建议", 7, 136, 64, 14},
             {IDOK, L"Button", L"确 定", 113, 136, 50, 14, BS_DEFPUSHBUTTON},
         }},
        {IDD_MESSAGE_DLG, L"", 227, 143, WS_POPUP,
         {
             {IDC_NOTICE_BROWSER, L"Static", L"", 0, 11, 227, 132},
             {IDC_NOTICE_TITLE, L"Static", L"Vaultwren", 3, 1, 33, 8},
         }},
    };
}

class ResourcesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        INITCOMMONCONTROLSEX icc{};
        icc.dwSize = sizeof(icc);
        icc.dwICC = ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES;
        ::InitCommonControlsEx(&icc);
        // The main window's template names its own class, a copy of the dialog class.
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        ::GetClassInfoExW(nullptr, L"#32770", &wc);
        wc.hInstance = Self();
        wc.lpszClassName = L"CVaultwren";
        ::RegisterClassExW(&wc);
    }
};

TEST_F(ResourcesTest, EveryTemplateMakesItsWindowWithTheTableControls)
{
    for (const TemplateCase& t : Templates()) {
        SCOPED_TRACE(t.id);
        vw::UniqueWindow dialog = TemplateWindow(t.id);
        ASSERT_NE(dialog.get(), nullptr);
        HWND d = dialog.get();
        EXPECT_EQ(TextOf(d), t.title);
        EXPECT_EQ(static_cast<DWORD>(::GetWindowLongPtrW(d, GWL_STYLE)) & t.style, t.style);
        RECT client;
        ::GetClientRect(d, &client);
        RECT size = DialogUnits(d, 0, 0, t.width, t.height);
        EXPECT_EQ(client.right, size.right);
        EXPECT_EQ(client.bottom, size.bottom);
        for (const ControlRow& c : t.controls) {
            SCOPED_TRACE(c.id);
            HWND control = ::GetDlgItem(d, c.id);
            ASSERT_NE(control, nullptr);
            EXPECT_EQ(ClassOf(control), c.kind);
            EXPECT_EQ(TextOf(control), c.text);
            EXPECT_EQ(static_cast<DWORD>(::GetWindowLongPtrW(control, GWL_STYLE)) & c.style, c.style);
            RECT want = DialogUnits(d, c.x, c.y, c.w, c.h);
            RECT got = ClientRect(d, control);
            EXPECT_EQ(got.left, want.left);
            EXPECT_EQ(got.top, want.top);
            EXPECT_EQ(got.right, want.right);
            EXPECT_EQ(got.bottom, want.bottom);
        }
    }
}

TEST_F(ResourcesTest, MainWindowIsAnApplicationWindowOfItsOwnClassInSimSun)
{
    vw::UniqueWindow dialog = TemplateWindow(IDD_VAULTWREN_DIALOG);
    ASSERT_NE(dialog.get(), nullptr);
    EXPECT_EQ(ClassOf(dialog.get()), L"CVaultwren");
    EXPECT_TRUE(::GetWindowLongPtrW(dialog.get(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
    EXPECT_FALSE(::GetWindowLongPtrW(dialog.get(), GWL_STYLE) & WS_MAXIMIZEBOX);
    LOGFONTW font{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(dialog.get(), WM_GETFONT, 0, 0)), sizeof(font), &font);
    EXPECT_STREQ(font.lfFaceName, L"宋体");
}

TEST_F(ResourcesTest, EditorStartsWithTheBusyNoteHiddenAndNoDefaultButton)
{
    vw::UniqueWindow dialog = TemplateWindow(IDD_ITEM_EDIT);
    ASSERT_NE(dialog.get(), nullptr);
    EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(dialog.get(), IDC_ITEM_BUSY_NOTE)));
    for (int id : {IDC_ITEM_OK, IDCANCEL, IDC_ITEM_CLEAN_HISTORY, IDC_ITEM_RESET})
        EXPECT_EQ(::GetWindowLongPtrW(::GetDlgItem(dialog.get(), id), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON)
            << id;
}

struct MenuRow {
    UINT id;  // 0 for a separator
    const wchar_t* caption;
};

void ExpectMenu(UINT menuId, const std::vector<MenuRow>& rows)
{
    SCOPED_TRACE(menuId);
    vw::UniqueMenu menu(::LoadMenuW(Self(), MAKEINTRESOURCEW(menuId)));
    ASSERT_TRUE(menu);
    ASSERT_EQ(::GetMenuItemCount(menu.get()), 1);
    HMENU popup = ::GetSubMenu(menu.get(), 0);
    ASSERT_EQ(::GetMenuItemCount(popup), static_cast<int>(rows.size()));
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        wchar_t text[64] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = 64;
        ASSERT_TRUE(::GetMenuItemInfoW(popup, static_cast<UINT>(i), TRUE, &info));
        if (rows[i].id == 0) {
            EXPECT_TRUE(info.fType & MFT_SEPARATOR);
            continue;
        }
        EXPECT_EQ(info.wID, rows[i].id);
        EXPECT_STREQ(text, rows[i].caption);
    }
}

TEST_F(ResourcesTest, TrayMenuHasItsItemsByPosition)
{
    ExpectMenu(IDR_TRAY_MENU, {{ID_SHOW_WINDOW, L"显示主窗口(&O)"},
                               {0, nullptr},
                               {ID_START, L"启动(&F)"},
                               {ID_PAUSE, L"暂停(&P)"},
                               {ID_STOP, L"停止(S)"},
                               {0, nullptr},
                               {ID_UPDATE, L"软件升级(&U)"},
                               {0, nullptr},
                               {ID_EXIT, L"退出(&E)"}});
}

TEST_F(ResourcesTest, TaskMenuOffersEveryTaskCommand)
{
    ExpectMenu(IDR_TASK_MENU, {{ID_START_TASK, L"启动(&F)"},
                               {ID_PAUSE_TASK, L"暂停(&P)"},
                               {ID_STOP_TASK, L"停止(&S)"},
                               {0, nullptr},
                               {ID_EDIT_TASK, L"修改(&E)"},
                               {ID_DELETE_TASK, L"删除(&D)"},
                               {0, nullptr},
                               {ID_MOVE_UP, L"向上(&U)"},
                               {ID_MOVE_DOWN, L"向下(&D)"},
                               {0, nullptr},
                               {ID_OPEN_BACKUP_FOLDER, L"打开备份文件夹(&O)"},
                               {ID_OPEN_HISTORY_FOLDER, L"打开历史文件夹(&H)"},
                               {0, nullptr},
                               {ID_VERIFY_TASK, L"校验备份"},
                               {ID_RESTORE_TASK, L"恢复文件…"},
                               {0, nullptr},
                               {ID_RESET_TASK, L"重置任务(&R)"}});
}

TEST_F(ResourcesTest, ToolbarLayoutListsTheButtonsInOrderWithSeparators)
{
    HRSRC found = ::FindResourceW(Self(), MAKEINTRESOURCEW(IDR_TOOLBAR), MAKEINTRESOURCEW(241));
    ASSERT_NE(found, nullptr);
    const WORD* words = static_cast<const WORD*>(::LockResource(::LoadResource(Self(), found)));
    const std::vector<WORD> want{1, 32, 32, 13, ID_ADD_TASK, ID_EDIT_TASK, ID_DELETE_TASK, 0, ID_START, ID_PAUSE,
                                 ID_STOP, 0, ID_MOVE_UP, ID_MOVE_DOWN, 0, ID_OPTIONS, ID_ABOUT};
    ASSERT_EQ(::SizeofResource(Self(), found), want.size() * sizeof(WORD));
    EXPECT_EQ(std::vector<WORD>(words, words + want.size()), want);
}

TEST_F(ResourcesTest, AboutItemStringOfTheSystemMenu)
{
    wchar_t text[64] = {};
    ASSERT_GT(::LoadStringW(Self(), IDS_ABOUTBOX, text, 64), 0);
    EXPECT_STREQ(text, L"关于Vaultwren(&A)...");
}

// Mean colour of an image's opaque pixels and its mean saturation, read from a 32 bpp copy.
struct Look {
    double red = 0, green = 0, blue = 0, saturation = 0, brightness = 0;
};

Look LookOf(HBITMAP bitmap, int width, int height, HBITMAP mask = nullptr)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<RGBQUAD> pixels(static_cast<size_t>(width) * height);
    vw::UniqueDC dc(::CreateCompatibleDC(nullptr));
    ::GetDIBits(dc.get(), bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
    std::vector<RGBQUAD> maskPixels;
    if (mask) {
        maskPixels.resize(pixels.size());
        ::GetDIBits(dc.get(), mask, 0, height, maskPixels.data(), &info, DIB_RGB_COLORS);
    }
    Look look;
    int counted = 0;
    for (size_t i = 0; i < pixels.size(); ++i) {
        const RGBQUAD& p = pixels[i];
        bool transparent = mask ? maskPixels[i].rgbRed != 0 : (p.rgbReserved == 0);
        if (transparent)
            continue;
        double r = p.rgbRed / 255.0, g = p.rgbGreen / 255.0, b = p.rgbBlue / 255.0;
        double hi = std::max({r, g, b}), lo = std::min({r, g, b});
        look.red += r;
        look.green += g;
        look.blue += b;
        look.saturation += hi > 0 ? (hi - lo) / hi : 0;
        look.brightness += (r + g + b) / 3;
        ++counted;
    }
    if (counted) {
        for (double* v : {&look.red, &look.green, &look.blue, &look.saturation, &look.brightness})
            *v /= counted;
    }
    return look;
}

Look IconLook(UINT id, int size)
{
    vw::UniqueIcon icon(static_cast<HICON>(
        ::LoadImageW(Self(), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
    EXPECT_TRUE(icon);
    ICONINFO info{};
    ::GetIconInfo(icon.get(), &info);
    vw::UniqueGdiObject colour(info.hbmColor), mask(info.hbmMask);
    BITMAP bm{};
    ::GetObjectW(info.hbmColor, sizeof(bm), &bm);
    EXPECT_EQ(bm.bmWidth, size) << id;
    EXPECT_EQ(bm.bmHeight, size) << id;
    return LookOf(info.hbmColor, size, size, info.hbmMask);
}

TEST_F(ResourcesTest, IconsLoadAtTheirSizes)
{
    const struct {
        UINT id;
        std::vector<int> sizes;
    } icons[] = {
        {IDR_MAINFRAME, {16, 24, 32, 48, 64, 256}},
        {IDI_TRAY_IDLE, {16, 32}},
        {IDI_TRAY_RUNNING, {16, 32}},
        {IDI_BROWSE, {16, 32}},
        {IDI_CLOSE_MARK, {14, 16}},
    };
    for (const auto& icon : icons)
        for (int size : icon.sizes)
            IconLook(icon.id, size);
}

TEST_F(ResourcesTest, TrayLooksDifferInColourAtSixteenPixels)
{
    Look idle = IconLook(IDI_TRAY_IDLE, 16);
    Look running = IconLook(IDI_TRAY_RUNNING, 16);
    EXPECT_GT(idle.blue, idle.green);
    EXPECT_GT(running.green, running.blue);
    EXPECT_GT(std::abs(idle.blue - running.blue) + std::abs(idle.green - running.green), 0.3);
}

BITMAP LoadedBitmap(UINT id, vw::UniqueGdiObject& owner)
{
    owner.reset(::LoadImageW(Self(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    BITMAP bm{};
    ::GetObjectW(owner.get(), sizeof(bm), &bm);
    return bm;
}

TEST_F(ResourcesTest, MenuBitmapsAreThirteenPixelsSquare)
{
    for (UINT id : {IDB_MENU_START, IDB_MENU_PAUSE, IDB_MENU_STOP}) {
        vw::UniqueGdiObject bitmap;
        BITMAP bm = LoadedBitmap(id, bitmap);
        EXPECT_EQ(bm.bmWidth, 13) << id;
        EXPECT_EQ(bm.bmHeight, 13) << id;
    }
}

TEST_F(ResourcesTest, ToolbarStripsHoldTenImagesColdGreyerHotBrighter)
{
    Look looks[3];
    const UINT ids[3] = {IDR_TOOLBAR, IDB_TOOLBAR_COLD, IDB_TOOLBAR_HOT};
    for (int i = 0; i < 3; ++i) {
        vw::UniqueGdiObject bitmap;
        BITMAP bm = LoadedBitmap(ids[i], bitmap);
        EXPECT_EQ(bm.bmWidth, 10 * 32) << ids[i];
        EXPECT_EQ(bm.bmHeight, 32) << ids[i];
        EXPECT_EQ(bm.bmBitsPixel, 32) << ids[i];
        looks[i] = LookOf(static_cast<HBITMAP>(bitmap.get()), bm.bmWidth, bm.bmHeight);
    }
    EXPECT_LT(looks[1].saturation, looks[0].saturation * 0.6);
    EXPECT_GT(looks[2].brightness, looks[0].brightness);
}

std::wstring VersionString(const std::vector<BYTE>& block, const wchar_t* name)
{
    wchar_t* value = nullptr;
    UINT length = 0;
    std::wstring path = std::wstring(L"\\StringFileInfo\\080404b0\\") + name;
    if (!::VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length))
        return L"(none)";
    return value;
}

TEST_F(ResourcesTest, VersionIsOnePointTen)
{
    wchar_t path[MAX_PATH];
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::vector<BYTE> block(::GetFileVersionInfoSizeW(path, nullptr));
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(::GetFileVersionInfoW(path, 0, static_cast<DWORD>(block.size()), block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(10, 1));
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(10, 1));
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(VersionString(block, L"ProductName"), L"Vaultwren");
    EXPECT_EQ(VersionString(block, L"ProductVersion"), L"1.10");
    EXPECT_EQ(VersionString(block, L"FileVersion"), L"1.10");
    EXPECT_EQ(VersionString(block, L"OriginalFilename"), L"Vaultwren.exe");
}

TEST_F(ResourcesTest, ManifestAsksForTheNewCommonControlsAndDpiAwareness)
{
    // The manifest's dependency puts a redirection of comctl32.dll into the process's activation context.
    ACTCTX_SECTION_KEYED_DATA data{};
    data.cbSize = sizeof(data);
    EXPECT_TRUE(::FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, L"comctl32.dll",
                                           &data));
    EXPECT_TRUE(::IsProcessDPIAware());
}

}  // namespace
