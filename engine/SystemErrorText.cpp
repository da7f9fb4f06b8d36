#include "engine/SystemErrorText.h"

#include <algorithm>
#include <iterator>

#include "engine/SystemErrorTable.h"

namespace vw {

namespace {

const SystemErrorRow kEngineRows[] = {
    {ERR_DEST_LETTER_CHANGED, L"目标盘符被改变。"},
    {ERR_SOURCE_FILE_MISSING, L"源文件不存在。"},
    {ERR_DEST_FILE_MISSING, L"目标文件不存在。"},
    {ERR_SOURCE_FOLDER_MISSING, L"源文件夹不存在。"},
    {ERR_DEST_FOLDER_MISSING, L"目标文件夹不存在,如果你删除了目标文件夹，请重置此任务。"},
    {ERR_TASK_CONFIG, L"任务配置错误，请检查任务设置是否正确。"},
    {ERR_FOLDERS_OVERLAP, L"目标文件夹与源文件夹是同一个文件夹，或其中一个位于另一个之中，请修改此任务的目标文件夹。"},
    {ERR_DEST_IS_FILE, L"目标文件夹的位置上是一个文件，或其路径中有一个文件，请修改此任务的目标文件夹。"},
    {ERR_DEST_NAME_UNUSABLE,
     L"目标文件夹路径中有 Windows 不能使用的名称（系统保留的设备名，或以点或空格结尾的名称），请修改此任务的目标文件夹。"},
    {ERR_SOURCE_CHANGING, L"文件在复制过程中被修改了，请在它不再变化时重新备份。"},
    {ERR_REMOVALS_HELD, L"本次要移走目标文件夹中一半以上的文件，已全部保留未动。"},
    {ERR_NEVER_BACKED_UP, L"此任务还没有备份过，目标文件夹中没有可校验或恢复的文件。"},
    {ERR_RESTORE_TARGET_IN_DEST,
     L"恢复到的文件夹与目标文件夹是同一个文件夹，或其中一个位于另一个之中；恢复不会写入备份本身，请选择另一个文件夹。"},
    {ERR_RESTORE_PATH_UNUSABLE, L"要恢复的路径必须是源文件夹之中的相对路径，不能带盘符，也不能含有“..”。"},
    {ERR_RESTORE_TARGET_UNUSABLE,
     L"恢复到的文件夹必须是带盘符的完整路径（或网络路径），且其中没有 Windows 不能使用的名称。"},
};

const wchar_t* Find(const SystemErrorRow* first, const SystemErrorRow* last, uint32_t code)
{
    const SystemErrorRow* row =
        std::lower_bound(first, last, code, [](const SystemErrorRow& r, uint32_t c) { return r.code < c; });
    return row != last && row->code == code ? row->text : nullptr;
}

}  // namespace

std::wstring SystemErrorText(uint32_t code)
{
    const wchar_t* text = Find(kSystemErrorRows, kSystemErrorRows + kSystemErrorRowCount, code);
    if (!text)
        text = Find(std::begin(kEngineRows), std::end(kEngineRows), code);
    return text ? text : L"未知错误";
}

}  // namespace vw
