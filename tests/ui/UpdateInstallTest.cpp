// The end of an update's download as the user meets it in the real main window: the install
// question, what each answer leads to, a download the server cannot complete, and the hand-over to
// Updater.exe with and without that program beside ours. The check and the download run for real
// against a local server.
#include <windows.h>

#include <string>
#include <vector>

#include "UpdateWindowFixture.h"
#include "updater/CUpdater.h"

namespace {

using namespace std::chrono_literals;
using vwtest::ExpectBoxes;
using vwtest::ExpectedBox;
using vwtest::kHandOverFailedBox;
using vwtest::kIncompleteBox;
using vwtest::kQuestionBox;
using vwtest::MainWindowDriver;

// The program folder of this test: where the window looks for Updater.exe.
std::wstring BesideThisProgram(const wchar_t* name)
{
    std::wstring path;
    vw::ProgramFolderFile(path, name);
    return path;
}

// Updater.exe beside this program for one test, played by a probe that leaves "started.txt"
// beside wherever it was started from.
class UpdaterBesideUs {
public:
    UpdaterBesideUs() : path_(BesideThisProgram(vw::kUpdaterProgramName))
    {
        ok_ = ::CopyFileW(BesideThisProgram(L"restartprobe.exe").c_str(), path_.c_str(), FALSE) != FALSE;
    }
    ~UpdaterBesideUs() { ::DeleteFileW(path_.c_str()); }
    UpdaterBesideUs(const UpdaterBesideUs&) = delete;
    UpdaterBesideUs& operator=(const UpdaterBesideUs&) = delete;

    bool ok() const { return ok_; }
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
    bool ok_ = false;
};

class UpdateInstall : public vwtest::UpdateWindowFixture {
protected:
    void SetUp() override
    {
        // Every case here is about Updater.exe being absent unless the case puts it there.
        ASSERT_FALSE(vwtest::FileExists(BesideThisProgram(vw::kUpdaterProgramName)));
    }

