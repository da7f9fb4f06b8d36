#include "updater/VersionNumber.h"

#include <cwchar>
#include <string>

namespace vw {

namespace {

bool IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

size_t SkipDigits(std::wstring_view text, size_t at)
{
    while (at < text.size() && IsDigit(text[at]))
        ++at;
    return at;
}

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

}  // namespace

std::optional<double> ParseVersion(std::wstring_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    const size_t integerEnd = SkipDigits(text, 0);
    if (integerEnd == 0 || integerEnd > 9)
        return std::nullopt;
    size_t end = integerEnd;
    if (end < text.size() && text[end] == L'.') {
        end = SkipDigits(text, end + 1);
        if (end == integerEnd + 1 || end - integerEnd > 10)
            return std::nullopt;
    }
    if (end != text.size())
        return std::nullopt;
    return LeadingNumber(text);
}

double LeadingNumber(std::wstring_view text)
{
    size_t start = 0;
    while (start < text.size() && (text[start] == L' ' || text[start] == L'\t' || text[start] == L'\r' ||
                                   text[start] == L'\n' || text[start] == L'\v' || text[start] == L'\f'))
        ++start;
    // The number is cut out by hand: the C library's own parser also takes hexadecimal,
    // "inf" and "nan", which no version text means.
    size_t end = start;
    if (end < text.size() && (text[end] == L'+' || text[end] == L'-'))
        ++end;
    const size_t integerEnd = SkipDigits(text, end);
    bool digits = integerEnd > end;
    end = integerEnd;
    if (end < text.size() && text[end] == L'.') {
        const size_t fractionEnd = SkipDigits(text, end + 1);
        digits = digits || fractionEnd > end + 1;
        end = fractionEnd;
    }
    if (!digits)
        return 0.0;
    if (end < text.size() && (text[end] == L'e' || text[end] == L'E')) {
        size_t exponent = end + 1;
        if (exponent < text.size() && (text[exponent] == L'+' || text[exponent] == L'-'))
            ++exponent;
        const size_t exponentEnd = SkipDigits(text, exponent);
        if (exponentEnd > exponent)
            end = exponentEnd;
    }
    const std::wstring number(text.substr(start, end - start));
    return std::wcstod(number.c_str(), nullptr);
}

}  // namespace vw
