#pragma once
// Versions are compared as plain decimal numbers, not as dotted parts: "1.9" is newer than
// "1.10", and "1.10" is the same version as "1.1". Stored profiles and served manifests rely on it.
#include <optional>
#include <string_view>

namespace vw {

// The leading decimal number of a text: blanks skipped, then sign, digits, decimal point and
// exponent as far as they form a number; 0 when there is none.
double LeadingNumber(std::wstring_view text);

// A version as a manifest must give it: digits, optionally a point and more digits ("1.20"), blanks
// around allowed; nothing for anything else (an empty text, "1.2.3", "v2", "1e9").
std::optional<double> ParseVersion(std::wstring_view text);

inline bool IsNewerVersion(double installed, double offered)
{
    return installed < offered;
}

}  // namespace vw
