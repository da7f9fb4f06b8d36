// The dialog base on real windows: each message reaches its typed handler, a failing handler does
// not take the window down, modal dialogs return their end code, and number fields reject bad text
// with the standard message and put the caret back in the field.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/DialogTemplate.h"
#include "support/MessageBoxAnswerer.h"
#include "win/DataExchange.h"
#include "win/Dialog.h"

namespace {

using namespace std::chrono_literals;
using vwtest::DialogTemplate;

constexpr WORD kEditId = 100;
constexpr WORD kButtonId = 101;
constexpr int kThrowingCommand = 102;
constexpr int kEndWith42 = 103;
constexpr UINT kPrivateMessage = WM_APP + 1;

DialogTemplate ProbeTemplate()
{
    DialogTemplate t(L"探针", 200, 80);
    t.Add(DialogTemplate::kEdit, kEditId, L"", 10, 10, 100, 14, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL);
    t.Add(DialogTemplate::kButton, kButtonId, L"按钮", 120, 10, 50, 14, WS_TABSTOP | BS_PUSHBUTTON);
    return t;
}

// Records every handler call as a line of text.
class Probe : public vw::Dialog {
public:
    std::vector<std::wstring> calls;
    UINT commandOnInit = 0;  // posted from OnInit, so that a modal loop ends by itself

protected:
    bool OnInit() override
    {
        calls.push_back(L"init");
        if (commandOnInit)
            ::PostMessageW(Handle(), WM_COMMAND, commandOnInit, 0);
        return true;
    }
    bool OnCommand(int id, int code, HWND control) override
    {
        if (id == kEditId)
            return false;  // the edit's focus notifications are not what these tests look at
        calls.push_back(L"command " + std::to_wstring(id) + L" " + std::to_wstring(code) +
                        (control && control == Item(id) ? L" from its control" : L""));
        if (id == kThrowingCommand)
            throw std::runtime_error("handler failed");
        if (id == kEndWith42) {
            End(42);
            return true;
        }
        return Dialog::OnCommand(id, code, control);
    }
    bool OnNotify(NMHDR& header) override
    {
        calls.push_back(L"notify " + std::to_wstring(header.idFrom) + L" " + std::to_wstring(header.code));
        SetResult(77);
        return true;
    }
    void OnTimer(UINT_PTR id) override
    {
        ::KillTimer(Handle(), id);
        calls.push_back(L"timer " + std::to_wstring(id));
    }
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR&) override
    {
        if (message != kPrivateMessage)
            return false;
        SetResult(static_cast<LRESULT>(wParam + lParam));
        return true;
    }
    void OnDestroy() override { calls.push_back(L"destroy"); }
};

void PumpFor(std::chrono::milliseconds duration)
{
    const auto end = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < end) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(10);
    }
}

TEST(Dialog, EachMessageReachesItsTypedHandlerUntilTheWindowIsGone)
{
    const DialogTemplate t = ProbeTemplate();
    Probe probe;
    ASSERT_TRUE(probe.CreateIndirect(::GetModuleHandleW(nullptr), t.get(), nullptr));
    HWND window = probe.Handle();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(::GetWindowLongPtrW(window, DWLP_USER), reinterpret_cast<LONG_PTR>(&probe));
    ASSERT_NE(probe.Item(kEditId), nullptr);

    ::SendMessageW(probe.Item(kButtonId), BM_CLICK, 0, 0);  // a real click on the real button
    NMHDR header{probe.Item(kEditId), kEditId, static_cast<UINT>(NM_CLICK)};
    EXPECT_EQ(::SendMessageW(window, WM_NOTIFY, kEditId, reinterpret_cast<LPARAM>(&header)), 77);
    EXPECT_EQ(::SendMessageW(window, kPrivateMessage, 3, 4), 7);
    ::SetTimer(window, 5, 10, nullptr);
    PumpFor(200ms);
    ::DestroyWindow(window);

    const std::vector<std::wstring> expected{
        L"init",
        L"command 101 0 from its control",
        L"notify 100 " + std::to_wstring(static_cast<UINT>(NM_CLICK)),
        L"timer 5",
        L"destroy",
    };
    EXPECT_EQ(probe.calls, expected);
    EXPECT_EQ(probe.Handle(), nullptr);
    EXPECT_FALSE(::IsWindow(window));
}

