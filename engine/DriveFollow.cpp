// Finding a bound destination again when its removable disk comes back under another letter.
#include <windows.h>

#include "engine/CBackupEngine.h"
#include "engine/RunContext.h"
#include "task/CBackupItem.h"
#include "win/Text.h"

namespace vw {

bool CBackupEngine::FollowDriveLetter()
{
    if (!PathsReady())
        return false;
    if (task_.RemoveFollow == 0 || destFolder_.size() < 2)
        return false;

    const auto putLetter = [this](wchar_t letter) {
        destFolder_[0] = letter;
        workFolder_[0] = letter;
        historyFolder_[0] = letter;
        markerFile_[0] = letter;
        passCopier_.workCopy[0] = letter;
        setAsideFolder_[0] = letter;
    };
    const wchar_t original = destFolder_[0];
    for (wchar_t letter = L'C'; letter <= L'Z'; ++letter) {
        putLetter(letter);
        // The same path on the source's drive may lie inside the source folder: never back up into it.
        if (StartsWithIgnoringCase(destFolder_, sourceFolder_))
            continue;
        if (DriveIsUsable(destFolder_, false) && VerifyMarker()) {
            task_.SetDest(destFolder_, true);
            context_.flags.fetch_or(kFlagDestLetterChanged);
            return true;
        }
    }
    putLetter(original);
    return false;
}

}  // namespace vw
