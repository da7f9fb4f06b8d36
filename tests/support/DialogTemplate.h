#pragma once
// An in-memory dialog template, for tests of dialog code without a resource file.
#include <windows.h>

#include <string>
#include <vector>

namespace vwtest {

class DialogTemplate {
public:
    // A popup with caption and system menu in "MS Shell Dlg" 8 pt; sizes in dialog units.
    DialogTemplate(const std::wstring& title, short width, short height);

    // Predefined control classes by their atom.
    static constexpr WORD kButton = 0x0080;
    static constexpr WORD kEdit = 0x0081;
    static constexpr WORD kStatic = 0x0082;

    DialogTemplate& Add(WORD classAtom, WORD id, const std::wstring& text, short x, short y, short width,
                        short height, DWORD style);
    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void PushDword(DWORD value);
    void PushText(const std::wstring& text);
    void AlignToDword();
    std::vector<WORD> words_;
};

}  // namespace vwtest
