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

// What the checks say on the field they name: the balloon's title and its text.
struct Says {
    std::wstring title;
    std::wstring text;
};

const std::wstring kUnrecognised = L"无法识别的文件夹路径";
const Says kNoName{L"请输入任务名称", L"任务名称不能为空"};
const Says kPathTooLong{L"文件夹路径太长", L"文件夹路径长度不能超过255个字符"};
const Says kUnrecognisedSource{kUnrecognised, L"请输入完整且存在的文件夹路径"};
const Says kUnrecognisedDest{kUnrecognised, L"请输入完整且合法的文件夹路径"};
const Says kForbiddenCharacter{L"文件夹名称不能包含下列字符", kForbiddenList};
const Says kNoSuchSource{L"文件夹不存在", L"要备份的文件夹不存在"};
const Says kRootDest{L"不允许使用根文件夹作为目标文件夹", L"建议创建新的备份目标文件夹"};
const Says kSameAsSource{L"目标文件夹不能与源文件夹相同", L"请输入其他的目标文件夹路径"};
const Says kDestInSource{L"错误的目标文件夹位置", L"目标文件夹不能存放在源文件夹中"};
const Says kSourceInDest{L"错误的目标文件夹位置", L"源文件夹不能存放在目标文件夹中"};
const Says kHourRange{L"超过了允许的时间范围", L"时间范围为 0 - 23"};
const Says kMinuteRange{L"超过了允许的时间范围", L"时间范围为 0 - 59"};
const Says kIntervalRange{L"超过了允许的时间间隔范围", L"时间范围为 60 - 9999"};
const Says kPasses{};

// The control named by the first failing check when every check passes.
constexpr int kNoControl = 0;

using Change = std::function<void(TaskInput&)>;

Change NameIs(const std::wstring& name)
{
    return [name](TaskInput& in) { in.Name = name; };
}
Change SourceIs(const std::wstring& path)
{
    return [path](TaskInput& in) { in.Source = path; };
}
Change DestIs(const std::wstring& path)
{
    return [path](TaskInput& in) { in.Dest = path; };
}

// One entry of the form, a valid one changed as the row says, and what the checks make of it.
struct Row {
    const char* what;
    Change change;
    int control;
    Says says;
};

// Each row on a valid entry of its own: the first failing check names the row's control with its
// title and text, and the entry passes only when the row names no control.
void ExpectEachRow(const Folders& folders, const std::vector<Row>& rows)
{
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TaskInput input = ValidInput(folders);
        row.change(input);
        const TaskInputCheck check = Validate(input);
        EXPECT_EQ(check.Ok, row.control == kNoControl);
        EXPECT_EQ(check.ControlId, row.control);
        EXPECT_EQ(check.Title, row.says.title);
        EXPECT_EQ(check.Text, row.says.text);
    }
}