TEST(Dialog, AHandlerThatThrowsLeavesTheWindowWorking)
{
    const DialogTemplate t = ProbeTemplate();
    Probe probe;
    ASSERT_TRUE(probe.CreateIndirect(::GetModuleHandleW(nullptr), t.get(), nullptr));

    EXPECT_EQ(::SendMessageW(probe.Handle(), WM_COMMAND, kThrowingCommand, 0), 0);
    ::SendMessageW(probe.Handle(), WM_COMMAND, kButtonId, 0);

    EXPECT_TRUE(::IsWindow(probe.Handle()));
    const std::vector<std::wstring> expected{L"init", L"command 102 0", L"command 101 0"};
    EXPECT_EQ(probe.calls, expected);
}

TEST(Dialog, DestroyingTheObjectDestroysItsModelessWindow)
{
    const DialogTemplate t = ProbeTemplate();
    auto probe = std::make_unique<Probe>();
    ASSERT_TRUE(probe->CreateIndirect(::GetModuleHandleW(nullptr), t.get(), nullptr));
    HWND window = probe->Handle();
    probe.reset();
    EXPECT_FALSE(::IsWindow(window));
}

TEST(Dialog, AModalDialogReturnsTheCodeItEndsWith)
{
    struct Case {
        UINT command;
        INT_PTR result;
        const wchar_t* meaning;
    };
    const Case cases[] = {
        {IDOK, IDOK, L"OK ends with its id"},
        {IDCANCEL, IDCANCEL, L"Cancel ends with its id"},
        {kEndWith42, 42, L"a handler's own end code"},
    };
    const DialogTemplate t = ProbeTemplate();
    for (const Case& c : cases) {
        Probe probe;
        probe.commandOnInit = c.command;
        EXPECT_EQ(probe.DoModalIndirect(::GetModuleHandleW(nullptr), t.get(), nullptr), c.result) << c.meaning;
        EXPECT_TRUE(probe.IsModal());
        EXPECT_EQ(probe.Handle(), nullptr) << c.meaning;
        EXPECT_EQ(probe.calls.back(), L"destroy") << c.meaning;
    }
}

TEST(Dialog, EscapeInAModalDialogCancelsIt)
{
    const DialogTemplate t = ProbeTemplate();
    struct EscapeProbe : Probe {
        bool OnInit() override
        {
            Probe::OnInit();
            ::PostMessageW(Item(kEditId), WM_KEYDOWN, VK_ESCAPE, 0);
            return true;
        }
    } probe;
    EXPECT_EQ(probe.DoModalIndirect(::GetModuleHandleW(nullptr), t.get(), nullptr), IDCANCEL);
}

TEST(DataExchange, NumberFieldTexts)
{
    struct Case {
        const wchar_t* text;
        std::optional<int> asInt;
        std::optional<unsigned> asUnsigned;
    };
    const Case cases[] = {
        {L"12", 12, 12u},
        {L" \t7\t ", 7, 7u},
        {L"+5", 5, 5u},
        {L"0", 0, 0u},
        {L"-3", -3, std::nullopt},
        {L"2147483647", 2147483647, 2147483647u},
        {L"-2147483648", -2147483647 - 1, std::nullopt},
        {L"2147483648", std::nullopt, 2147483648u},
        {L"4294967295", std::nullopt, 4294967295u},
        {L"4294967296", std::nullopt, std::nullopt},
        {L"99999999999999999999", std::nullopt, std::nullopt},
        {L"", std::nullopt, std::nullopt},
        {L"  ", std::nullopt, std::nullopt},
        {L"-", std::nullopt, std::nullopt},
        {L"abc", std::nullopt, std::nullopt},
        {L"12abc", std::nullopt, std::nullopt},
        {L"1 2", std::nullopt, std::nullopt},
        {L"1.5", std::nullopt, std::nullopt},
        {L"０", std::nullopt, std::nullopt},  // full-width digits are not read as numbers
    };
    for (const Case& c : cases) {
        EXPECT_EQ(vw::ParseIntField(c.text), c.asInt) << c.text;
        EXPECT_EQ(vw::ParseUnsignedField(c.text), c.asUnsigned) << c.text;
    }
    EXPECT_EQ(vw::EnterIntegerBetweenText(1, 999), L"请输入一个 1 至 999 之间的整数。");
    EXPECT_EQ(vw::EnterIntegerBetweenText(-5, 0), L"请输入一个 -5 至 0 之间的整数。");
}

