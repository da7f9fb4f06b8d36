// A file that its user saves while the backup copies it: the save goes through, and the backup
// never keeps a copy that is stamped as the new version but holds parts of two.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "engine/SystemErrorText.h"
#include "support/EngineFixture.h"
#include "win/Format.h"
#include "win/Text.h"
#include "win/UniqueHandle.h"

namespace {

using namespace vwtest;

constexpr uint64_t kChunk = 1u << 20;

class ChangingSource : public EngineFixture {
protected:
    ChangingSource()
    {
        task.History = 1;
        settings.Speed = 100;  // 300 ms per chunk: time for the user's program to save mid-copy
    }

    // Saves the file in place the way an editor does, from its own handle while the copy has
    // it open; false when the save was refused.
    static bool SaveInPlace(const std::wstring& path, char fill)
    {
        const vw::UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return false;
        const std::string bytes(4096, fill);
        DWORD written = 0;
        return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
               written == bytes.size();
    }

    // Backs up once while a "user" saves the big file during the first `saves` copies of it.
    struct Outcome {
        bool passed = false;
        int savesDone = 0;
        int savesRefused = 0;
    };
    Outcome BackupWhileSaving(const std::wstring& file, int saves)
    {
        Outcome outcome;
        std::atomic<bool> done{false};
        std::thread user([&] {
            // Every copy starts from 0 bytes and stays there for a chunk's delay: one save per copy.
            bool savedThisCopy = false;
            while (!done.load() && outcome.savesDone + outcome.savesRefused < saves) {
                const bool midCopy = context.copying.load() && context.bytesTransferred.load() >= kChunk;
                if (!midCopy) {
                    savedThisCopy = false;
                } else if (!savedThisCopy) {
                    savedThisCopy = true;
                    if (SaveInPlace(file, static_cast<char>('A' + outcome.savesDone)))
                        ++outcome.savesDone;
                    else
                        ++outcome.savesRefused;
                }
                Sleep(5);
            }
        });
        context.filesCopied = 0;
        context.filesFailed = 0;
        outcome.passed = Backup();
        done = true;
        user.join();
        return outcome;
    }
};

TEST_F(ChangingSource, AFileSavedMidCopyIsCopiedAgainOrCountedAsChanging)
{
    const struct {
        const char* what;
        int saves;  // copies during which the user saves
        int copied;
        int failed;
    } cases[] = {
        {"saved during the first copy: the retry copies the saved version", 1, 1, 0},
        {"saved during the copy and its retry: failed, the backup keeps the old version", 2, 0, 1},
    };
    int round = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring name = vw::Format(L"big-%d.bin", round++);
        ASSERT_TRUE(WriteFileOfSize(Src(name), 4 * kChunk));
        ASSERT_TRUE(SetLastWriteTime(Src(name), FileTimeFromLocal(2022, 1, 2, 3, 4, 6)));
        ASSERT_TRUE(Backup());
        const std::string before = ReadFileBytes(Dst(name));
        ASSERT_TRUE(SetLastWriteTime(Src(name), FileTimeFromLocal(2023, 1, 2, 3, 4, 6)));

        const Outcome outcome = BackupWhileSaving(Src(name), c.saves);
        EXPECT_EQ(outcome.savesRefused, 0) << "the backup never stops the user's program from saving";
        EXPECT_EQ(outcome.savesDone, c.saves);
        EXPECT_EQ(context.filesCopied.load(), c.copied) << vw::WideToUtf8(context.StatusHistory());
        EXPECT_EQ(context.filesFailed.load(), c.failed);
        if (c.failed == 0) {
            EXPECT_EQ(ReadFileBytes(Dst(name)), ReadFileBytes(Src(name))) << "the copy holds the saved bytes";
            EXPECT_TRUE(SameFileTime(GetLastWriteTime(Dst(name)), GetLastWriteTime(Src(name))));
        } else {
            EXPECT_EQ(ReadFileBytes(Dst(name)), before) << "the previous backup stays, whole";
            EXPECT_FALSE(SameFileTime(GetLastWriteTime(Dst(name)), GetLastWriteTime(Src(name))))
                << "and is not stamped as the new version, so the next run copies it";
            EXPECT_NE(context.StatusHistory().find(L"无法备份的文件“" + Src(name) + L"”：" +
                                                   vw::SystemErrorText(vw::ERR_SOURCE_CHANGING)),
                      std::wstring::npos)
                << vw::WideToUtf8(context.StatusHistory());
            settings.Speed = 0;
            context.filesFailed = 0;
            ASSERT_TRUE(Backup());
            EXPECT_EQ(context.filesFailed.load(), 0);
            EXPECT_EQ(ReadFileBytes(Dst(name)), ReadFileBytes(Src(name))) << "once it holds still, it is copied";
            settings.Speed = 100;
        }
    }
}

}  // namespace