TEST(TaskInput, FirstFailingCheckNamesControlTitleAndText)
{
    Folders f;
    const std::wstring longPath = L"C:\\" + std::wstring(253, L'p');  // 256 characters
    const std::wstring minTimeHint = L"你可以通过设置“选项”修改系统当前允许的最小备份时间间隔";

    ExpectEachRow(f, {
        {"all valid", [](TaskInput&) {}, kNoControl, kPasses},
        {"empty name", NameIs(L""), IDC_ITEM_NAME, kNoName},
        {"name of 255 characters", NameIs(std::wstring(255, L'n')), kNoControl, kPasses},
        {"name of 256 characters", NameIs(std::wstring(256, L'名')), IDC_ITEM_NAME,
         {L"任务名称太长", L"任务名称不能超过255个字符"}},
        {"empty name is reported before an empty source",
         [](TaskInput& in) {
             in.Name.clear();
             in.Source.clear();
         },
         IDC_ITEM_NAME, kNoName},

        {"source of blanks and backslashes", SourceIs(L" \\\\ "), IDC_ITEM_SOURCE,
         {L"请输入要备份的文件夹路径", L"文件夹路径不能为空"}},
        {"source of 256 characters", SourceIs(longPath), IDC_ITEM_SOURCE, kPathTooLong},
        {"network source", SourceIs(L"\\\\server\\share"), IDC_ITEM_SOURCE, kUnrecognisedSource},
        {"source on A:", SourceIs(L"A:\\data"), IDC_ITEM_SOURCE, kUnrecognisedSource},
        {"source on B:", SourceIs(L"b:\\data"), IDC_ITEM_SOURCE, kUnrecognisedSource},
        {"source of one letter", SourceIs(L"M"), IDC_ITEM_SOURCE, kUnrecognisedSource},
        {"drive-relative source", SourceIs(L"M:" + f.data.substr(3)), IDC_ITEM_SOURCE, kUnrecognisedSource},
        {"lower-case drive passes the drive check", SourceIs(L"c:\\no-such-folder-vw"), IDC_ITEM_SOURCE,
         kNoSuchSource},
        {"lower-case source that exists", SourceIs(Lower(f.data)), kNoControl, kPasses},
        {"source with an asterisk", SourceIs(f.data + L"*"), IDC_ITEM_SOURCE, kForbiddenCharacter},
        {"source with a colon after the drive", SourceIs(f.root + L"\\a:b"), IDC_ITEM_SOURCE, kForbiddenCharacter},
        {"source with a double quote", SourceIs(f.root + L"\\\"x\""), IDC_ITEM_SOURCE, kForbiddenCharacter},
        {"missing source", SourceIs(f.root + L"\\Nothing"), IDC_ITEM_SOURCE, kNoSuchSource},
        {"source that is a file", SourceIs(f.data + L"\\a.txt"), IDC_ITEM_SOURCE,
         {L"这是一个文件，不是文件夹", L"“" + f.data + L"\\a.txt”是一个文件，请输入文件夹路径"}},

        {"empty destination", DestIs(L"  "), IDC_ITEM_DEST, {L"请输入备份目标文件夹路径", L"文件夹路径不能为空"}},
        {"destination of 256 characters", DestIs(longPath), IDC_ITEM_DEST, kPathTooLong},
        {"root destination", DestIs(L"D:\\"), IDC_ITEM_DEST, kRootDest},
        {"any two characters count as a root", DestIs(L"12"), IDC_ITEM_DEST, kRootDest},
        {"network destination", DestIs(L"\\\\server\\share"), IDC_ITEM_DEST, kUnrecognisedDest},
        {"destination on A:", DestIs(L"A:\\backup"), IDC_ITEM_DEST, kUnrecognisedDest},
        {"drive-relative destination", DestIs(L"N:backup"), IDC_ITEM_DEST, kUnrecognisedDest},
        {"destination with a bar", DestIs(L"N:\\a|b"), IDC_ITEM_DEST, kForbiddenCharacter},
        {"destination with a question mark", DestIs(L"N:\\why?"), IDC_ITEM_DEST, kForbiddenCharacter},
        {"destination with angle brackets", DestIs(L"N:\\<b>"), IDC_ITEM_DEST, kForbiddenCharacter},
        {"destination with a slash", DestIs(L"N:\\a/b"), IDC_ITEM_DEST, kForbiddenCharacter},
        {"destination on another drive, not there yet", DestIs(L"N:\\Backup\\Docs"), kNoControl, kPasses},
        {"destination equal to the source but for case", DestIs(Upper(f.data) + L"\\"), IDC_ITEM_DEST,
         kSameAsSource},
        {"destination inside the source", DestIs(Lower(f.data) + L"\\Backup"), IDC_ITEM_DEST, kDestInSource},
        {"destination beside the source with a longer name", DestIs(f.data + L"Backup"), kNoControl, kPasses},
        {"destination on the drive whose root is the source",
         [&](TaskInput& in) {
             in.Source = f.root.substr(0, 3);
             in.Dest = f.backup;
         },
         IDC_ITEM_DEST, kDestInSource},
        {"source inside the destination", DestIs(f.root), IDC_ITEM_DEST, kSourceInDest},

        {"start delay 1000", [](TaskInput& in) { in.StartTime = 1000; }, IDC_ITEM_START_TIME,
         {L"超过了允许的时间范围", L"时间范围为 0 - 999"}},
        {"start delay 999", [](TaskInput& in) { in.StartTime = 999; }, kNoControl, kPasses},
        {"start delay 1000 while start is off",
         [](TaskInput& in) {
             in.Start = false;
             in.StartTime = 1000;
         },
         kNoControl, kPasses},
        {"hour -1", [](TaskInput& in) { in.ClockHour = -1; }, IDC_ITEM_CLOCK_HOUR, kHourRange},
        {"hour 24", [](TaskInput& in) { in.ClockHour = 24; }, IDC_ITEM_CLOCK_HOUR, kHourRange},
        {"hour 0 and minute 59",
         [](TaskInput& in) {
             in.ClockHour = 0;
             in.ClockMinute = 59;
         },
         kNoControl, kPasses},
        {"minute 60", [](TaskInput& in) { in.ClockMinute = 60; }, IDC_ITEM_CLOCK_MINUTE, kMinuteRange},
        {"minute -1", [](TaskInput& in) { in.ClockMinute = -1; }, IDC_ITEM_CLOCK_MINUTE, kMinuteRange},
        {"interval 59", [](TaskInput& in) { in.AutoMinute = 59; }, IDC_ITEM_AUTO_MINUTE, kIntervalRange},
        {"interval 10000", [](TaskInput& in) { in.AutoMinute = 10000; }, IDC_ITEM_AUTO_MINUTE, kIntervalRange},
        {"interval 9999", [](TaskInput& in) { in.AutoMinute = 9999; }, kNoControl, kPasses},
        {"interval 90 under MinTime 120", [](TaskInput& in) { in.AutoMinute = 90; }, IDC_ITEM_AUTO_MINUTE,
         {L"超过了系统当前允许的最小备份时间间隔120分钟", minTimeHint}},
        {"interval 90 under MinTime 999",
         [](TaskInput& in) {
             in.AutoMinute = 90;
             in.MinTime = 999;
         },
         IDC_ITEM_AUTO_MINUTE, {L"超过了系统当前允许的最小备份时间间隔999分钟", minTimeHint}},
        {"interval 90 with MinTime 90",
         [](TaskInput& in) {
             in.AutoMinute = 90;
             in.MinTime = 90;
         },
         kNoControl, kPasses},
        {"interval 5 while the interval is off",
         [](TaskInput& in) {
             in.AutoTime = false;
             in.AutoMinute = 5;
         },
         kNoControl, kPasses},
    });
}

