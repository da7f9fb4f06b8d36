#include <gtest/gtest.h>

#include <windows.h>

#include <cwctype>
#include <functional>
#include <vector>

#include "resources/resource.h"
#include "support/TestDrives.h"
#include "task/TaskInput.h"
#include "win/Format.h"
#include "win/Text.h"

namespace {

using vw::TaskInput;
using vw::TaskInputCheck;

const std::wstring kForbiddenList = L"\\ / : * ? \" < > |";

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

std::wstring Upper(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towupper(c));
    return text;
}

// A source folder "<scratch>\Data" with one file; the destination "<scratch>\Backup" does not exist yet.
struct Folders {
    vwtest::ScratchFolder scratch{vwtest::kDiskM, L"input"};
    std::wstring root = scratch.path().substr(0, scratch.path().size() - 1);  // no trailing "\"
    std::wstring data = root + L"\\Data";
    std::wstring backup = root + L"\\Backup";
    Folders() { EXPECT_TRUE(vwtest::WriteFileBytes(data + L"\\a.txt", "a")); }
};

TaskInput ValidInput(const Folders& folders)
{
    TaskInput input;
    input.Name = L"文档";
    input.Source = folders.data;
    input.Dest = folders.backup;
    input.Start = true;
    input.StartTime = 10;
    input.ClockHour = 7;
    input.ClockMinute = 5;
    input.AutoTime = true;
    input.AutoMinute = 120;
    input.MinTime = 120;
    return input;
}

TaskInputCheck Validate(const TaskInput& input)
{
    return vw::ValidateTaskInput(input, [] { return true; });
}

struct Row {
    const char* what;
    std::function<void(TaskInput&)> change;
    int control;  // 0: all checks pass
    std::wstring title;
    std::wstring text;
};

