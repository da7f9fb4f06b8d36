// A backup of a real, varied tree, then of the same tree after the kind of changes people make.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "support/EngineFixture.h"
#include "support/TreeSnapshot.h"
#include "win/Format.h"

namespace {

using namespace vwtest;

const wchar_t* const kNames[] = {L"报告", L"照片 2024", L"Ärger", L"résumé", L"notes", L"データ", L"a b c", L"x"};

class MirrorEndToEnd : public EngineFixture {
protected:
    std::mt19937 random{20261210};

    std::wstring RandomName(int i)
    {
        return Format(L"%s-%d", kNames[random() % std::size(kNames)], i);
    }
    static std::wstring Format(const wchar_t* format, const wchar_t* text, int i)
    {
        return vw::Format(format, text, i);
    }

    void Write(const std::wstring& relative, uint64_t size, int year)
    {
        std::string bytes(static_cast<size_t>(size), '\0');
        for (auto& b : bytes)
            b = static_cast<char>(random());
        ASSERT_TRUE(WriteFileBytes(Src(relative), bytes));
        ASSERT_TRUE(SetLastWriteTime(Src(relative), FileTimeFromLocal(year, 1 + random() % 12, 1 + random() % 28,
                                                                      random() % 24, random() % 60, random() % 60)));
    }

    // ~2,400 files in ~120 folders up to four levels deep: empty files, small ones, a few of MiB.
    std::vector<std::wstring> BuildTree()
    {
        std::vector<std::wstring> folders{L""};
        for (int i = 0; i < 120; ++i) {
            const std::wstring parent = folders[random() % folders.size()];
            if (std::count(parent.begin(), parent.end(), L'\\') >= 4)
                continue;
            folders.push_back(parent + RandomName(i) + L"\\");
            CreateDirectoryW(Src(folders.back()).c_str(), nullptr);
        }
        std::vector<std::wstring> files;
        for (int i = 0; i < 2400; ++i) {
            const std::wstring path = folders[random() % folders.size()] + RandomName(i) + L".dat";
            const int kind = random() % 100;
            Write(path, kind < 5 ? 0 : kind < 99 ? random() % 4096 : (2 << 20) + random() % 1000, 2020);
            files.push_back(path);
        }
        return files;
    }
};

TEST_F(MirrorEndToEnd, TwoBackupsMirrorTheSourceAndHistoryHoldsExactlyTheDisplacedVersions)
{
    std::vector<std::wstring> files = BuildTree();
    CreateDirectoryW(Src(L"空文件夹").c_str(), nullptr);
    ASSERT_TRUE(Backup());
    std::wstring difference;
    ASSERT_TRUE(SameFiles(ReadTree(Src()), ReadTree(Dst()), &difference)) << vw::WideToUtf8(difference);
    EXPECT_EQ(context.filesFailed.load(), 0);

    const Tree before = ReadTree(Dst());
    Tree expectedHistory;
    std::shuffle(files.begin(), files.end(), random);
    size_t next = 0;
    for (int i = 0; i < 60; ++i, ++next) {  // edits
        expectedHistory[files[next]] = before.at(files[next]);
        Write(files[next], 100 + random() % 100, 2025);
    }
    for (int i = 0; i < 40; ++i, ++next) {  // deletions
        expectedHistory[files[next]] = before.at(files[next]);
        ASSERT_TRUE(DeleteFileW(Src(files[next]).c_str()));
    }
    for (int i = 0; i < 20; ++i, ++next) {  // renames
        expectedHistory[files[next]] = before.at(files[next]);
        ASSERT_TRUE(MoveFileW(Src(files[next]).c_str(), Src(files[next] + L".renamed").c_str()));
    }
    for (int i = 0; i < 30; ++i)  // a new folder tree
        Write(vw::Format(L"新文件夹\\子 %d\\file %d.txt", i % 3, i), random() % 2000, 2026);

    context.filesCopied = 0;
    ASSERT_TRUE(Backup());

    EXPECT_TRUE(SameFiles(ReadTree(Src()), ReadTree(Dst()), &difference)) << vw::WideToUtf8(difference);
    Tree history;
    for (const auto& [path, entry] : ReadTree(Hist()))
        if (!entry.folder)
            history[path] = entry;
    EXPECT_EQ(history.size(), expectedHistory.size());
    EXPECT_TRUE(history == expectedHistory);
    EXPECT_EQ(context.filesCopied.load(), 60 + 20 + 30);
}

}  // namespace
