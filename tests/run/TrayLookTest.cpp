#include "run/TrayLook.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/RunContext.h"
#include "resources/resource.h"
#include "win/Format.h"

namespace {

using vw::WideToUtf8;

constexpr int kIdle = vw::kRunIdle, kPaused = vw::kRunPaused, kRunning = vw::kRunRunning;

struct LookCase {
    const char* what;
    int runState;
    const wchar_t* task;  // null: no current task
    int cleaning;         // the run kind: 0 backup, 1 cleaning, 2 verify, 3 restore
    int iconId;
    const wchar_t* tooltip;
};

TEST(TrayLookTest, LookForEachRunState)
{
    const LookCase cases[] = {
        {"idle", kIdle, nullptr, false, IDI_TRAY_IDLE, L"Vaultwren（空闲中）"},
        {"idle names no task even when one is given", kIdle, L"文档", true, IDI_TRAY_IDLE, L"Vaultwren（空闲中）"},
        {"running a backup", kRunning, L"文档", false, IDI_TRAY_RUNNING, L"Vaultwren（正在运行备份任务“文档”）"},
        {"running a cleaning", kRunning, L"文档", true, IDI_TRAY_RUNNING, L"Vaultwren（正在运行清理任务“文档”）"},
        {"running, no current task", kRunning, nullptr, false, IDI_TRAY_RUNNING, L"Vaultwren（正在备份）"},
        {"running, no current task, cleaning", kRunning, nullptr, true, IDI_TRAY_RUNNING, L"Vaultwren（正在备份）"},
        {"paused backup", kPaused, L"照片", false, IDI_TRAY_IDLE, L"Vaultwren（备份任务“照片”暂停中）"},
        {"paused cleaning", kPaused, L"照片", true, IDI_TRAY_IDLE, L"Vaultwren（清理任务“照片”暂停中）"},
        {"paused, no current task", kPaused, nullptr, false, IDI_TRAY_IDLE, L"Vaultwren（暂停）"},
        {"run state 1 looks idle", 1, L"照片", false, IDI_TRAY_IDLE, L"Vaultwren（空闲中）"},
        {"running a verify", kRunning, L"文档", 2, IDI_TRAY_RUNNING, L"Vaultwren（正在运行校验任务“文档”）"},
        {"paused restore", kPaused, L"文档", 3, IDI_TRAY_IDLE, L"Vaultwren（恢复任务“文档”暂停中）"},
    };
    for (const LookCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring task = c.task ? c.task : L"";
        const vw::TrayLook look = vw::TrayLookFor(c.runState, c.task ? &task : nullptr, c.cleaning);
        EXPECT_EQ(look.iconId, c.iconId);
        EXPECT_EQ(WideToUtf8(look.tooltip), WideToUtf8(c.tooltip));
    }
}

struct FitCase {
    const char* what;
    std::wstring text;
    size_t max;
    std::wstring fitted;
};

const std::wstring kGrin = L"\U0001F600";  // one character, two UTF-16 units

TEST(TrayLookTest, FitTextCutsAtACharacterBoundary)
{
    const FitCase cases[] = {
        {"short text unchanged", L"abc", 5, L"abc"},
        {"exactly full unchanged", L"abcde", 5, L"abcde"},
        {"one over: four kept and the ellipsis", L"abcdef", 5, L"abcd…"},
        {"Chinese text cut by characters", L"一二三四五六", 4, L"一二三…"},
        {"a pair across the cut is dropped whole", L"abc" + kGrin + L"de", 5, L"abc…"},
        {"a pair before the cut is kept", L"ab" + kGrin + L"de", 5, L"ab" + kGrin + L"…"},
        {"a pair that fits whole stays", L"ab" + kGrin, 4, L"ab" + kGrin},
        {"room for the ellipsis only", L"abc", 1, L"…"},
        {"no room at all", L"abc", 0, L""},
    };
    for (const FitCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring fitted = vw::FitText(c.text, c.max);
        EXPECT_EQ(WideToUtf8(fitted), WideToUtf8(c.fitted));
        EXPECT_LE(fitted.size(), c.max);
    }
}

TEST(TrayLookTest, LongTaskNameFitsTheTooltipField)
{
    // The running format around the name takes 20 characters; 107 name characters fill 127 exactly.
    const std::wstring prefix = L"Vaultwren（正在运行备份任务“";
    const std::wstring exact(127 - prefix.size() - 2, L'名');
    EXPECT_EQ(vw::TrayLookFor(kRunning, &exact, false).tooltip, prefix + exact + L"”）");

    const std::wstring longer = exact + L"字";
    const std::wstring tooltip = vw::TrayLookFor(kRunning, &longer, false).tooltip;
    EXPECT_EQ(tooltip.size(), vw::kTrayTooltipMax);
    EXPECT_EQ(tooltip, prefix + longer.substr(0, 126 - prefix.size()) + L"…");

    // Name of emoji: the cut lands inside a pair and drops it whole.
    std::wstring emoji;
    for (int i = 0; i < 60; ++i)
        emoji += kGrin;
    const std::wstring cut = vw::TrayLookFor(kPaused, &emoji, true).tooltip;
    ASSERT_FALSE(cut.empty());
    EXPECT_EQ(cut.back(), L'…');
    EXPECT_FALSE(IS_HIGH_SURROGATE(cut[cut.size() - 2]));
    EXPECT_LE(cut.size(), vw::kTrayTooltipMax);
    EXPECT_GE(cut.size(), vw::kTrayTooltipMax - 1);
}

struct BatchEndCase {
    const char* what;
    bool stopped;
    bool cleaning;
    int tasks, copied, failed;
    const wchar_t* title;  // null: no balloon
    const wchar_t* text;
    vw::BalloonIcon icon;
};

TEST(TrayLookTest, BatchEndBalloon)
{
    const BatchEndCase cases[] = {
        {"ended by itself", false, false, 2, 120, 0, L"备份完成", L"共完成备份任务2个，成功备份120个文件", vw::kBalloonInfo},
        {"ended with failed files", false, false, 2, 120, 3, L"备份完成",
         L"共完成备份任务2个，成功备份120个文件，3个文件无法备份", vw::kBalloonInfo},
        {"stopped", true, false, 1, 7, 0, L"备份已停止", L"共完成备份任务1个，成功备份7个文件", vw::kBalloonWarning},
        {"stopped with failed files", true, false, 0, 0, 1, L"备份已停止",
         L"共完成备份任务0个，成功备份0个文件，1个文件无法备份", vw::kBalloonWarning},
        {"cleaning batch: none", false, true, 1, 0, 0, nullptr, nullptr, vw::kBalloonNone},
        {"stopped cleaning batch: none", true, true, 1, 0, 0, nullptr, nullptr, vw::kBalloonNone},
    };
    for (const BatchEndCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<vw::Balloon> balloon = vw::BatchEndBalloon(c.stopped, c.cleaning, c.tasks, c.copied, c.failed);
        ASSERT_EQ(balloon.has_value(), c.title != nullptr);
        if (!balloon)
            continue;
        EXPECT_EQ(WideToUtf8(balloon->title), WideToUtf8(c.title));
        EXPECT_EQ(WideToUtf8(balloon->text), WideToUtf8(c.text));
        EXPECT_EQ(balloon->icon, c.icon);
    }
}

struct ReadingEndCase {
    const char* what;
    bool stopped;
    int kind;
    int done, copied, failed;
    const wchar_t* title;  // null: no balloon
    const wchar_t* text;
    vw::BalloonIcon icon;
};

TEST(TrayLookTest, VerifyAndRestoreEndBalloons)
{
    const ReadingEndCase cases[] = {
        {"verify found everything the same", false, 2, 40, 0, 0, L"校验完成，备份无误", L"40个文件与源文件相同",
         vw::kBalloonInfo},
        {"verify found differences", false, 2, 38, 0, 2, L"备份与源文件不一致",
         L"38个文件与源文件相同，2个文件与源文件不一致", vw::kBalloonWarning},
        {"verify repaired what it found", false, 2, 39, 1, 0, L"校验完成，备份无误",
         L"39个文件与源文件相同，1个损坏的文件已重新复制", vw::kBalloonInfo},
        {"verify stopped", true, 2, 5, 0, 0, L"校验已停止", L"5个文件与源文件相同", vw::kBalloonWarning},
        {"restore", false, 3, 12, 12, 0, L"恢复完成", L"成功恢复12个文件", vw::kBalloonInfo},
        {"restore with files left", false, 3, 10, 10, 2, L"恢复完成", L"成功恢复10个文件，2个文件未恢复",
         vw::kBalloonWarning},
        {"restore stopped", true, 3, 1, 1, 0, L"恢复已停止", L"成功恢复1个文件", vw::kBalloonWarning},
        {"a backup batch: not this balloon", false, 0, 1, 1, 0, nullptr, nullptr, vw::kBalloonNone},
        {"a cleaning batch: none", false, 1, 1, 0, 0, nullptr, nullptr, vw::kBalloonNone},
    };
    for (const ReadingEndCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<vw::Balloon> balloon =
            vw::ReadingRunEndBalloon(c.stopped, c.kind, c.done, c.copied, c.failed);
        ASSERT_EQ(balloon.has_value(), c.title != nullptr);
        if (!balloon)
            continue;
        EXPECT_EQ(WideToUtf8(balloon->title), WideToUtf8(c.title));
        EXPECT_EQ(WideToUtf8(balloon->text), WideToUtf8(c.text));
        EXPECT_EQ(balloon->icon, c.icon);
    }
}

struct DiskCase {
    wchar_t letter;
    const wchar_t* text;
};

TEST(TrayLookTest, DiskSpaceBalloonNamesTheDrive)
{
    const DiskCase cases[] = {
        {L'D', L"D盘空间已小于100MB，您可以使用清理历史文件功能释放磁盘空间！"},
        {L'd', L"D盘空间已小于100MB，您可以使用清理历史文件功能释放磁盘空间！"},
        {L'Z', L"Z盘空间已小于100MB，您可以使用清理历史文件功能释放磁盘空间！"},
        {L'\\', L"盘空间已小于100MB，您可以使用清理历史文件功能释放磁盘空间！"},
        {L'\0', L"盘空间已小于100MB，您可以使用清理历史文件功能释放磁盘空间！"},
    };
    for (const DiskCase& c : cases) {
        const vw::Balloon balloon = vw::DiskSpaceBalloon(c.letter);
        EXPECT_EQ(WideToUtf8(balloon.title), "Vaultwren");
        EXPECT_EQ(WideToUtf8(balloon.text), WideToUtf8(c.text)) << int{c.letter};
        EXPECT_EQ(balloon.icon, vw::kBalloonInfo);
    }
}

}  // namespace