    // Until the window has shown `count` boxes, all answered, or the limit.
    static bool AnsweredAll(const MainWindowDriver& window, const vwtest::MessageBoxAnswerer& answerer,
                            size_t count, std::chrono::milliseconds limit = 60s)
    {
        return window.WaitUntil([&] { return answerer.Boxes().size() >= count; }, limit) &&
               window.WaitUntil([&] { return !::FindWindowW(L"#32770", vw::kUpdateCaption); }, 10s);
    }
};

TEST_F(UpdateInstall, TheDownloadsEndIsCarriedOutAsTheUserAnswers)
{
    struct Case {
        const char* name;
        bool byHand;         // the user's check; else the one the window makes at its start
        bool fileOnServer;   // else the server answers 404 for it
        int answer;          // to the install question
        std::vector<ExpectedBox> boxes;
        bool noticeShown;    // the notice page comes 2 s after the last step
    };
    const Case cases[] = {
        {"at start, answered No", false, true, IDNO, {kQuestionBox}, true},
        {"by hand, answered No", true, true, IDNO, {kQuestionBox}, false},
        {"at start, file missing on the server", false, false, IDNO, {}, true},
        {"by hand, file missing on the server", true, false, IDNO, {kIncompleteBox}, false},
        {"at start, Yes without Updater.exe", false, true, IDYES, {kQuestionBox, kHandOverFailedBox}, false},
        {"by hand, Yes without Updater.exe", true, true, IDYES, {kQuestionBox, kHandOverFailedBox}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ForgetEarlierUpdates();
        Offer("1.20", c.fileOnServer, "0", 0);
        if (c.byHand)
            CheckedToday();
        const int fileRequestsBefore = server.Requests(kFilePath);
        AddTask(vw::Format(L"任务%d", static_cast<int>(&c - cases)));

        vwtest::MessageBoxAnswerer answerer(c.answer);
        auto window = Open();
        const vwtest::Rows rows = window->ListRows();
        if (c.byHand)
            CheckByHand(*window);

        // The download has ended once the server saw the file asked for and the window went idle
        // again: the boxes due are up by then, or never come.
        ASSERT_TRUE(window->WaitUntil([&] { return server.Requests(kFilePath) > fileRequestsBefore; }, 60s));
        EXPECT_TRUE(AnsweredAll(*window, answerer, c.boxes.size()));
        std::this_thread::sleep_for(c.noticeShown ? 0ms : 3500ms);
        EXPECT_EQ(window->WaitUntil([&] { return NoticeVisible(*window); }, c.noticeShown ? 15s : 0s),
                  c.noticeShown);
        ExpectBoxes(answerer.Boxes(), c.boxes);

        EXPECT_TRUE(Answers(*window));
        EXPECT_EQ(window->ListRows(), rows);
        // Downloaded files stay where they are whatever the answer; nothing was handed over.
        EXPECT_EQ(vwtest::FileExists(Downloaded()), c.fileOnServer);
        EXPECT_FALSE(vwtest::FileExists(work + L"started.txt"));
        window->Exit();
    }
}

TEST_F(UpdateInstall, AfterNoTheNextCheckAsksAtOnceWithTheFilesAlreadyDownloaded)
{
    Offer("1.20", true);
    vwtest::MessageBoxAnswerer answerer(IDNO);
    auto window = Open();
    ASSERT_TRUE(AnsweredAll(*window, answerer, 1));
    ASSERT_EQ(server.Requests(kFilePath), 1);

    window->Post(ID_UPDATE);
    ASSERT_TRUE(AnsweredAll(*window, answerer, 2));
    ExpectBoxes(answerer.Boxes(), {kQuestionBox, kQuestionBox});
    EXPECT_EQ(server.Requests(kManifestPath), 2);
    EXPECT_EQ(server.Requests(kFilePath), 1);
    EXPECT_TRUE(Answers(*window));
}

TEST_F(UpdateInstall, ACheckFromTheTrayUnderTheOpenQuestionIsRefused)
{
    Offer("1.20", true);
    // The user thinks over the question while asking for another check (the tray still answers).
    vwtest::MessageBoxAnswerer answerer(IDNO, 6s);
    auto window = Open();
    ASSERT_TRUE(window->WaitUntil([&] { return !answerer.Boxes().empty(); }, 60s));
    window->Post(ID_UPDATE);
    ASSERT_TRUE(AnsweredAll(*window, answerer, 1));
    std::this_thread::sleep_for(3s);
    ExpectBoxes(answerer.Boxes(), {kQuestionBox});
    EXPECT_EQ(answerer.MostOpenAtOnce(), 1);
    EXPECT_EQ(server.Requests(kManifestPath), 1) << "the open question answers the command already";
    EXPECT_TRUE(Answers(*window));
}

TEST_F(UpdateInstall, YesStopsTheRunningBackupBeforeTheHandOverFails)
{
    // About 150 ms a chunk: the big file's copy outlasts the whole update.
    settings.Speed = 50;
    AddTask(L"大", 0, 100u << 20);
    CheckedToday();
    Offer("1.20", true);
    vwtest::MessageBoxAnswerer answerer(IDYES);
    auto window = Open();
    window->Command(ID_START);
    ASSERT_TRUE(window->WaitUntil([&] { return window->Text(IDC_STATUS_GROUP) == L"系统状态：正在备份"; }, 30s));

    CheckByHand(*window);
    ASSERT_TRUE(AnsweredAll(*window, answerer, 2));
    ExpectBoxes(answerer.Boxes(), {kQuestionBox, kHandOverFailedBox});
    EXPECT_TRUE(window->WaitUntil([&] { return window->Text(IDC_STATUS_GROUP) == L"系统状态：空闲中"; }, 10s));
    EXPECT_TRUE(window->WaitUntil(
        [&] { return window->Text(IDC_STATUS_PANEL).find(L"备份任务被强行终止！") != std::wstring::npos; }, 10s));
    EXPECT_FALSE(vwtest::FileExists(folder.path() + L"大备份\\big.bin"));
    EXPECT_TRUE(Answers(*window));
}

TEST_F(UpdateInstall, YesStartsACopyOfUpdaterInTheWorkingFolderAndTheProgramEnds)
{
    UpdaterBesideUs updater;
    ASSERT_TRUE(updater.ok());
    Offer("1.20", true);
    vwtest::MessageBoxAnswerer answerer(IDYES);
    auto window = Open();

    ASSERT_TRUE(window->WaitUntil([&] { return !window->Running(); }, 60s));
    ExpectBoxes(answerer.Boxes(), {kQuestionBox});
    EXPECT_EQ(window->Result(), IDCANCEL);
    const std::wstring copy = work + vw::kUpdaterProgramName;
    EXPECT_EQ(vwtest::ReadFileBytes(copy), vwtest::ReadFileBytes(updater.path()));
    // The copy ran from the working folder, not the one beside us.
    EXPECT_TRUE(window->WaitUntil([&] { return vwtest::FileExists(work + L"started.txt"); }, 30s));
    EXPECT_FALSE(vwtest::FileExists(BesideThisProgram(L"started.txt")));
    EXPECT_TRUE(vwtest::FileExists(Downloaded()));
}

}  // namespace
