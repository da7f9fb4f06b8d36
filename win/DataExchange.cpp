#include "win/DataExchange.h"

#include <limits>

#include "win/MessageBox.h"

namespace vw {
namespace {

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

// Sign and magnitude of a field's text, or nothing; the magnitude saturates past 2^32.
struct SignedDigits {
    bool negative = false;
    unsigned long long magnitude = 0;
};

std::optional<SignedDigits> ScanDigits(std::wstring_view text)
{
    size_t at = 0;
    while (at < text.size() && IsBlank(text[at]))
        ++at;
    SignedDigits result;
    if (at < text.size() && (text[at] == L'+' || text[at] == L'-'))
        result.negative = text[at++] == L'-';
    const size_t firstDigit = at;
    while (at < text.size() && text[at] >= L'0' && text[at] <= L'9') {
        if (result.magnitude <= 0xFFFFFFFFull)
            result.magnitude = result.magnitude * 10 + static_cast<unsigned>(text[at] - L'0');
        ++at;
    }
    if (at == firstDigit)
        return std::nullopt;
    while (at < text.size() && IsBlank(text[at]))
        ++at;
    if (at != text.size())
        return std::nullopt;
    return result;
}

}  // namespace

std::wstring EnterIntegerBetweenText(int low, int high)
{
    return L"请输入一个 " + std::to_wstring(low) + L" 至 " + std::to_wstring(high) + L" 之间的整数。";
}

std::optional<int> ParseIntField(std::wstring_view text)
{
    const auto digits = ScanDigits(text);
    if (!digits)
        return std::nullopt;
    const long long limit = digits->negative ? -static_cast<long long>(std::numeric_limits<int>::min())
                                             : std::numeric_limits<int>::max();
    if (digits->magnitude > static_cast<unsigned long long>(limit))
        return std::nullopt;
    const long long value = static_cast<long long>(digits->magnitude);
    return static_cast<int>(digits->negative ? -value : value);
}

std::optional<unsigned> ParseUnsignedField(std::wstring_view text)
{
    const auto digits = ScanDigits(text);
    if (!digits || digits->negative || digits->magnitude > std::numeric_limits<unsigned>::max())
        return std::nullopt;
    return static_cast<unsigned>(digits->magnitude);
}

std::wstring GetItemText(HWND dialog, int id)
{
    HWND item = ::GetDlgItem(dialog, id);
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(item)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(item, text.data(), static_cast<int>(text.size()))));
    return text;
}

void SetItemText(HWND dialog, int id, const std::wstring& text)
{
    ::SetDlgItemTextW(dialog, id, text.c_str());
}

void SetItemInt(HWND dialog, int id, long long value)
{
    SetItemText(dialog, id, std::to_wstring(value));
}

bool IsItemChecked(HWND dialog, int id)
{
    return ::IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

void SetItemChecked(HWND dialog, int id, bool checked)
{
    ::CheckDlgButton(dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void RejectField(HWND dialog, int id, const std::wstring& text)
{
    ShowMessage(dialog, text, MB_OK | MB_ICONEXCLAMATION);
    HWND item = ::GetDlgItem(dialog, id);
    // WM_NEXTDLGCTL moves the focus the way the dialog manager does (default button included).
    ::SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item), TRUE);
    ::SendMessageW(item, EM_SETSEL, 0, -1);
}

std::optional<int> ReadIntField(HWND dialog, int id)
{
    const auto value = ParseIntField(GetItemText(dialog, id));
    if (!value)
        RejectField(dialog, id, kEnterIntegerText);
    return value;
}

std::optional<unsigned> ReadUnsignedField(HWND dialog, int id)
{
    const auto value = ParseUnsignedField(GetItemText(dialog, id));
    if (!value)
        RejectField(dialog, id, kEnterPositiveIntegerText);
    return value;
}

std::optional<int> ReadIntField(HWND dialog, int id, int low, int high)
{
    const auto value = ReadIntField(dialog, id);
    if (value && (*value < low || *value > high)) {
        RejectField(dialog, id, EnterIntegerBetweenText(low, high));
        return std::nullopt;
    }
    return value;
}

}  // namespace vw
