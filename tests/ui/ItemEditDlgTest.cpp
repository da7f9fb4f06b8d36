// The task editor on its real template: what it shows, the balloon of the first failing check on
// the field to correct, the existing-files question, what it stores, and the read-only state of a
// task that is not idle. Driven by control id from a second thread while the dialog runs modally.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "resources/resource.h"
#include "support/DialogDriver.h"
#include "support/MessageBoxAnswerer.h"
#include "support/MessageWindow.h"
#include "support/ModalDriver.h"
#include "support/Screenshot.h"
#include "support/TestDrives.h"
#include "support/TestRegistry.h"
#include "task/AppSettings.h"
#include "task/CBackupItem.h"
#include "task/CBackupItemList.h"
#include "ui/CItemEditDlg.h"
#include "win/ProfileStore.h"

namespace {

using namespace std::chrono_literals;
using vw::CBackupItem;
using vw::DateTime;
using vwtest::Click;
using vwtest::TextOf;
using vwtest::Type;

constexpr wchar_t kBusyText[] = L"备份任务正在运行中，请等待任务完成或终止后再试！";
constexpr wchar_t kQuestionStart[] = L"备份目标文件夹中已有文件存在，可能造成清理历史文件时原有文件的丢失！\r\n你确定要使用此目标文件夹吗？";
constexpr wchar_t kHistoryNote[] = L"请注意：目标文件夹中原有文件将在备份时移动到历史文件夹中！";

constexpr int kWeekdays[] = {IDC_ITEM_MONDAY, IDC_ITEM_TUESDAY,  IDC_ITEM_WEDNESDAY, IDC_ITEM_THURSDAY,
                             IDC_ITEM_FRIDAY, IDC_ITEM_SATURDAY, IDC_ITEM_SUNDAY};

bool Enabled(HWND dialog, int id) { return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE; }
bool Visible(HWND dialog, int id) { return ::IsWindowVisible(::GetDlgItem(dialog, id)) != FALSE; }

class ItemEditDlgTest : public vwtest::DialogTest {
protected:
    ItemEditDlgTest()
    {
        EXPECT_TRUE(vwtest::WriteFileBytes(data_ + L"\\a.txt", "a"));
        EXPECT_TRUE(vwtest::WriteFileBytes(backup_ + L"\\earlier.txt", "e"));
        EXPECT_TRUE(vwtest::WriteFileBytes(other_ + L"\\old.txt", "o"));
        task_.index = 0;
        task_.Id = L"{00000000-1111-2222-3333-444444444444}";
        task_.Name = L"文档";
        task_.Source = data_;
        task_.Dest = backup_;
        task_.Start = 1;
        task_.StartTime = 10;
        task_.Clock = 1;
        task_.ClockHour = 7;
        task_.ClockMinute = 5;
        task_.Week = 0x15;  // Monday, Wednesday, Friday
        task_.History = 1;
        task_.CreateTime = kCreated;
        task_.LastTime = kLastBackup;
        EXPECT_TRUE(task_.Save());
    }

    INT_PTR Edit(CBackupItem& task, bool isNew, const std::function<void(HWND)>& steps, HWND mainWindow = nullptr)
    {
        vw::CItemEditDlg dialog(task, isNew, settings_, mainWindow);
        dialog_ = &dialog;
        const INT_PTR result = vwtest::DriveModal(isNew ? L"新增备份任务" : L"修改备份任务",
                                                  [&] { return dialog.Run(nullptr); }, steps);
        dialog_ = nullptr;
        return result;
    }

    // The balloon showing on the dialog: its title as the dialog put it up, its text as the
    // balloon window holds it. Empty when no balloon shows.
    std::pair<std::wstring, std::wstring> Balloon(HWND d) const
    {
        const vwtest::Balloon shown = vwtest::VisibleBalloon(d);
        if (!shown.window || shown.window != dialog_->Balloon().Handle())
            return {};
        return {dialog_->Balloon().Title(), shown.text};
    }

    vw::TaskSnapshot Stored()
    {
        CBackupItem again(profile_, settings_, 10009);
        again.index = 0;
        EXPECT_TRUE(again.Load());
        return again.Snapshot();
    }