TEST(TaskInput, FirstFailingCheckNamesControlTitleAndText)
{
    Folders f;
    const std::wstring longName(256, L'名');
    const std::wstring longPath = L"C:\\" + std::wstring(253, L'p');  // 256 characters
    const std::wstring badPath = L"无法识别的文件夹路径";

    const std::vector<Row> rows = {
        {"all valid", [](TaskInput&) {}, 0, L"", L""},
        {"empty name", [](TaskInput& in) { in.Name.clear(); }, IDC_ITEM_NAME, L"请输入任务名称", L"任务名称不能为空"},
        {"name of 255 characters", [](TaskInput& in) { in.Name = std::wstring(255, L'n'); }, 0, L"", L""},
        {"name of 256 characters", [&](TaskInput& in) { in.Name = longName; }, IDC_ITEM_NAME, L"任务名称太长",
         L"任务名称不能超过255个字符"},
        {"empty name is reported before an empty source",
         [](TaskInput& in) {
             in.Name.clear();
             in.Source.clear();
         },
         IDC_ITEM_NAME, L"请输入任务名称", L"任务名称不能为空"},

        {"source of blanks and backslashes", [](TaskInput& in) { in.Source = L" \\\\ "; }, IDC_ITEM_SOURCE,
         L"请输入要备份的文件夹路径", L"文件夹路径不能为空"},
        {"source of 256 characters", [&](TaskInput& in) { in.Source = longPath; }, IDC_ITEM_SOURCE,
         L"文件夹路径太长", L"文件夹路径长度不能超过255个字符"},
        {"network source", [](TaskInput& in) { in.Source = L"\\\\server\\share"; }, IDC_ITEM_SOURCE, badPath,
         L"请输入完整且存在的文件夹路径"},
        {"source on A:", [](TaskInput& in) { in.Source = L"A:\\data"; }, IDC_ITEM_SOURCE, badPath,
         L"请输入完整且存在的文件夹路径"},
        {"source on B:", [](TaskInput& in) { in.Source = L"b:\\data"; }, IDC_ITEM_SOURCE, badPath,
         L"请输入完整且存在的文件夹路径"},
        {"source of one letter", [](TaskInput& in) { in.Source = L"M"; }, IDC_ITEM_SOURCE, badPath,
         L"请输入完整且存在的文件夹路径"},
        {"drive-relative source", [&](TaskInput& in) { in.Source = L"M:" + f.data.substr(3); }, IDC_ITEM_SOURCE,
         badPath, L"请输入完整且存在的文件夹路径"},
        {"lower-case drive passes the drive check", [](TaskInput& in) { in.Source = L"c:\\no-such-folder-vw"; },
         IDC_ITEM_SOURCE, L"文件夹不存在", L"要备份的文件夹不存在"},
        {"lower-case source that exists", [&](TaskInput& in) { in.Source = Lower(f.data); }, 0, L"", L""},
        {"source with an asterisk", [&](TaskInput& in) { in.Source = f.data + L"*"; }, IDC_ITEM_SOURCE,
         L"文件夹名称不能包含下列字符", kForbiddenList},
        {"source with a colon after the drive", [&](TaskInput& in) { in.Source = f.root + L"\\a:b"; },
         IDC_ITEM_SOURCE, L"文件夹名称不能包含下列字符", kForbiddenList},
        {"source with a double quote", [&](TaskInput& in) { in.Source = f.root + L"\\\"x\""; }, IDC_ITEM_SOURCE,
         L"文件夹名称不能包含下列字符", kForbiddenList},
        {"missing source", [&](TaskInput& in) { in.Source = f.root + L"\\Nothing"; }, IDC_ITEM_SOURCE,
         L"文件夹不存在", L"要备份的文件夹不存在"},
        {"source that is a file", [&](TaskInput& in) { in.Source = f.data + L"\\a.txt"; }, IDC_ITEM_SOURCE,
         L"这是一个文件，不是文件夹", L"“" + f.data + L"\\a.txt”是一个文件，请输入文件夹路径"},

        {"empty destination", [](TaskInput& in) { in.Dest = L"  "; }, IDC_ITEM_DEST, L"请输入备份目标文件夹路径",
         L"文件夹路径不能为空"},
        {"destination of 256 characters", [&](TaskInput& in) { in.Dest = longPath; }, IDC_ITEM_DEST,
         L"文件夹路径太长", L"文件夹路径长度不能超过255个字符"},
        {"root destination", [](TaskInput& in) { in.Dest = L"D:\\"; }, IDC_ITEM_DEST,
         L"不允许使用根文件夹作为目标文件夹", L"建议创建新的备份目标文件夹"},
        {"any two characters count as a root", [](TaskInput& in) { in.Dest = L"12"; }, IDC_ITEM_DEST,
         L"不允许使用根文件夹作为目标文件夹", L"建议创建新的备份目标文件夹"},
        {"network destination", [](TaskInput& in) { in.Dest = L"\\\\server\\share"; }, IDC_ITEM_DEST, badPath,
         L"请输入完整且合法的文件夹路径"},
        {"destination on A:", [](TaskInput& in) { in.Dest = L"A:\\backup"; }, IDC_ITEM_DEST, badPath,
         L"请输入完整且合法的文件夹路径"},
        {"drive-relative destination", [](TaskInput& in) { in.Dest = L"N:backup"; }, IDC_ITEM_DEST, badPath,
         L"请输入完整且合法的文件夹路径"},
        {"destination with a bar", [](TaskInput& in) { in.Dest = L"N:\\a|b"; }, IDC_ITEM_DEST,
         L"文件夹名称不能包含下列字符", kForbiddenList},
        {"destination with a question mark", [](TaskInput& in) { in.Dest = L"N:\\why?"; }, IDC_ITEM_DEST,
         L"文件夹名称不能包含下列字符", kForbiddenList},
        {"destination with angle brackets", [](TaskInput& in) { in.Dest = L"N:\\<b>"; }, IDC_ITEM_DEST,
         L"文件夹名称不能包含下列字符", kForbiddenList},
        {"destination with a slash", [](TaskInput& in) { in.Dest = L"N:\\a/b"; }, IDC_ITEM_DEST,
         L"文件夹名称不能包含下列字符", kForbiddenList},
        {"destination on another drive, not there yet", [](TaskInput& in) { in.Dest = L"N:\\Backup\\Docs"; }, 0,
         L"", L""},
        {"destination equal to the source but for case", [&](TaskInput& in) { in.Dest = Upper(f.data) + L"\\"; },
         IDC_ITEM_DEST, L"目标文件夹不能与源文件夹相同", L"请输入其他的目标文件夹路径"},
        {"destination inside the source", [&](TaskInput& in) { in.Dest = Lower(f.data) + L"\\Backup"; },
         IDC_ITEM_DEST, L"错误的目标文件夹位置", L"目标文件夹不能存放在源文件夹中"},
        {"destination beside the source with a longer name", [&](TaskInput& in) { in.Dest = f.data + L"Backup"; },
         0, L"", L""},
        {"destination on the drive whose root is the source",
         [&](TaskInput& in) {
             in.Source = f.root.substr(0, 3);
             in.Dest = f.backup;
         },
         IDC_ITEM_DEST, L"错误的目标文件夹位置", L"目标文件夹不能存放在源文件夹中"},
        {"source inside the destination", [&](TaskInput& in) { in.Dest = f.root; }, IDC_ITEM_DEST,
         L"错误的目标文件夹位置", L"源文件夹不能存放在目标文件夹中"},

        {"start delay 1000", [](TaskInput& in) { in.StartTime = 1000; }, IDC_ITEM_START_TIME,
         L"超过了允许的时间范围", L"时间范围为 0 - 999"},
        {"start delay 999", [](TaskInput& in) { in.StartTime = 999; }, 0, L"", L""},
        {"start delay 1000 while start is off",
         [](TaskInput& in) {
             in.Start = false;
             in.StartTime = 1000;
         },
         0, L"", L""},
        {"hour -1", [](TaskInput& in) { in.ClockHour = -1; }, IDC_ITEM_CLOCK_HOUR, L"超过了允许的时间范围",
         L"时间范围为 0 - 23"},
        {"hour 24", [](TaskInput& in) { in.ClockHour = 24; }, IDC_ITEM_CLOCK_HOUR, L"超过了允许的时间范围",
         L"时间范围为 0 - 23"},
        {"hour 0 and minute 59",
         [](TaskInput& in) {
             in.ClockHour = 0;
             in.ClockMinute = 59;
         },
         0, L"", L""},
        {"minute 60", [](TaskInput& in) { in.ClockMinute = 60; }, IDC_ITEM_CLOCK_MINUTE, L"超过了允许的时间范围",
         L"时间范围为 0 - 59"},
        {"minute -1", [](TaskInput& in) { in.ClockMinute = -1; }, IDC_ITEM_CLOCK_MINUTE, L"超过了允许的时间范围",
         L"时间范围为 0 - 59"},
        {"interval 59", [](TaskInput& in) { in.AutoMinute = 59; }, IDC_ITEM_AUTO_MINUTE,
         L"超过了允许的时间间隔范围", L"时间范围为 60 - 9999"},
        {"interval 10000", [](TaskInput& in) { in.AutoMinute = 10000; }, IDC_ITEM_AUTO_MINUTE,
         L"超过了允许的时间间隔范围", L"时间范围为 60 - 9999"},
        {"interval 9999", [](TaskInput& in) { in.AutoMinute = 9999; }, 0, L"", L""},
        {"interval 90 under MinTime 120", [](TaskInput& in) { in.AutoMinute = 90; }, IDC_ITEM_AUTO_MINUTE,
         L"超过了系统当前允许的最小备份时间间隔120分钟", L"你可以通过设置“选项”修改系统当前允许的最小备份时间间隔"},
        {"interval 90 under MinTime 999",
         [](TaskInput& in) {
             in.AutoMinute = 90;
             in.MinTime = 999;
         },
         IDC_ITEM_AUTO_MINUTE, L"超过了系统当前允许的最小备份时间间隔999分钟",
         L"你可以通过设置“选项”修改系统当前允许的最小备份时间间隔"},
        {"interval 90 with MinTime 90",
         [](TaskInput& in) {
             in.AutoMinute = 90;
             in.MinTime = 90;
         },
         0, L"", L""},
        {"interval 5 while the interval is off",
         [](TaskInput& in) {
             in.AutoTime = false;
             in.AutoMinute = 5;
         },
         0, L"", L""},
    };

    for (const Row& row : rows) {
        TaskInput input = ValidInput(f);
        row.change(input);
        const TaskInputCheck check = Validate(input);
        EXPECT_EQ(check.Ok, row.control == 0) << row.what;
        EXPECT_EQ(check.ControlId, row.control) << row.what;
        EXPECT_EQ(check.Title, row.title) << row.what;
        EXPECT_EQ(check.Text, row.text) << row.what;
    }
}