TEST(DataExchange, ARejectedFieldShowsItsMessageAndGetsTheFocusWithItsTextSelected)
{
    enum class Read { Int, Unsigned, IntInRange };
    struct Case {
        const wchar_t* text;
        Read read;
        bool accepted;
        const wchar_t* message;  // the box shown, if any
    };
    const Case cases[] = {
        {L"12", Read::Int, true, nullptr},
        {L"abc", Read::Int, false, L"请输入一个整数。"},
        {L"", Read::Int, false, L"请输入一个整数。"},
        {L"-1", Read::Unsigned, false, L"请输入一个正整数。"},
        {L"30", Read::Unsigned, true, nullptr},
        {L"1000", Read::IntInRange, false, L"请输入一个 1 至 999 之间的整数。"},
        {L"0", Read::IntInRange, false, L"请输入一个 1 至 999 之间的整数。"},
        {L"x9", Read::IntInRange, false, L"请输入一个整数。"},
        {L"999", Read::IntInRange, true, nullptr},
    };
    const DialogTemplate t = ProbeTemplate();
    Probe probe;
    ASSERT_TRUE(probe.CreateIndirect(::GetModuleHandleW(nullptr), t.get(), nullptr));
    HWND dialog = probe.Handle();
    ::ShowWindow(dialog, SW_SHOW);

    for (const Case& c : cases) {
        vw::SetItemText(dialog, kEditId, c.text);
        ::SetFocus(probe.Item(kButtonId));
        vwtest::MessageBoxAnswerer answerer(IDOK);
        bool accepted = false;
        switch (c.read) {
        case Read::Int: accepted = vw::ReadIntField(dialog, kEditId).has_value(); break;
        case Read::Unsigned: accepted = vw::ReadUnsignedField(dialog, kEditId).has_value(); break;
        case Read::IntInRange: accepted = vw::ReadIntField(dialog, kEditId, 1, 999).has_value(); break;
        }
        EXPECT_EQ(accepted, c.accepted) << c.text;
        const std::vector<std::wstring> shown = answerer.Texts();
        if (c.message) {
            EXPECT_EQ(shown, std::vector<std::wstring>{c.message}) << c.text;
            EXPECT_EQ(::GetFocus(), probe.Item(kEditId)) << c.text;
            DWORD start = 0, end = 0;
            ::SendMessageW(probe.Item(kEditId), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                           reinterpret_cast<LPARAM>(&end));
            EXPECT_EQ(start, 0u) << c.text;
            EXPECT_EQ(end, std::wstring(c.text).size()) << c.text;
        } else {
            EXPECT_TRUE(shown.empty()) << c.text;
            EXPECT_EQ(::GetFocus(), probe.Item(kButtonId)) << c.text;
        }
    }
}

TEST(DataExchange, CheckBoxesAndTextsRoundTrip)
{
    DialogTemplate t(L"探针", 200, 80);
    t.Add(DialogTemplate::kButton, 200, L"选项", 10, 10, 80, 12, BS_AUTOCHECKBOX | WS_TABSTOP);
    t.Add(DialogTemplate::kEdit, kEditId, L"", 10, 30, 100, 14, WS_BORDER);
    Probe probe;
    ASSERT_TRUE(probe.CreateIndirect(::GetModuleHandleW(nullptr), t.get(), nullptr));
    HWND dialog = probe.Handle();

    EXPECT_FALSE(vw::IsItemChecked(dialog, 200));
    vw::SetItemChecked(dialog, 200, true);
    EXPECT_TRUE(vw::IsItemChecked(dialog, 200));
    vw::SetItemText(dialog, kEditId, L"D:\\资料\\照片");
    EXPECT_EQ(vw::GetItemText(dialog, kEditId), L"D:\\资料\\照片");
    vw::SetItemInt(dialog, kEditId, -42);
    EXPECT_EQ(vw::ParseIntField(vw::GetItemText(dialog, kEditId)), -42);
}

}  // namespace
