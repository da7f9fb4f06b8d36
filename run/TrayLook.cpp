#include "run/TrayLook.h"

#include "engine/RunContext.h"
#include "resources/resource.h"
#include "task/RunKind.h"
#include "win/Format.h"

namespace vw {

namespace {

constexpr wchar_t kProgramName[] = L"Vaultwren";

Balloon MakeBalloon(const std::wstring& title, const std::wstring& text, BalloonIcon icon)
{
    return Balloon{FitText(title, kBalloonTitleMax), FitText(text, kBalloonTextMax), icon};
}

}  // namespace

std::wstring FitText(std::wstring_view text, size_t maxLength)
{
    if (text.size() <= maxLength)
        return std::wstring(text);
    if (maxLength == 0)
        return std::wstring();
    size_t keep = maxLength - 1;
    if (keep > 0 && IS_HIGH_SURROGATE(text[keep - 1]))
        --keep;
    std::wstring fitted(text.substr(0, keep));
    fitted += L'\u2026';
    return fitted;
}

TrayLook TrayLookFor(int runState, const std::wstring* currentTaskName, int32_t runKind)
{
    const wchar_t* kind = RunKindWord(runKind);
    std::wstring tooltip;
    int iconId = IDI_TRAY_IDLE;
    if (runState == kRunRunning) {
        iconId = IDI_TRAY_RUNNING;
        tooltip = currentTaskName ? Format(L"%s（正在运行%s任务“%s”）", kProgramName, kind, currentTaskName->c_str())
                                  : Format(L"%s（%s）", kProgramName, L"正在备份");
    } else if (runState == kRunPaused) {
        tooltip = currentTaskName ? Format(L"%s（%s任务“%s”暂停中）", kProgramName, kind, currentTaskName->c_str())
                                  : Format(L"%s（%s）", kProgramName, L"暂停");
    } else {
        tooltip = Format(L"%s（%s）", kProgramName, L"空闲中");
    }
    return TrayLook{iconId, FitText(tooltip, kTrayTooltipMax)};
}

Balloon DiskSpaceBalloon(wchar_t driveLetter)
{
    // The letter comes from the destination as the user typed it ("d:\备份"); a destination on a
    // network share has none, and a control character would cut the balloon's text short.
    const wchar_t upper =
        (driveLetter >= L'a' && driveLetter <= L'z') ? static_cast<wchar_t>(driveLetter - L'a' + L'A') : driveLetter;
    const std::wstring letter = (upper >= L'A' && upper <= L'Z') ? std::wstring(1, upper) : std::wstring();
    return MakeBalloon(kProgramName,
                       Format(L"%s盘空间已小于100MB，您可以使用清理历史文件功能释放磁盘空间！", letter.c_str()),
                       kBalloonInfo);
}

std::optional<Balloon> BatchEndBalloon(bool stopped, bool cleaning, int tasksDone, int filesCopied,
                                       int filesFailed)
{
    if (cleaning)
        return std::nullopt;
    std::wstring text = Format(L"共完成备份任务%d个，成功备份%d个文件", tasksDone, filesCopied);
    if (filesFailed > 0)
        text = Format(L"%s，%d个文件无法备份", text.c_str(), filesFailed);
    return stopped ? MakeBalloon(L"备份已停止", text, kBalloonWarning) : MakeBalloon(L"备份完成", text, kBalloonInfo);
}

std::optional<Balloon> ReadingRunEndBalloon(bool stopped, int32_t runKind, int filesDone, int filesCopied,
                                            int filesFailed)
{
    if (runKind == static_cast<int32_t>(RunKind::Verify)) {
        std::wstring text = Format(L"%d个文件与源文件相同", filesDone);
        if (filesCopied > 0)
            text += Format(L"，%d个损坏的文件已重新复制", filesCopied);
        if (filesFailed > 0)
            text += Format(L"，%d个文件与源文件不一致", filesFailed);
        if (stopped)
            return MakeBalloon(L"校验已停止", text, kBalloonWarning);
        return filesFailed > 0 ? MakeBalloon(L"备份与源文件不一致", text, kBalloonWarning)
                               : MakeBalloon(L"校验完成，备份无误", text, kBalloonInfo);
    }
    if (runKind == static_cast<int32_t>(RunKind::Restore)) {
        std::wstring text = Format(L"成功恢复%d个文件", filesCopied);
        if (filesFailed > 0)
            text += Format(L"，%d个文件未恢复", filesFailed);
        if (stopped)
            return MakeBalloon(L"恢复已停止", text, kBalloonWarning);
        return MakeBalloon(L"恢复完成", text, filesFailed > 0 ? kBalloonWarning : kBalloonInfo);
    }
    return std::nullopt;
}

}  // namespace vw