// What Windows cannot hold as typed is refused on its field, saying what to change; ordinary
// unusual names keep working.
TEST(TaskInput, NamesAndPathsWindowsCannotHoldAreRefused)
{
    Folders f;
    const std::wstring file = f.root + L"\\a_file";
    ASSERT_TRUE(vwtest::WriteFileBytes(file, "x"));
    const std::wstring control = L"任务名称不能包含控制字符";
    const std::wstring reserved = L"文件夹名称不能使用系统保留的名称";
    const std::wstring dotOrSpace = L"文件夹名称不能以点或空格结尾";
    auto reservedText = [](const wchar_t* part) {
        return vw::Format(L"“%s”是 Windows 保留的设备名（CON、PRN、AUX、NUL、COM1-9、LPT1-9），带扩展名也不能使用", part);
    };
    auto dotText = [](const wchar_t* part) { return vw::Format(L"Windows 会去掉“%s”末尾的点或空格，请修改此名称", part); };
    auto dest = [](std::wstring path) { return [path](TaskInput& in) { in.Dest = path; }; };

    const std::vector<Row> rows = {
        {"name with a line break", [](TaskInput& in) { in.Name = L"文档\r\n备份"; }, IDC_ITEM_NAME, control,
         L"请删除名称中的换行符、制表符等控制字符"},
        {"name with a tab", [](TaskInput& in) { in.Name = L"a\tb"; }, IDC_ITEM_NAME, control,
         L"请删除名称中的换行符、制表符等控制字符"},
        {"name with a C1 control", [](TaskInput& in) { in.Name = L"a\u0085b"; }, IDC_ITEM_NAME, control,
         L"请删除名称中的换行符、制表符等控制字符"},
        {"destination that is a file", dest(file), IDC_ITEM_DEST, L"这是一个文件，不是文件夹",
         L"“" + file + L"”是一个文件，请输入文件夹路径"},
        {"destination under a file", dest(file + L"\\sub"), IDC_ITEM_DEST, L"路径中有一个文件",
         L"“" + file + L"”是一个文件，其中不能存放文件夹"},
        {"source under a file", [&](TaskInput& in) { in.Source = file + L"\\sub"; }, IDC_ITEM_SOURCE,
         L"路径中有一个文件", L"“" + file + L"”是一个文件，其中不能存放文件夹"},
        {"destination part CON", dest(L"N:\\CON\\x"), IDC_ITEM_DEST, reserved, reservedText(L"CON")},
        {"destination part lpt1.txt", dest(L"N:\\backup\\lpt1.txt"), IDC_ITEM_DEST, reserved,
         reservedText(L"lpt1.txt")},
        {"destination part Nul", dest(L"N:\\Nul"), IDC_ITEM_DEST, reserved, reservedText(L"Nul")},
        {"destination part com9.tar.gz", dest(L"N:\\x\\com9.tar.gz"), IDC_ITEM_DEST, reserved,
         reservedText(L"com9.tar.gz")},
        {"destination part Aux .log", dest(L"N:\\Aux .log"), IDC_ITEM_DEST, reserved, reservedText(L"Aux .log")},
        {"source part prn", [](TaskInput& in) { in.Source = L"M:\\prn"; }, IDC_ITEM_SOURCE, reserved,
         reservedText(L"prn")},
        {"destination ending in a dot", dest(L"N:\\backup."), IDC_ITEM_DEST, dotOrSpace, dotText(L"backup.")},
        {"destination part ending in a space", dest(L"N:\\backup \\x"), IDC_ITEM_DEST, dotOrSpace,
         dotText(L"backup ")},
        {"destination part of three dots", dest(L"N:\\...\\x"), IDC_ITEM_DEST, dotOrSpace, dotText(L"...")},
        {"source ending in a dot", [&](TaskInput& in) { in.Source = f.data + L"."; }, IDC_ITEM_SOURCE, dotOrSpace,
         dotText(L"Data.")},
        {"spaces inside", dest(L"N:\\my backup\\old files"), 0, L"", L""},
        {"several dots", dest(L"N:\\v1.2.3..final.bak"), 0, L"", L""},
        {"brackets", dest(L"N:\\[2024] (old) {x}"), 0, L"", L""},
        {"full-width punctuation and CJK", dest(L"N:\\备份：文档（旧）、资料。"), 0, L"", L""},
        {"names that only begin like devices", dest(L"N:\\CONSOLE\\com10\\lpt\\nul-x\\auxiliary"), 0, L"", L""},
        {"a \"..\" step is not a name", dest(L"N:\\a\\..\\b"), 0, L"", L""},
    };
    for (const Row& row : rows) {
        TaskInput input = ValidInput(f);
        row.change(input);
        const TaskInputCheck check = Validate(input);
        EXPECT_EQ(check.ControlId, row.control) << row.what;
        EXPECT_EQ(check.Title, row.title) << row.what;
        EXPECT_EQ(check.Text, row.text) << row.what;
    }
}

