#include "cmd/Arguments.h"

#include "win/Format.h"

namespace vw {

const wchar_t kUsageText[] =
    L"用法：\n"
    L"  VaultwrenCmd list\n"
    L"  VaultwrenCmd add --name 名称 --source 源文件夹 --dest 目标文件夹 [--history 0|1] [--follow 0|1] [--force]\n"
    L"  VaultwrenCmd run [--allow-removals] (--all | 任务...)\n"
    L"  VaultwrenCmd clean [--allow-removals] 任务\n"
    L"  VaultwrenCmd reset 任务\n"
    L"  VaultwrenCmd remove 任务\n"
    L"  VaultwrenCmd verify 任务 [--repair]\n"
    L"  VaultwrenCmd restore 任务 --to 文件夹 [路径...] [--previous] [--overwrite]\n"
    L"\n"
    L"任务：任务名称（不区分大小写）或任务序号（从 1 开始，见 list）。\n"
    L"--history 1 保留历史文件（默认），--follow 1 目标盘符改变时自动跟随（默认），\n"
    L"--force 目标文件夹中已有文件时仍然使用它。\n"
    L"--allow-removals 源文件夹中已不存在的文件超过备份的一半时，仍然移走它们（移入历史文件夹，清理时删除）。\n"
    L"verify 逐字节比较源文件与备份中的文件；--repair 重新复制内容不同的文件。\n"
    L"restore 把备份中的全部文件，或给出的文件和文件夹（相对于源文件夹的路径），复制到另一个文件夹；\n"
    L"--previous 取历史文件夹中的上一版本，--overwrite 覆盖那里已有的文件（否则保留不动）。\n"
    L"\n"
    L"退出码：0 全部完成且所有文件都已备份（verify：备份与源文件一致；restore：所有文件都已恢复）；\n"
    L"        1 有任务失败或有文件无法备份（verify：备份与源文件不一致；restore：有文件未恢复）；\n"
    L"        2 用法错误或输入被拒绝；3 Vaultwren 或另一个 VaultwrenCmd 正在运行。\n";

namespace {

bool ParseFlag(const std::wstring& text, int& value)
{
    if (text != L"0" && text != L"1")
        return false;
    value = text == L"1";
    return true;
}

bool ParseAdd(const std::vector<std::wstring>& args, Arguments& parsed, std::wstring& error)
{
    for (size_t i = 1; i < args.size(); ++i) {
        const std::wstring& option = args[i];
        if (option == L"--force") {
            parsed.force = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            error = Format(L"选项 %s 缺少参数值", option.c_str());
            return false;
        }
        const std::wstring& value = args[++i];
        if (option == L"--name")
            parsed.name = value;
        else if (option == L"--source")
            parsed.source = value;
        else if (option == L"--dest")
            parsed.dest = value;
        else if (option == L"--history" || option == L"--follow") {
            if (!ParseFlag(value, option == L"--history" ? parsed.history : parsed.follow)) {
                error = Format(L"选项 %s 的值只能是 0 或 1", option.c_str());
                return false;
            }
        } else {
            error = Format(L"未知选项：%s", option.c_str());
            return false;
        }
    }
    return true;
}

bool ParseRestore(const std::vector<std::wstring>& args, Arguments& parsed, std::wstring& error)
{
    bool haveTarget = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (arg == L"--previous") {
            parsed.previous = true;
        } else if (arg == L"--overwrite") {
            parsed.overwrite = true;
        } else if (arg == L"--to") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                error = L"选项 --to 缺少参数值";
                return false;
            }
            parsed.restoreTo = args[++i];
            haveTarget = true;
        } else if (arg.size() > 2 && arg.compare(0, 2, L"--") == 0) {
            error = Format(L"未知选项：%s", arg.c_str());
            return false;
        } else if (parsed.tasks.empty()) {
            parsed.tasks.push_back(arg);
        } else {
            parsed.restorePaths.push_back(arg);
        }
    }
    if (parsed.tasks.empty() || !haveTarget) {
        error = L"restore 需要一个任务和 --to 文件夹";
        return false;
    }
    return true;
}

}  // namespace

std::optional<Arguments> ParseArguments(const std::vector<std::wstring>& args, std::wstring& error)
{
    Arguments parsed;
    if (args.empty() || args[0] == L"--help" || args[0] == L"-h" || args[0] == L"/?")
        return parsed;

    static const struct {
        const wchar_t* word;
        Command command;
    } commands[] = {{L"list", Command::List},   {L"add", Command::Add},     {L"run", Command::Run},
                    {L"clean", Command::Clean}, {L"reset", Command::Reset}, {L"remove", Command::Remove},
                    {L"verify", Command::Verify}, {L"restore", Command::Restore}};
    bool known = false;
    for (const auto& entry : commands) {
        if (args[0] == entry.word) {
            parsed.command = entry.command;
            known = true;
        }
    }
    if (!known) {
        error = Format(L"未知命令：%s", args[0].c_str());
        return std::nullopt;
    }

    switch (parsed.command) {
    case Command::List:
        if (args.size() != 1) {
            error = L"list 不需要参数";
            return std::nullopt;
        }
        return parsed;
    case Command::Add:
        if (!ParseAdd(args, parsed, error))
            return std::nullopt;
        return parsed;
    case Command::Run:
        for (size_t i = 1; i < args.size(); ++i) {
            if (args[i] == L"--all")
                parsed.all = true;
            else if (args[i] == L"--allow-removals")
                parsed.allowRemovals = true;
            else
                parsed.tasks.push_back(args[i]);
        }
        if (parsed.all == !parsed.tasks.empty()) {
            error = L"run 需要 --all 或至少一个任务（二者只能选一）";
            return std::nullopt;
        }
        return parsed;
    case Command::Restore:
        if (!ParseRestore(args, parsed, error))
            return std::nullopt;
        return parsed;
    default:
        for (size_t i = 1; i < args.size(); ++i) {
            if (parsed.command == Command::Clean && args[i] == L"--allow-removals")
                parsed.allowRemovals = true;
            else if (parsed.command == Command::Verify && args[i] == L"--repair")
                parsed.repair = true;
            else
                parsed.tasks.push_back(args[i]);
        }
        if (parsed.tasks.size() != 1) {
            error = Format(L"%s 需要正好一个任务", args[0].c_str());
            return std::nullopt;
        }
        return parsed;
    }
}

}  // namespace vw
