#include "support/RemoteControls.h"

#include <commctrl.h>

#include "win/UniqueHandle.h"

namespace vwtest {

namespace {

// A block of memory in the process that owns a window.
class WindowProcessMemory {
public:
    WindowProcessMemory(HWND window, size_t size) : size_(size)
    {
        DWORD processId = 0;
        ::GetWindowThreadProcessId(window, &processId);
        process_.reset(::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
        if (process_)
            block_ = ::VirtualAllocEx(process_.get(), nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~WindowProcessMemory()
    {
        if (block_)
            ::VirtualFreeEx(process_.get(), block_, 0, MEM_RELEASE);
    }
    WindowProcessMemory(const WindowProcessMemory&) = delete;
    WindowProcessMemory& operator=(const WindowProcessMemory&) = delete;

    bool ok() const { return block_ != nullptr; }
    LPARAM at(size_t offset = 0) const { return reinterpret_cast<LPARAM>(static_cast<char*>(block_) + offset); }
    bool Write(size_t offset, const void* data, size_t size) const
    {
        return offset + size <= size_ &&
               ::WriteProcessMemory(process_.get(), static_cast<char*>(block_) + offset, data, size, nullptr);
    }
    bool Read(size_t offset, void* data, size_t size) const
    {
        return offset + size <= size_ &&
               ::ReadProcessMemory(process_.get(), static_cast<char*>(block_) + offset, data, size, nullptr);
    }

private:
    vw::UniqueHandle process_;
    void* block_ = nullptr;
    size_t size_;
};

constexpr size_t kTextChars = 4096;
constexpr size_t kTextOffset = 512;  // the text buffer follows the structure in the block

}  // namespace

Rows ListViewRows(HWND list)
{
    Rows rows;
    const HWND header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
    const int columns = static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    const int count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    WindowProcessMemory memory(list, kTextOffset + kTextChars * sizeof(wchar_t));
    if (!memory.ok())
        return rows;
    for (int row = 0; row < count; ++row) {
        std::vector<std::wstring> cells;
        for (int column = 0; column < columns; ++column) {
            LVITEMW item{};
            item.iSubItem = column;
            item.pszText = reinterpret_cast<wchar_t*>(memory.at(kTextOffset));
            item.cchTextMax = static_cast<int>(kTextChars);
            memory.Write(0, &item, sizeof(item));
            const auto length = static_cast<size_t>(::SendMessageW(list, LVM_GETITEMTEXTW, row, memory.at()));
            std::wstring text(length, L'\0');
            memory.Read(kTextOffset, text.data(), length * sizeof(wchar_t));
            cells.push_back(text);
        }
        rows.push_back(cells);
    }
    return rows;
}

std::vector<std::wstring> ListViewHeadings(HWND list)
{
    std::vector<std::wstring> headings;
    const HWND header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
    const int columns = static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    WindowProcessMemory memory(list, kTextOffset + kTextChars * sizeof(wchar_t));
    if (!memory.ok())
        return headings;
    for (int column = 0; column < columns; ++column) {
        LVCOLUMNW info{};
        info.mask = LVCF_TEXT;
        info.pszText = reinterpret_cast<wchar_t*>(memory.at(kTextOffset));
        info.cchTextMax = static_cast<int>(kTextChars);
        memory.Write(0, &info, sizeof(info));
        ::SendMessageW(list, LVM_GETCOLUMNW, column, memory.at());
        std::wstring text(kTextChars, L'\0');
        memory.Read(kTextOffset, text.data(), kTextChars * sizeof(wchar_t));
        headings.push_back(text.c_str());
    }
    return headings;
}

int ListViewSelectionMark(HWND list)
{
    return static_cast<int>(::SendMessageW(list, LVM_GETSELECTIONMARK, 0, 0));
}

RECT ListViewRowRect(HWND list, int row)
{
    WindowProcessMemory memory(list, sizeof(RECT));
    RECT bounds{};
    bounds.left = LVIR_BOUNDS;
    memory.Write(0, &bounds, sizeof(bounds));
    if (!::SendMessageW(list, LVM_GETITEMRECT, row, memory.at()))
        return RECT{};
    memory.Read(0, &bounds, sizeof(bounds));
    return bounds;
}

void ListViewSelect(HWND list, int row)
{
    WindowProcessMemory memory(list, sizeof(LVITEMW));
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    memory.Write(0, &state, sizeof(state));
    // The mark first: the window looks at it when the list reports the new selection.
    ::SendMessageW(list, LVM_SETSELECTIONMARK, 0, row);
    ::SendMessageW(list, LVM_SETITEMSTATE, row, memory.at());
}

std::wstring WindowText(HWND window)
{
    const auto length = static_cast<size_t>(::SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
    std::wstring text(length + 1, L'\0');
    const auto copied = static_cast<size_t>(
        ::SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
    text.resize(copied);
    return text;
}

std::vector<std::wstring> ToolbarLabels(HWND toolbar)
{
    std::vector<std::wstring> labels;
    const int count = static_cast<int>(::SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0));
    WindowProcessMemory memory(toolbar, kTextOffset + kTextChars * sizeof(wchar_t));
    if (!memory.ok())
        return labels;
    for (int index = 0; index < count; ++index) {
        ::SendMessageW(toolbar, TB_GETBUTTON, index, memory.at());
        TBBUTTON button{};
        memory.Read(0, &button, sizeof(button));
        if (button.fsStyle & BTNS_SEP)
            continue;
        const auto length = static_cast<size_t>(
            ::SendMessageW(toolbar, TB_GETBUTTONTEXTW, button.idCommand, memory.at(kTextOffset)));
        std::wstring text(length, L'\0');
        memory.Read(kTextOffset, text.data(), length * sizeof(wchar_t));
        labels.push_back(text);
    }
    return labels;
}

bool ToolbarButtonEnabled(HWND toolbar, UINT command)
{
    return ::SendMessageW(toolbar, TB_ISBUTTONENABLED, command, 0) != 0;
}

}  // namespace vwtest