TEST(TaskInput, FoldersAreComparedWhereTheyReallyLead)
{
    Folders f;
    const std::wstring sub = f.data + L"\\Sub";
    ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
    const std::wstring longNamed = f.root + L"\\Documents of the office";
    ASSERT_TRUE(CreateDirectoryW(longNamed.c_str(), nullptr));
    wchar_t shortName[MAX_PATH] = {};
    ASSERT_NE(GetShortPathNameW(longNamed.c_str(), shortName, MAX_PATH), 0u);
    ASSERT_NE(std::wstring(shortName), longNamed) << "the volume gives no short names";

    const std::wstring same = L"目标文件夹不能与源文件夹相同";
    const std::wstring place = L"错误的目标文件夹位置";
    const std::wstring destInSource = L"目标文件夹不能存放在源文件夹中";
    const std::wstring sourceInDest = L"源文件夹不能存放在目标文件夹中";
    const std::vector<Row> rows = {
        {"the source through a \"..\" part", [&](TaskInput& in) { in.Dest = f.root + L"\\X\\..\\Data"; },
         IDC_ITEM_DEST, same, L"请输入其他的目标文件夹路径"},
        {"the source's parent through \"..\" and \".\"",
         [&](TaskInput& in) {
             in.Source = sub;
             in.Dest = f.root + L"\\X\\..\\.\\Data";
         },
         IDC_ITEM_DEST, place, sourceInDest},
        {"inside the source by its short name",
         [&](TaskInput& in) {
             in.Source = longNamed;
             in.Dest = std::wstring(shortName) + L"\\Backup";
         },
         IDC_ITEM_DEST, place, destInSource},
        {"the source by its short name",
         [&](TaskInput& in) {
             in.Source = shortName;
             in.Dest = longNamed;
         },
         IDC_ITEM_DEST, same, L"请输入其他的目标文件夹路径"},
        {"a sibling written with \"..\" stays allowed", [&](TaskInput& in) { in.Dest = f.data + L"\\..\\Backup"; },
         0, L"", L""},
    };
    for (const Row& row : rows) {
        TaskInput input = ValidInput(f);
        row.change(input);
        const TaskInputCheck check = Validate(input);
        EXPECT_EQ(check.ControlId, row.control) << row.what;
        EXPECT_EQ(check.Title, row.title) << row.what;
        EXPECT_EQ(check.Text, row.text) << row.what;
    }
}

