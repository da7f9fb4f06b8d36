// The window's "校验备份" and "恢复文件…" commands, driven by id on the real main window, and the
// restore dialog on its real template.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "MainWindowDriver.h"
#include "engine/SystemErrorText.h"
#include "resources/resource.h"
#include "support/DialogDriver.h"
#include "support/MessageBoxAnswerer.h"
#include "support/ModalDriver.h"
#include "support/Screenshot.h"
#include "support/TestDrives.h"
#include "ui/CRestoreDlg.h"
#include "win/Format.h"

namespace {

using namespace std::chrono_literals;
using vwtest::Click;
using vwtest::MainWindowDriver;
using vwtest::TextOf;
using vwtest::Type;

constexpr wchar_t kIdleCaption[] = L"系统状态：空闲中";
constexpr wchar_t kDest[] = L"N:\\backups\\docs\\";

class RestoreDlgTest : public vwtest::DialogTest {
protected:
    INT_PTR Run(vw::CRestoreDlg& dialog, const std::function<void(HWND)>& steps)
    {
        return vwtest::DriveModal(L"恢复文件", [&] { return dialog.Run(nullptr); }, steps);
    }
};

TEST_F(RestoreDlgTest, ShowsTheProposedFolderAndGivesBackWhatWasChosen)
{
    vw::CRestoreDlg dialog(kDest, vw::RestoreChoice{L"C:\\users\\me\\Desktop\\文档 恢复 2026-12-11", false});
    const INT_PTR result = Run(dialog, [](HWND d) {
        EXPECT_EQ(TextOf(d, IDC_RESTORE_TARGET), L"C:\\users\\me\\Desktop\\文档 恢复 2026-12-11");
        EXPECT_FALSE(vwtest::IsChecked(d, IDC_RESTORE_PREVIOUS));
        EXPECT_EQ(vwtest::WindowText(::GetDlgItem(d, IDC_RESTORE_PREVIOUS)), L"恢复上一版本（历史文件）");
        vwtest::SaveScreenshot(L"restore-dialog", {d});
        Type(d, IDC_RESTORE_TARGET, L"  O:\\restored  ");
        Click(d, IDC_RESTORE_PREVIOUS);
        Click(d, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.Choice().target, L"O:\\restored");
    EXPECT_TRUE(dialog.Choice().previous);
}

TEST_F(RestoreDlgTest, RefusesAFolderInsideTheBackupOrWithoutADrive)
{
    const vwtest::RunDialog run = [&](const std::function<void(HWND)>& steps) {
        vw::CRestoreDlg dialog(kDest, vw::RestoreChoice{L"O:\\restored", false});
        return Run(dialog, steps);
    };
    vwtest::ExpectEachEntryRefused(
        run, IDOK,
        {
            {"inside the backup", IDC_RESTORE_TARGET, L"N:\\backups\\docs\\restored",
             vw::SystemErrorText(vw::ERR_RESTORE_TARGET_IN_DEST)},
            {"holding the backup", IDC_RESTORE_TARGET, L"N:\\", vw::SystemErrorText(vw::ERR_RESTORE_TARGET_IN_DEST)},
            {"no drive", IDC_RESTORE_TARGET, L"restored", vw::SystemErrorText(vw::ERR_RESTORE_TARGET_UNUSABLE)},
            {"empty", IDC_RESTORE_TARGET, L"", vw::SystemErrorText(vw::ERR_RESTORE_TARGET_UNUSABLE)},
        });
}

class VerifyRestoreWindow : public vwtest::MainWindowFixture {
protected:
    VerifyRestoreWindow() : MainWindowFixture(L"ui-verify", L"ui-verify", L"备份") {}

    static bool PanelHas(const MainWindowDriver& w, const std::wstring& text)
    {
        return w.Text(IDC_STATUS_PANEL).find(text) != std::wstring::npos;
    }

    vwtest::ScratchFolder targets{vwtest::kDiskO, L"ui-restore"};
};

TEST_F(VerifyRestoreWindow, VerifyAndRestoreRunFromTheTaskCommands)
{
    AddTask(L"文档", 3);
    auto w = Open();
    w->Select(0);
    w->Command(ID_START_TASK);
    ASSERT_TRUE(w->WaitUntil([&] { return PanelHas(*w, L"备份任务完成！"); }));
    ASSERT_TRUE(w->WaitUntil([&] { return w->Text(IDC_STATUS_GROUP) == kIdleCaption; }));

    // A copy damaged behind the program's back, its time and size put back.
    ASSERT_TRUE(vwtest::DamageKeepingStamp(DestOf(L"文档") + L"\\f01.txt", 0, "#"));
    w->Command(ID_VERIFY_TASK);
    ASSERT_TRUE(w->WaitUntil([&] { return PanelHas(*w, L"校验任务“文档”的备份完成：2个文件相同，1个文件内容与源文件不同"); }))
        << vw::WideToUtf8(w->Text(IDC_STATUS_PANEL));
    ASSERT_TRUE(w->WaitUntil([&] { return w->Text(IDC_STATUS_GROUP) == kIdleCaption; }));
    EXPECT_TRUE(PanelHas(*w, L"备份文件“" + DestOf(L"文档") + L"\\f01.txt”的内容与源文件不同"));
    EXPECT_EQ(w->ListRows().at(0).at(4), L"") << "a verify leaves the task's backup state alone";
    vwtest::SaveScreenshot(L"verify-done", {w->window()});

    const std::wstring target = targets / L"恢复到这里";
    {
        vwtest::MessageBoxAnswerer no(IDNO);
        w->Post(ID_RESTORE_TASK);
        HWND dialog = nullptr;
        // Shown, so through its initialisation: what is typed now is not overwritten.
        ASSERT_TRUE(w->WaitUntil(
            [&] {
                dialog = ::FindWindowW(L"#32770", L"恢复文件");
                return dialog && ::IsWindowVisible(dialog) && !TextOf(dialog, IDC_RESTORE_TARGET).empty();
            },
            10s));
        EXPECT_NE(TextOf(dialog, IDC_RESTORE_TARGET).find(L"文档 恢复 "), std::wstring::npos)
            << "a new folder on the desktop named after the task and the day";
        Type(dialog, IDC_RESTORE_TARGET, target);
        vwtest::SaveScreenshot(L"restore-from-window", {w->window(), dialog});
        Click(dialog, IDOK);
        ASSERT_TRUE(w->WaitUntil([&] { return !no.Texts().empty(); }));
        EXPECT_EQ(no.Texts().front(), L"文件已恢复到“" + target + L"”。\r\n要打开这个文件夹吗？");
    }
    ASSERT_TRUE(w->WaitUntil([&] { return w->Text(IDC_STATUS_GROUP) == kIdleCaption; }));
    EXPECT_TRUE(PanelHas(*w, L"”完成，成功恢复3个文件")) << vw::WideToUtf8(w->Text(IDC_STATUS_PANEL));
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(vwtest::FileExists(target + vw::Format(L"\\f%02d.txt", i)));
    EXPECT_EQ(vwtest::ReadFileBytes(target + L"\\f01.txt")[0], '#') << "the backup's bytes, as they are";
}

}  // namespace