    const DateTime kCreated = DateTime::FromParts(2025, 1, 2, 3, 4, 5);
    const DateTime kLastBackup = DateTime::FromParts(2025, 6, 7, 8, 9, 10);
    vwtest::TestRegistryKey key_{L"item-edit"};
    vw::ProfileStore profile_{key_.path()};
    vw::AppSettings settings_;
    vwtest::ScratchFolder scratch_{vwtest::kDiskM, L"edit"};
    std::wstring root_ = scratch_.path().substr(0, scratch_.path().size() - 1);
    std::wstring data_ = root_ + L"\\Data";
    std::wstring backup_ = root_ + L"\\Backup";
    std::wstring other_ = root_ + L"\\Other";  // holds a file
    CBackupItem task_{profile_, settings_, 10001};
    const vw::CItemEditDlg* dialog_ = nullptr;
};

TEST_F(ItemEditDlgTest, ShowsTheTaskWithTwoDigitClockFieldsAndTheWeekdaysOfADailyTask)
{
    const INT_PTR result = Edit(task_, false, [&](HWND d) {
        EXPECT_EQ(TextOf(d, IDC_ITEM_NAME), L"文档");
        EXPECT_EQ(TextOf(d, IDC_ITEM_SOURCE), data_);
        EXPECT_EQ(TextOf(d, IDC_ITEM_DEST), backup_);
        EXPECT_TRUE(vwtest::IsChecked(d, IDC_ITEM_START));
        EXPECT_EQ(TextOf(d, IDC_ITEM_START_TIME), L"10");
        EXPECT_TRUE(vwtest::IsChecked(d, IDC_ITEM_CLOCK));
        EXPECT_EQ(TextOf(d, IDC_ITEM_CLOCK_HOUR), L"07");
        EXPECT_EQ(TextOf(d, IDC_ITEM_CLOCK_MINUTE), L"05");
        EXPECT_TRUE(vwtest::IsChecked(d, IDC_ITEM_HISTORY));
        EXPECT_FALSE(vwtest::IsChecked(d, IDC_ITEM_AUTO));
        EXPECT_EQ(TextOf(d, IDC_ITEM_AUTO_MINUTE), L"120");
        for (int bit = 0; bit < 7; ++bit) {
            EXPECT_EQ(vwtest::IsChecked(d, kWeekdays[bit]), (0x15 & (1 << bit)) != 0) << bit;
            EXPECT_TRUE(Enabled(d, kWeekdays[bit])) << bit;
        }
        EXPECT_FALSE(Visible(d, IDC_ITEM_BUSY_NOTE));
        EXPECT_NE(::SendDlgItemMessageW(d, IDC_ITEM_BROWSE_SOURCE, BM_GETIMAGE, IMAGE_ICON, 0), 0);
        vwtest::SaveScreenshot(L"task-editor", {d});

        // The daily box switches the weekdays with it.
        Click(d, IDC_ITEM_CLOCK);
        for (int id : kWeekdays)
            EXPECT_FALSE(Enabled(d, id)) << id;
        Click(d, IDC_ITEM_CLOCK);
        for (int id : kWeekdays)
            EXPECT_TRUE(Enabled(d, id)) << id;
        Click(d, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
}

TEST_F(ItemEditDlgTest, ANewTaskConfirmedWithoutFoldersShowsTheBalloonOnTheSourceField)
{
    vw::CBackupItemList list(profile_, settings_);
    CBackupItem* added = list.AddNew();
    ASSERT_NE(added, nullptr);
    const INT_PTR result = Edit(*added, true, [&](HWND d) {
        Click(d, IDC_ITEM_OK);
        const auto [title, text] = Balloon(d);
        EXPECT_EQ(title, L"请输入要备份的文件夹路径");
        EXPECT_EQ(text, L"文件夹路径不能为空");
        EXPECT_EQ(vwtest::FocusOf(d), ::GetDlgItem(d, IDC_ITEM_SOURCE));
        EXPECT_TRUE(::IsWindowVisible(d)) << "the dialog stays open";
        std::this_thread::sleep_for(300ms);
        vwtest::SaveScreenshot(L"task-editor-balloon", {d, dialog_->Balloon().Handle()});

        // Typing in the field takes the balloon away.
        Type(d, IDC_ITEM_SOURCE, L"M");
        EXPECT_EQ(Balloon(d).first, L"");
    });
    EXPECT_EQ(result, IDCANCEL);
}

TEST_F(ItemEditDlgTest, TheFirstFailingCheckShowsItsBalloonOnItsFieldAndNothingIsStored)
{
    settings_.MinTime = 120;
    const std::vector<std::tuple<const char*, std::function<void(HWND)>, int, std::wstring, std::wstring>> rows = {
        {"root destination, trimmed", [](HWND d) { Type(d, IDC_ITEM_DEST, L"  M:\\ "); }, IDC_ITEM_DEST,
         L"不允许使用根文件夹作为目标文件夹", L"M:"},
        {"destination inside the source", [&](HWND d) { Type(d, IDC_ITEM_DEST, data_ + L"\\Backup\\"); },
         IDC_ITEM_DEST, L"错误的目标文件夹位置", data_ + L"\\Backup"},
        {"hour 24", [](HWND d) { Type(d, IDC_ITEM_CLOCK_HOUR, L"24"); }, IDC_ITEM_CLOCK_HOUR, L"超过了允许的时间范围",
         L""},
        {"interval below MinTime",
         [](HWND d) {
             Click(d, IDC_ITEM_AUTO);
             Type(d, IDC_ITEM_AUTO_MINUTE, L"90");
         },
         IDC_ITEM_AUTO_MINUTE, L"超过了系统当前允许的最小备份时间间隔120分钟", L""},
    };
    for (const auto& [what, enter, control, title, shownDest] : rows) {
        SCOPED_TRACE(what);
        const INT_PTR result = Edit(task_, false, [&](HWND d) {
            enter(d);
            Click(d, IDC_ITEM_OK);
            EXPECT_EQ(Balloon(d).first, title);
            EXPECT_EQ(vwtest::FocusOf(d), ::GetDlgItem(d, control));
            if (!shownDest.empty()) {
                EXPECT_EQ(TextOf(d, IDC_ITEM_DEST), shownDest);
            }
            Click(d, IDCANCEL);
        });
        EXPECT_EQ(result, IDCANCEL);
        EXPECT_EQ(Stored().Dest, backup_);
    }
}

TEST_F(ItemEditDlgTest, ADestinationThatHoldsFilesIsUsedOnlyWhenTheUserSaysSo)
{
    {
        SCOPED_TRACE("Cancel");
        vwtest::MessageBoxAnswerer answer(IDCANCEL);
        const INT_PTR result = Edit(task_, false, [&](HWND d) {
            Type(d, IDC_ITEM_DEST, other_);
            Click(d, IDC_ITEM_OK);
            EXPECT_EQ(Balloon(d).first, L"目标文件夹不为空");
            Click(d, IDCANCEL);
        });
        EXPECT_EQ(result, IDCANCEL);
        ASSERT_EQ(answer.Texts().size(), 1u);
        EXPECT_EQ(answer.Texts()[0].rfind(kQuestionStart, 0), 0u) << "the question comes first";
        EXPECT_NE(answer.Texts()[0].find(L"现有 1 个文件或文件夹"), std::wstring::npos) << "and names the count";
        EXPECT_EQ(Stored().Dest, backup_);
    }
    {
        SCOPED_TRACE("OK with history on");
        vwtest::MessageBoxAnswerer answer(IDOK);
        const INT_PTR result = Edit(task_, false, [&](HWND d) {
            Type(d, IDC_ITEM_DEST, other_);
            Click(d, IDC_ITEM_OK);
        });
        EXPECT_EQ(result, IDOK);
        const std::vector<std::wstring> texts = answer.Texts();
        ASSERT_EQ(texts.size(), 2u);
        EXPECT_EQ(texts[0].rfind(kQuestionStart, 0), 0u);
        EXPECT_EQ(texts[1], kHistoryNote);
        const vw::TaskSnapshot stored = Stored();
        EXPECT_EQ(stored.Dest, other_);
        EXPECT_TRUE(stored.CreateTime.IsNever()) << "another folder is bound afresh";
        EXPECT_TRUE(stored.LastTime.IsNever());
    }
}

TEST_F(ItemEditDlgTest, TheOwnDestinationNeverAsksALetterCaseChangeAsksAndKeepsTheBinding)
{
    std::wstring upperDest = backup_;
    upperDest.replace(upperDest.size() - 6, 6, L"BACKUP");
    const struct {
        const char* what;
        std::wstring dest;
        size_t questions;
    } rows[] = {
        {"own destination, a trailing backslash aside", backup_ + L"\\", 0},
        {"letter case only", upperDest, 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        vwtest::MessageBoxAnswerer answer(IDOK);
        const INT_PTR result = Edit(task_, false, [&](HWND d) {
            Type(d, IDC_ITEM_NAME, L"文档二");
            Type(d, IDC_ITEM_DEST, row.dest);
            Click(d, IDC_ITEM_OK);
        });
        EXPECT_EQ(result, IDOK);
        EXPECT_EQ(answer.Texts().size(), row.questions);
        const vw::TaskSnapshot stored = Stored();
        EXPECT_EQ(stored.Name, L"文档二");
        EXPECT_EQ(stored.CreateTime, kCreated);
        EXPECT_EQ(stored.LastTime, kLastBackup);
    }
    EXPECT_EQ(Stored().Dest, upperDest) << "the new text is stored";
}

TEST_F(ItemEditDlgTest, AStartDelayAboveTheRangeIsStoredWhileTheStartTriggerIsOff)
{
    const INT_PTR result = Edit(task_, false, [&](HWND d) {
        Click(d, IDC_ITEM_START);
        Type(d, IDC_ITEM_START_TIME, L"1000");
        Click(d, IDC_ITEM_OK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(Stored().Start, 0);
    EXPECT_EQ(Stored().StartTime, 1000);
}

TEST_F(ItemEditDlgTest, ANumberFieldWithoutANumberGetsTheStandardMessageAndTheFocus)
{
    const std::vector<vwtest::RefusedEntry> entries = {
        {"hour not a number", IDC_ITEM_CLOCK_HOUR, L"x", L"请输入一个整数。"},
        {"minute left empty", IDC_ITEM_CLOCK_MINUTE, L"", L"请输入一个整数。"},
        {"start delay below zero", IDC_ITEM_START_TIME, L"-1", L"请输入一个正整数。"},
        {"interval left empty", IDC_ITEM_AUTO_MINUTE, L"", L"请输入一个正整数。"},
    };
    vwtest::ExpectEachEntryRefused([&](const auto& steps) { return Edit(task_, false, steps); }, IDC_ITEM_OK, entries);
}

TEST_F(ItemEditDlgTest, ATaskThatIsNotIdleOpensReadOnlyAndCannotBeStored)
{
    task_.state = vw::kTaskWaiting;
    vwtest::MessageBoxAnswerer answer(IDOK);
    const INT_PTR result = Edit(task_, false, [&](HWND d) {
        for (int id : {IDC_ITEM_NAME, IDC_ITEM_SOURCE, IDC_ITEM_BROWSE_SOURCE, IDC_ITEM_DEST, IDC_ITEM_BROWSE_DEST,
                       IDC_ITEM_START, IDC_ITEM_START_TIME, IDC_ITEM_START_LABEL, IDC_ITEM_CLOCK, IDC_ITEM_HISTORY,
                       IDC_ITEM_FOLLOW, IDC_ITEM_CLOCK_HOUR, IDC_ITEM_CLOCK_MINUTE, IDC_ITEM_CLOCK_LABEL,
                       IDC_ITEM_CLOCK_COLON, IDC_ITEM_AUTO_MINUTE, IDC_ITEM_AUTO})
            EXPECT_FALSE(Enabled(d, id)) << id;
        for (int id : kWeekdays)
            EXPECT_FALSE(Enabled(d, id)) << id;
        for (int id : {IDC_ITEM_CLEAN_HISTORY, IDC_ITEM_RESET, IDC_ITEM_OK, IDCANCEL})
            EXPECT_TRUE(Enabled(d, id)) << id;
        EXPECT_TRUE(Visible(d, IDC_ITEM_BUSY_NOTE));
        Click(d, IDC_ITEM_OK);
        EXPECT_TRUE(::IsWindowVisible(d));
        Click(d, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(answer.Texts(), std::vector<std::wstring>{kBusyText});
}

TEST_F(ItemEditDlgTest, EnterDoesNothingAndCancelStoresNothing)
{
    const INT_PTR result = Edit(task_, false, [&](HWND d) {
        Type(d, IDC_ITEM_NAME, L"改了");
        ::SendMessageW(d, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(::IsWindowVisible(d));
        ::SendMessageW(d, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(Stored().Name, L"文档");
}

TEST_F(ItemEditDlgTest, TheMaintenanceButtonsHandTheirCommandToTheMainWindowOnlyForAnUnchangedTask)
{
    for (const auto& [button, command] : {std::pair{IDC_ITEM_CLEAN_HISTORY, ID_CLEAN_HISTORY},
                                          std::pair{IDC_ITEM_RESET, ID_RESET_TASK}}) {
        SCOPED_TRACE(button);
        vwtest::MessageWindow main;
        std::vector<WPARAM> commands;
        main.SetHandler([&](UINT message, WPARAM wParam) {
            if (message == WM_COMMAND)
                commands.push_back(wParam);
        });
        {
            vwtest::MessageBoxAnswerer answer(IDOK);
            const INT_PTR changed = Edit(
                task_, false,
                [&](HWND d) {
                    Type(d, IDC_ITEM_NAME, L"改了");
                    Click(d, button);
                    EXPECT_TRUE(::IsWindowVisible(d));
                    Click(d, IDCANCEL);
                },
                main.get());
            EXPECT_EQ(changed, IDCANCEL);
            EXPECT_EQ(answer.Texts(), std::vector<std::wstring>{L"当前任务内容已发生变化，请保存任务后再试！"});
        }
        const INT_PTR unchanged = Edit(task_, false, [&](HWND d) { Click(d, button); }, main.get());
        EXPECT_EQ(unchanged, IDCANCEL);
        main.PumpUntil([&] { return !commands.empty(); }, 5s);
        EXPECT_EQ(commands, std::vector<WPARAM>{static_cast<WPARAM>(command)});
    }
}

}  // namespace