TEST(TaskInput, FoldersAreComparedThroughDirectoryLinks)
{
    const std::wstring target = vwtest::kLinkTarget;
    const std::wstring linked = vwtest::kLinkedFolder;
    ASSERT_NE(GetFileAttributesW(linked.c_str()), INVALID_FILE_ATTRIBUTES) << "the set-up script makes the link";
    const std::wstring sub = target + L"\\Sub";
    CreateDirectoryW(sub.c_str(), nullptr);
    struct Case {
        const char* what;
        std::wstring source;
        std::wstring dest;
        std::wstring title;
        std::wstring text;
    };
    const Case cases[] = {
        {"the source through the link", target, linked, L"目标文件夹不能与源文件夹相同", L"请输入其他的目标文件夹路径"},
        {"inside the source through the link", target, linked + L"\\Backup", L"错误的目标文件夹位置",
         L"目标文件夹不能存放在源文件夹中"},
        {"the source's parent through the link", linked + L"\\Sub", target, L"错误的目标文件夹位置",
         L"源文件夹不能存放在目标文件夹中"},
        {"beside the linked folder", target, L"N:\\linked-not\\Backup", L"", L""},
    };
    for (const Case& c : cases) {
        TaskInput input;
        input.Name = L"链接";
        input.Source = c.source;
        input.Dest = c.dest;
        const TaskInputCheck check = Validate(input);
        EXPECT_EQ(check.Title, c.title) << c.what;
        EXPECT_EQ(check.Text, c.text) << c.what;
    }
    RemoveDirectoryW(sub.c_str());
}

