#pragma once
// Answers the program's message boxes from a thread of its own, as a user would: waits for a box
// captioned with the program's name (in this or another process), notes its text and presses a
// button. Lets a test drive code that asks before it acts. A box with OK but without the asked
// button (a plain notice after a question) is answered with OK, all a user could press there.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vwtest {

// What a user saw of one box.
struct AnsweredBox {
    std::wstring text;
    HICON icon = nullptr;  // as the system's LoadIcon(nullptr, IDI_...) gives it; null when none
    bool yesNo = false;    // offered Yes and No
};

class MessageBoxAnswerer {
public:
    // `button`: the command id the answer presses (IDOK, IDYES, IDNO, ...); `think`: how long the
    // user looks at a box before answering it.
    explicit MessageBoxAnswerer(int button, std::chrono::milliseconds think = std::chrono::milliseconds(0));
    ~MessageBoxAnswerer();
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

    // The texts of the boxes answered so far, in order.
    std::vector<std::wstring> Texts() const;
    std::vector<AnsweredBox> Boxes() const;
    // The most of the program's boxes seen open at the same time (looked at while thinking).
    int MostOpenAtOnce() const { return mostOpen_.load(); }

private:
    void Run();
    int button_;
    std::chrono::milliseconds think_;
    std::atomic<int> mostOpen_{0};
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<AnsweredBox> boxes_;
    std::thread thread_;
};

}  // namespace vwtest