// What Windows cannot hold as typed is refused on its field, saying what to change; ordinary
// unusual names keep working.
TEST(TaskInput, NamesAndPathsWindowsCannotHoldAreRefused)
{
    Folders f;
    const std::wstring file = f.root + L"\\a_file";
    ASSERT_TRUE(vwtest::WriteFileBytes(file, "x"));
    const Says control{L"任务名称不能包含控制字符", L"请删除名称中的换行符、制表符等控制字符"};
    const Says isAFile{L"这是一个文件，不是文件夹", L"“" + file + L"”是一个文件，请输入文件夹路径"};
    const Says underAFile{L"路径中有一个文件", L"“" + file + L"”是一个文件，其中不能存放文件夹"};
    auto reserved = [](const wchar_t* part) {
        return Says{L"文件夹名称不能使用系统保留的名称",
                    vw::Format(L"“%s”是 Windows 保留的设备名（CON、PRN、AUX、NUL、COM1-9、LPT1-9），带扩展名也不能使用",
                               part)};
    };
    auto dotOrSpace = [](const wchar_t* part) {
        return Says{L"文件夹名称不能以点或空格结尾", vw::Format(L"Windows 会去掉“%s”末尾的点或空格，请修改此名称", part)};
    };

    ExpectEachRow(f, {
        {"name with a line break", NameIs(L"文档\r\n备份"), IDC_ITEM_NAME, control},
        {"name with a tab", NameIs(L"a\tb"), IDC_ITEM_NAME, control},
        {"name with a C1 control", NameIs(L"a\u0085b"), IDC_ITEM_NAME, control},
        {"destination that is a file", DestIs(file), IDC_ITEM_DEST, isAFile},
        {"destination under a file", DestIs(file + L"\\sub"), IDC_ITEM_DEST, underAFile},
        {"source under a file", SourceIs(file + L"\\sub"), IDC_ITEM_SOURCE, underAFile},
        {"destination part CON", DestIs(L"N:\\CON\\x"), IDC_ITEM_DEST, reserved(L"CON")},
        {"destination part lpt1.txt", DestIs(L"N:\\backup\\lpt1.txt"), IDC_ITEM_DEST, reserved(L"lpt1.txt")},
        {"destination part Nul", DestIs(L"N:\\Nul"), IDC_ITEM_DEST, reserved(L"Nul")},
        {"destination part com9.tar.gz", DestIs(L"N:\\x\\com9.tar.gz"), IDC_ITEM_DEST, reserved(L"com9.tar.gz")},
        {"destination part Aux .log", DestIs(L"N:\\Aux .log"), IDC_ITEM_DEST, reserved(L"Aux .log")},
        {"source part prn", SourceIs(L"M:\\prn"), IDC_ITEM_SOURCE, reserved(L"prn")},
        {"destination ending in a dot", DestIs(L"N:\\backup."), IDC_ITEM_DEST, dotOrSpace(L"backup.")},
        {"destination part ending in a space", DestIs(L"N:\\backup \\x"), IDC_ITEM_DEST, dotOrSpace(L"backup ")},
        {"destination part of three dots", DestIs(L"N:\\...\\x"), IDC_ITEM_DEST, dotOrSpace(L"...")},
        {"source ending in a dot", SourceIs(f.data + L"."), IDC_ITEM_SOURCE, dotOrSpace(L"Data.")},
        {"spaces inside", DestIs(L"N:\\my backup\\old files"), kNoControl, kPasses},
        {"several dots", DestIs(L"N:\\v1.2.3..final.bak"), kNoControl, kPasses},
        {"brackets", DestIs(L"N:\\[2024] (old) {x}"), kNoControl, kPasses},
        {"full-width punctuation and CJK", DestIs(L"N:\\备份：文档（旧）、资料。"), kNoControl, kPasses},
        {"names that only begin like devices", DestIs(L"N:\\CONSOLE\\com10\\lpt\\nul-x\\auxiliary"), kNoControl,
         kPasses},
        {"a \"..\" step is not a name", DestIs(L"N:\\a\\..\\b"), kNoControl, kPasses},
    });
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

    ExpectEachRow(f, {
        {"the source through a \"..\" part", DestIs(f.root + L"\\X\\..\\Data"), IDC_ITEM_DEST, kSameAsSource},
        {"the source's parent through \"..\" and \".\"",
         [&](TaskInput& in) {
             in.Source = sub;
             in.Dest = f.root + L"\\X\\..\\.\\Data";
         },
         IDC_ITEM_DEST, kSourceInDest},
        {"inside the source by its short name",
         [&](TaskInput& in) {
             in.Source = longNamed;
             in.Dest = std::wstring(shortName) + L"\\Backup";
         },
         IDC_ITEM_DEST, kDestInSource},
        {"the source by its short name",
         [&](TaskInput& in) {
             in.Source = shortName;
             in.Dest = longNamed;
         },
         IDC_ITEM_DEST, kSameAsSource},
        {"a sibling written with \"..\" stays allowed", DestIs(f.data + L"\\..\\Backup"), kNoControl, kPasses},
    });
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
        Says says;
    };
    const Case cases[] = {
        {"the source through the link", target, linked, kSameAsSource},
        {"inside the source through the link", target, linked + L"\\Backup", kDestInSource},
        {"the source's parent through the link", linked + L"\\Sub", target, kSourceInDest},
        {"beside the linked folder", target, L"N:\\linked-not\\Backup", kPasses},
    };
    for (const Case& c : cases) {
        TaskInput input;
        input.Name = L"链接";
        input.Source = c.source;
        input.Dest = c.dest;
        const TaskInputCheck check = Validate(input);
        EXPECT_EQ(check.Title, c.says.title) << c.what;
        EXPECT_EQ(check.Text, c.says.text) << c.what;
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
