// Names, sizes and digests of a manifest's files: one refused entry refuses the whole version, in
// the download and again in Updater.exe's install, before anything is fetched or touched.
#include <map>

#include "UpdaterFixture.h"
#include "support/TreeSnapshot.h"
#include "updater/UpdateInstall.h"
#include "updater/UpdateManifest.h"

namespace {

using vwtest::OfferedFile;
using vwtest::Received;

constexpr Received kFailed{vw::WM_UPDATER_ERROR_MSG, 0};

std::wstring TestProgramFolder()
{
    wchar_t self[MAX_PATH];
    std::wstring path(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    return path.substr(0, path.rfind(L'\\') + 1);
}

// Every file below `root` with its bytes: "byte-identical" means equal maps.
std::map<std::wstring, std::string> Contents(const std::wstring& root)
{
    std::map<std::wstring, std::string> contents;
    for (const auto& [name, entry] : vwtest::ReadTree(root, false))
        contents[name] = entry.folder ? "<folder>" : vwtest::ReadFileBytes(root + name);
    return contents;
}

TEST(IsSafeRelativeName, OnlyNamesWindowsKeepsAsTheyAreInsideTheFolder)
{
    struct Case {
        const wchar_t* name;
        bool safe;
    };
    const Case cases[] = {
        {L"Vaultwren.exe", true},
        {L"lang\\zh-CN 语言.dll", true},
        {L"a..b.txt", true},
        {L".hidden", true},
        {L"CONFIG.txt", true},       // only the device itself is reserved
        {L"COM10.dll", true},
        {L"lang/zh-CN.dll", false},  // "/" is a separator to Windows, another name to the manifest
        {L"a/../evil.exe", false},
        {L"/etc/evil", false},
        {L"", false},
        {L"..\\evil.exe", false},
        {L"a\\..\\..\\evil.exe", false},
        {L"...\\evil.exe", false},
        {L".. \\evil.exe", false},
        {L"C:\\Windows\\evil.exe", false},
        {L"C:evil.exe", false},
        {L"\\Windows\\evil.exe", false},
        {L"\\\\server\\share\\evil.exe", false},
        {L"file.txt:stream", false},
        {L"readme.txt.", false},
        {L"readme.txt ", false},
        {L"lang \\x.dll", false},
        {L"a\\\\b", false},
        {L"lang\\", false},
        {L"a<b", false},
        {L"a>b", false},
        {L"a\"b", false},
        {L"a|b", false},
        {L"a?b", false},
        {L"a*b", false},
        {L"a\tb", false},
        {L"CON", false},
        {L"nul.txt", false},
        {L"lang\\Aux", false},
        {L"com1.dll", false},
        {L"LPT9", false},
        {L"COM\x00B9", false},
        {L"CONIN$", false},
        {L"NUL .txt", false},
        {L"~VaultwrenUpdate\\new\\Vaultwren.exe", false},
        {L"~vaultwrenupdate", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(vw::IsSafeRelativeName(c.name), c.safe) << c.name;
}

class ManifestNames : public vwtest::UpdaterFixture {
protected:
    static OfferedFile File(const std::string& name, const std::string& content = "x")
    {
        return OfferedFile{name, content, {}, ""};
    }
};

TEST_F(ManifestNames, FileSizesAreWholeNumbersOf64Bits)
{
    struct Case {
        const char* size;
        int64_t read;  // -1: refused
    };
    const Case cases[] = {
        {"5000000000", 5000000000LL}, {"0", 0}, {" 12 ", 12}, {"-1", -1}, {"12abc", -1}, {"", -1}, {"0x10", -1},
    };
    for (const Case& c : cases) {
        LeaveManifest(std::string("[UPDATER]\r\nVersion=1.20\r\nFileCount=1\r\n[UPDATER_NAME]\r\nFileName1=a.bin\r\n") +
                      "FileSize1=" + c.size + "\r\n[UPDATER_URL]\r\nFileURL1=http://127.0.0.1/a\r\nFileSHA2561=" +
                      std::string(64, 'a') + "\r\n");
        const vw::ManifestFileList listed = vw::UpdateManifest(work + L"Updater.ini").Files();
        EXPECT_EQ(listed.ok(), c.read >= 0) << c.size;
        if (c.read >= 0) {
            ASSERT_EQ(listed.files.size(), 1u);
            EXPECT_EQ(listed.files[0].size, c.read) << c.size;
        } else {
            EXPECT_EQ(listed.fault, vw::ManifestFault::BadSize) << c.size;
        }
    }
}

TEST_F(ManifestNames, ARefusedEntryRefusesTheVersionBeforeAnythingIsFetchedOrTouched)
{
    struct Case {
        std::vector<OfferedFile> files;
        vw::ManifestFault fault;
    };
    OfferedFile undigested = File("b.txt");
    undigested.sha256 = "-";
    OfferedFile shortDigest = File("b.txt");
    shortDigest.sha256 = std::string(63, 'a');
    const Case cases[] = {
        {{File("a.txt"), File("..\\escaped.txt")}, vw::ManifestFault::BadName},
        {{File("sub\\..\\..\\escaped.txt")}, vw::ManifestFault::BadName},
        {{File("C:\\escaped.txt")}, vw::ManifestFault::BadName},
        {{File("\\escaped.txt")}, vw::ManifestFault::BadName},
        {{File("lang/zh.dll")}, vw::ManifestFault::BadName},
        {{File("a?b.txt")}, vw::ManifestFault::BadName},
        {{File("readme.txt.")}, vw::ManifestFault::BadName},
        {{File("nul.txt")}, vw::ManifestFault::BadName},
        {{File("lang\\COM1")}, vw::ManifestFault::BadName},
        {{File("~VaultwrenUpdate\\journal.txt")}, vw::ManifestFault::BadName},
        // 259 characters fill the reading buffer: the name read may be the start of a longer one.
        {{File(std::string(259, 'n'))}, vw::ManifestFault::BadName},
        {{File(std::string(300, 'n'))}, vw::ManifestFault::BadName},
        {{File("Readme.txt"), File("README.TXT")}, vw::ManifestFault::SameName},
        {{File("lang"), File("LANG\\zh.dll")}, vw::ManifestFault::SameName},
        {{File("a.txt"), undigested}, vw::ManifestFault::NoDigest},
        {{shortDigest}, vw::ManifestFault::NoDigest},
    };

    vwtest::ScratchFolder program(vwtest::kDiskM, L"names");
    ASSERT_TRUE(CopyFileW((TestProgramFolder() + L"restartprobe.exe").c_str(), (program / L"Vaultwren.exe").c_str(), FALSE));
    ASSERT_TRUE(vwtest::WriteFileBytes(program / L"readme.txt", "old readme"));
    ASSERT_TRUE(vwtest::WriteFileBytes(program / L"a.txt", "old a"));
    const auto before = Contents(program.path());

    for (const Case& c : cases) {
        SCOPED_TRACE(c.files.back().name);
        LeaveManifest(Manifest("1.20", c.files));
        const vw::ManifestFileList listed = vw::UpdateManifest(work + L"Updater.ini").Files();
        EXPECT_EQ(listed.fault, c.fault);
        EXPECT_TRUE(listed.files.empty());

        const int requests = server.TotalRequests();
        EXPECT_EQ(RunDownload(), std::vector<Received>{kFailed});
        EXPECT_EQ(updater.resultCode.load(), vw::kUpdaterBadManifest);
        EXPECT_EQ(server.TotalRequests(), requests);

        const vw::InstallResult installed = vw::InstallUpdate(work + L"Updater.ini", work + L"Update\\", program.path());
        EXPECT_EQ(installed.end, vw::InstallEnd::Refused);
        EXPECT_TRUE(Contents(program.path()) == before);
    }
    EXPECT_FALSE(vwtest::FileExists(work + L"escaped.txt"));
    EXPECT_FALSE(vwtest::FileExists(work.substr(0, 3) + L"escaped.txt"));
}

}  // namespace
