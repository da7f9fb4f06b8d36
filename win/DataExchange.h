#pragma once
// Reading and writing dialog fields, with the standard validation messages of number fields: a
// field that fails shows its message (program caption, OK, exclamation icon), then gets the focus
// with its whole text selected, and the dialog stays open.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace vw {

inline constexpr wchar_t kEnterIntegerText[] = L"请输入一个整数。";
inline constexpr wchar_t kEnterPositiveIntegerText[] = L"请输入一个正整数。";
// "请输入一个 %1 至 %2 之间的整数。" with the bounds as decimal numbers.
std::wstring EnterIntegerBetweenText(int low, int high);

// A number field's text: blanks and tabs around an optional sign and decimal digits. A value that
// does not fit the type is no number (rather than a silently clipped one).
std::optional<int> ParseIntField(std::wstring_view text);
// As ParseIntField, without a minus sign.
std::optional<unsigned> ParseUnsignedField(std::wstring_view text);

std::wstring GetItemText(HWND dialog, int id);
void SetItemText(HWND dialog, int id, const std::wstring& text);
void SetItemInt(HWND dialog, int id, long long value);
bool IsItemChecked(HWND dialog, int id);
void SetItemChecked(HWND dialog, int id, bool checked);

// Shows `text` for the field `id`, then gives the field the focus with its whole text selected.
void RejectField(HWND dialog, int id, const std::wstring& text);

// Each returns nothing after rejecting the field with its message.
std::optional<int> ReadIntField(HWND dialog, int id);
std::optional<unsigned> ReadUnsignedField(HWND dialog, int id);
std::optional<int> ReadIntField(HWND dialog, int id, int low, int high);

}  // namespace vw