TEST(TaskInput, FoldersAreTrimmedOfBlanksAndTrailingBackslashes)
{
    struct Row {
        std::wstring entered, normalised;
    };
    const Row rows[] = {
        {L"D:\\", L"D:"},
        {L"  D:\\Data\\\\ \t", L"D:\\Data"},
        {L"\u3000D:\\文档\u3000", L"D:\\文档"},  // the ideographic space of Chinese input counts as white space
        {L"\\\\server\\share\\", L"\\\\server\\share"},
        {L"D:\\a b ", L"D:\\a b"},
        {L" \\ ", L""},
    };
    for (const Row& row : rows)
        EXPECT_EQ(vw::NormaliseFolderEntry(row.entered), row.normalised) << vw::WideToUtf8(row.entered);

    Folders f;
    TaskInput input = ValidInput(f);
    input.Source = L" " + f.data + L"\\ ";
    input.Dest = L"D:\\";
    const TaskInputCheck check = Validate(input);
    EXPECT_EQ(check.ControlId, IDC_ITEM_DEST);
    EXPECT_EQ(check.Source, f.data);
    EXPECT_EQ(check.Dest, L"D:");
    // The name is taken as entered.
    input = ValidInput(f);
    input.Name = L" 文档 ";
    EXPECT_TRUE(Validate(input).Ok);
}

