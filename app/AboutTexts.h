#pragma once
// What the About window says and where its feedback button leads.
#include <string>

namespace vw {

// Sent with the feedback address so the page knows which program asks.
inline constexpr wchar_t kProductCode[] = L"VW-DESKTOP-110";

// "Vaultwren，1.10版".
std::wstring AboutVersionLine();

// "<ReportURL>?product_no=<product code>"; empty when no feedback address is set.
std::wstring FeedbackAddress(const std::wstring& reportUrl);

}  // namespace vw
