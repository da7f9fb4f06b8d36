// The task list's presenter on a list view of its own, without the main window: the rows it
// fills from a task list, the selection it reads back and the column widths at a new DPI.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "support/RemoteControls.h"
#include "support/TestRegistry.h"
#include "task/AppSettings.h"
#include "task/CBackupItemList.h"
#include "task/RunKind.h"
#include "ui/TaskListPresenter.h"
#include "win/ProfileStore.h"
#include "win/UniqueHandle.h"

namespace {

class TaskListPresenterTest : public ::testing::Test {
protected:
    TaskListPresenterTest()
    {
        parent_.reset(::CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 900, 400, nullptr, nullptr,
                                        nullptr, nullptr));
        list_ = ::CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS,
                                  0, 0, 880, 300, parent_.get(), nullptr, nullptr, nullptr);
        for (const wchar_t* name : {L"文档", L"照片", L"代码"}) {
            vw::CBackupItem* task = tasks_.AddNew();
            task->Name = name;
            task->Source = std::wstring(L"M:\\") + name;
            task->Dest = std::wstring(L"N:\\") + name;
            task->Save();
        }
    }

    std::vector<int> ColumnWidths() const
    {
        std::vector<int> widths;
        for (int column = 0; column < 7; ++column)
            widths.push_back(static_cast<int>(::SendMessageW(list_, LVM_GETCOLUMNWIDTH, column, 0)));
        return widths;
    }

    vwtest::TestRegistryKey key_{L"presenter"};
    vw::ProfileStore profile_{key_.path()};
    vw::AppSettings settings_;
    vw::CBackupItemList tasks_{profile_, settings_};
    vw::UniqueWindow parent_;
    HWND list_ = nullptr;
};

TEST_F(TaskListPresenterTest, FillsOneRowPerTaskAndReadsTheSelectionBack)
{
    vw::TaskListPresenter presenter;
    presenter.SetUp(list_, 96);
    presenter.Refresh(tasks_, static_cast<int32_t>(vw::RunKind::Backup), 1);

    const vwtest::Rows rows = vwtest::ListViewRows(list_);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][0], L"1");
    EXPECT_EQ(rows[1][1], L"照片");
    EXPECT_EQ(rows[2][2], L"M:\\代码");
    EXPECT_EQ(presenter.SelectionMark(), 1);
    ASSERT_NE(presenter.SelectedTask(tasks_), nullptr);
    EXPECT_EQ(presenter.SelectedTask(tasks_)->Name, L"照片");

    // A task gone: its row goes too. No mark: no task.
    ASSERT_TRUE(tasks_.Remove(tasks_[2]));
    presenter.Refresh(tasks_, static_cast<int32_t>(vw::RunKind::Backup), -1);
    EXPECT_EQ(vwtest::ListViewRows(list_).size(), 2u);
    ::SendMessageW(list_, LVM_SETSELECTIONMARK, 0, -1);
    EXPECT_EQ(presenter.SelectedTask(tasks_), nullptr);
}

TEST_F(TaskListPresenterTest, ColumnsAreMadeForTheDpiAndFollowAChangeOfIt)
{
    vw::TaskListPresenter at96;
    at96.SetUp(list_, 96);
    const std::vector<int> widths = ColumnWidths();
    EXPECT_EQ(widths, (std::vector<int>{40, 100, 180, 180, 70, 160, 160}));

    at96.ScaleColumns(96, 144);
    const std::vector<int> scaled = ColumnWidths();
    for (size_t column = 0; column < widths.size(); ++column)
        EXPECT_EQ(scaled[column], widths[column] * 3 / 2) << "column " << column;
    at96.ScaleColumns(144, 96);
    EXPECT_EQ(ColumnWidths(), widths);
}

}  // namespace
