#include "support/DialogTemplate.h"

namespace vwtest {

namespace {
constexpr size_t kItemCountWord = 4;  // after style and extended style (two DWORDs)
}

DialogTemplate::DialogTemplate(const std::wstring& title, short width, short height)
{
    PushDword(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT);
    PushDword(0);
    words_.push_back(0);  // item count, raised by Add
    for (short value : {short(0), short(0), width, height})
        words_.push_back(static_cast<WORD>(value));
    words_.push_back(0);  // no menu
    words_.push_back(0);  // the standard dialog class
    PushText(title);
    words_.push_back(8);
    PushText(L"MS Shell Dlg");
}

DialogTemplate& DialogTemplate::Add(WORD classAtom, WORD id, const std::wstring& text, short x, short y,
                                    short width, short height, DWORD style)
{
    AlignToDword();
    PushDword(WS_CHILD | WS_VISIBLE | style);
    PushDword(0);
    for (short value : {x, y, width, height})
        words_.push_back(static_cast<WORD>(value));
    words_.push_back(id);
    words_.push_back(0xFFFF);
    words_.push_back(classAtom);
    PushText(text);
    words_.push_back(0);  // no creation data
    ++words_[kItemCountWord];
    return *this;
}

void DialogTemplate::PushDword(DWORD value)
{
    words_.push_back(LOWORD(value));
    words_.push_back(HIWORD(value));
}

void DialogTemplate::PushText(const std::wstring& text)
{
    words_.insert(words_.end(), text.begin(), text.end());
    words_.push_back(0);
}

void DialogTemplate::AlignToDword()
{
    if (words_.size() % 2 != 0)
        words_.push_back(0);
}

}  // namespace vwtest