TEST(TaskInput, DestinationHasEntries)
{
    Folders f;
    const std::wstring empty = f.root + L"\\Empty";
    const std::wstring hidden = f.root + L"\\Hidden";
    const std::wstring nested = f.root + L"\\Nested";
    ASSERT_TRUE(CreateDirectoryW(empty.c_str(), nullptr));
    ASSERT_TRUE(vwtest::WriteFileBytes(hidden + L"\\_Vaultwren.ini", ""));
    ASSERT_TRUE(SetFileAttributesW((hidden + L"\\_Vaultwren.ini").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(CreateDirectoryW(nested.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((nested + L"\\sub").c_str(), nullptr));

    EXPECT_TRUE(vw::DestinationHasEntries(f.data));
    EXPECT_TRUE(vw::DestinationHasEntries(f.data + L"\\"));
    EXPECT_TRUE(vw::DestinationHasEntries(hidden));
    EXPECT_TRUE(vw::DestinationHasEntries(nested));
    EXPECT_FALSE(vw::DestinationHasEntries(empty));
    EXPECT_FALSE(vw::DestinationHasEntries(f.backup));
    EXPECT_FALSE(vw::DestinationHasEntries(f.data + L"\\a.txt"));
}

TEST(TaskInput, NonEmptyDestinationIsAskedAboutOnlyWhenNewOrChanged)
{
    Folders f;
    const std::wstring used = f.root + L"\\Used";
    ASSERT_TRUE(vwtest::WriteFileBytes(used + L"\\old.txt", "old"));
    ASSERT_TRUE(CreateDirectoryW(f.backup.c_str(), nullptr));

    struct Row {
        const char* what;
        std::wstring dest, storedDest;
        bool answer;
        int asked;
        int control;
    };
    const Row rows[] = {
        {"new task, destination holds a file, declined", used, L"", false, 1, IDC_ITEM_DEST},
        {"new task, destination holds a file, accepted", used, L"", true, 1, 0},
        {"changed destination", used, f.backup, false, 1, IDC_ITEM_DEST},
        {"letter case changed", Upper(used), used, false, 1, IDC_ITEM_DEST},
        {"own destination kept", used, used, false, 0, 0},
        {"own destination kept, stored with a backslash", used, used + L"\\", false, 0, 0},
        {"own destination kept, entered with a backslash", used + L"\\", used, false, 0, 0},
        {"empty destination folder", f.backup, L"", false, 0, 0},
        {"destination not there yet", f.root + L"\\New", L"", false, 0, 0},
    };
    for (const Row& row : rows) {
        TaskInput input = ValidInput(f);
        input.Dest = row.dest;
        input.StoredDest = row.storedDest;
        int asked = 0;
        const TaskInputCheck check = vw::ValidateTaskInput(input, [&] {
            ++asked;
            return row.answer;
        });
        EXPECT_EQ(asked, row.asked) << row.what;
        EXPECT_EQ(check.ControlId, row.control) << row.what;
        if (row.control != 0) {
            EXPECT_EQ(check.Title, L"目标文件夹不为空") << row.what;
            EXPECT_EQ(check.Text, L"建议创建新的备份目标文件夹") << row.what;
        }
    }
}

TEST(TaskInput, QuestionComesInItsPlaceInTheOrder)
{
    Folders f;
    const std::wstring used = f.root + L"\\Used";
    ASSERT_TRUE(vwtest::WriteFileBytes(used + L"\\old.txt", "old"));
    int asked = 0;
    auto decline = [&] {
        ++asked;
        return false;
    };

    // An earlier failure ends the checks before the question.
    TaskInput input = ValidInput(f);
    input.Dest = used;
    input.Name.clear();
    EXPECT_EQ(vw::ValidateTaskInput(input, decline).ControlId, IDC_ITEM_NAME);
    EXPECT_EQ(asked, 0);

    // Declining ends them before the later time checks.
    input = ValidInput(f);
    input.Dest = used;
    input.ClockHour = 30;
    EXPECT_EQ(vw::ValidateTaskInput(input, decline).ControlId, IDC_ITEM_DEST);
    EXPECT_EQ(asked, 1);

    // Accepting goes on to them.
    EXPECT_EQ(vw::ValidateTaskInput(input, [] { return true; }).ControlId, IDC_ITEM_CLOCK_HOUR);
    // No one to ask: the destination is taken.
    EXPECT_EQ(vw::ValidateTaskInput(input, {}).ControlId, IDC_ITEM_CLOCK_HOUR);
}

}  // namespace
