#include "app/AboutTexts.h"

#include "app/Settings.h"
#include "win/Format.h"

namespace vw {

std::wstring AboutVersionLine()
{
    return Format(L"%s，%4.2f版", L"Vaultwren", kProgramVersion);
}

std::wstring FeedbackAddress(const std::wstring& reportUrl)
{
    if (reportUrl.empty())
        return {};
    return Format(L"%s?product_no=%s", reportUrl.c_str(), kProductCode);
}

}  // namespace vw
