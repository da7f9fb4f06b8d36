#include "ui/CKoListCtrl.h"

#include <windowsx.h>

#include <algorithm>
#include <vector>

namespace vw {

namespace {

constexpr UINT_PTR kSubclassId = 1;
constexpr int kCellMargin = 5;
// Where the mouse is when it is over no row.
constexpr int kBelowRows = -1;
constexpr int kOverHeader = -2;

}  // namespace

CKoListCtrl::~CKoListCtrl()
{
    Detach();
}

void CKoListCtrl::Attach(HWND list)
{
    Detach();
    list_ = list;
    ::SetWindowSubclass(list_, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

void CKoListCtrl::Detach()
{
    if (list_)
        ::RemoveWindowSubclass(list_, SubclassProc, kSubclassId);
    tooltip_.reset();
    list_ = nullptr;
}

bool CKoListCtrl::SetUpTooltip(const std::wstring& hint)
{
    tooltip_.reset(::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, list_, nullptr,
                                     nullptr, nullptr));
    if (!tooltip_)
        return false;
    hint_ = hint;
    // One tool over the whole list whose text follows the mouse; the tooltip watches the list's
    // mouse messages itself (TTF_SUBCLASS), so nothing has to relay them.
    TTTOOLINFOW tool = WholeListTool(const_cast<wchar_t*>(L""));
    ::SendMessageW(tooltip_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    ::SendMessageW(tooltip_.get(), TTM_ACTIVATE, TRUE, 0);
    ::SendMessageW(tooltip_.get(), TTM_SETDELAYTIME, TTDT_INITIAL, 0);
    return true;
}

TTTOOLINFOW CKoListCtrl::WholeListTool(wchar_t* text) const
{
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = list_;
    tool.uId = 0;
    ::GetClientRect(list_, &tool.rect);
    tool.lpszText = text;
    return tool;
}

void CKoListCtrl::SetPathEllipsisColumns(int first, int second, int third)
{
    pathColumns_ = {first, second, third};
}

bool CKoListCtrl::IsPathColumn(int column) const
{
    return column >= 0 && std::find(pathColumns_.begin(), pathColumns_.end(), column) != pathColumns_.end();
}

std::wstring CKoListCtrl::CellText(int row, int column) const
{
    // The list answers with as much as fits: grow the buffer until the text is shorter.
    std::vector<wchar_t> buffer(128);
    for (;;) {
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        const auto length = static_cast<size_t>(
            ::SendMessageW(list_, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
        if (length + 1 < buffer.size())
            return std::wstring(buffer.data(), length);
        buffer.resize(buffer.size() * 4);
    }
}

void CKoListCtrl::OnMouseMove(LPARAM position)
{
    LVHITTESTINFO hit{};
    hit.pt = {GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    ::SendMessageW(list_, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    if (hit.iItem == -1) {
        // Over no row: the list may still name the column under the point, so tell the rows area
        // (the hint) from the header (no text) by the point itself.
        RECT header{};
        ::GetWindowRect(reinterpret_cast<HWND>(::SendMessageW(list_, LVM_GETHEADER, 0, 0)), &header);
        hit.iSubItem = hit.pt.y >= header.bottom - header.top ? kBelowRows : kOverHeader;
    }
    if (hit.iItem == lastRow_ && hit.iSubItem == lastColumn_)
        return;
    lastRow_ = hit.iItem;
    lastColumn_ = hit.iSubItem;

    if (hit.iItem != -1 && hit.iSubItem >= 0)
        tipText_ = CellText(hit.iItem, hit.iSubItem);
    else if (hit.iSubItem == kBelowRows)
        tipText_ = hint_;
    else
        tipText_.clear();

    TTTOOLINFOW tool = WholeListTool(tipText_.data());
    ::SendMessageW(tooltip_.get(), TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    ::SendMessageW(tooltip_.get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    // The tip on show still has the old text: take it away, the next hover shows the new one.
    ::SendMessageW(tooltip_.get(), TTM_POP, 0, 0);
}

void CKoListCtrl::DrawRow(const DRAWITEMSTRUCT& item) const
{
    const HDC dc = item.hDC;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    ::FillRect(dc, &item.rcItem, ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    const COLORREF oldText = ::SetTextColor(dc, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);

    const HWND header = reinterpret_cast<HWND>(::SendMessageW(list_, LVM_GETHEADER, 0, 0));
    const int columns = static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    const int row = static_cast<int>(item.itemID);
    for (int column = 0; column < columns; ++column) {
        RECT cell{};
        cell.top = column;
        cell.left = LVIR_LABEL;
        if (!::SendMessageW(list_, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell)))
            continue;
        if (!::RectVisible(dc, &cell))
            continue;
        cell.left += kCellMargin;
        cell.right -= kCellMargin;
        const std::wstring text = CellText(row, column);
        UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_LEFT;
        if (IsPathColumn(column))
            format |= DT_PATH_ELLIPSIS;
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &cell, format);
    }
    ::SetBkMode(dc, oldMode);
    ::SetTextColor(dc, oldText);
}

void CKoListCtrl::OnClickNotify(const NMITEMACTIVATE& click)
{
    if (click.iItem != -1)
        return;
    const int mark = static_cast<int>(::SendMessageW(list_, LVM_GETSELECTIONMARK, 0, 0));
    if (mark < 0)
        return;
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = 0;
    ::SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(mark), reinterpret_cast<LPARAM>(&state));
    ::SendMessageW(list_, LVM_SETSELECTIONMARK, 0, -1);
}

LRESULT CALLBACK CKoListCtrl::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                           DWORD_PTR data) noexcept
{
    auto* self = reinterpret_cast<CKoListCtrl*>(data);
    try {
        if (message == WM_MOUSEMOVE && self->tooltip_)
            self->OnMouseMove(lParam);
        if (message == WM_DESTROY) {
            const LRESULT result = ::DefSubclassProc(window, message, wParam, lParam);
            self->Detach();
            return result;
        }
    } catch (...) {
        // A tooltip text that could not be made costs the tip, never the list.
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace vw
