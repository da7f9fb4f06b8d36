#include "engine/TransferProgress.h"

#include "engine/RunContext.h"

namespace vw {

TrackedTransfer::TrackedTransfer(RunContext& context, const std::wstring& fileName) : context_(context)
{
    context_.ResetCopyFields(fileName);
    context_.copying = 1;
}

TrackedTransfer::~TrackedTransfer()
{
    context_.pausedInCopy = 0;
    context_.ClosePauseEvent();
    context_.copying = 0;
    context_.SetCurrentFile(std::wstring());
}

}  // namespace vw
