// The signature check on its own: the test key signs, the built-in key of this test build is the
// test key's public half, and only an exact signature of the exact bytes passes.
#include <gtest/gtest.h>

#include "support/TestDrives.h"
#include "support/TestSigning.h"
#include "updater/ManifestSignature.h"

namespace {

// The release key in resources/: a good signature by the test key is not one by it.
constexpr char kReleaseKey[] =
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEHur2+7Rcf9dtjyvBCmAExUqTAV0ioDElsvo8NG9j+y0rWo6V4mUFAv9753APHzCVAndHhnYZ4BNvwkI+IoAaNg==";

TEST(ManifestSignature, TheTestBuildTrustsTheTestKey)
{
    EXPECT_EQ(std::string(vw::TrustedUpdateKey()), vwtest::TestPublicKey());
}

TEST(ManifestSignature, OnlyTheKeysSignatureOfTheExactBytesPasses)
{
    const std::string manifest = "[UPDATER]\r\nVersion=1.20\r\n";
    const std::string signature = vwtest::SignWithTestKey(manifest);
    ASSERT_EQ(signature.size(), 88u);  // 64 bytes in base64
    std::string flipped = signature;
    flipped[10] = flipped[10] == 'A' ? 'B' : 'A';
    const std::string testKey = vwtest::TestPublicKey();
    struct Case {
        const char* what;
        std::string message;
        std::string signature;
        std::string key;
        bool valid;
    };
    const Case cases[] = {
        {"the signature", manifest, signature, testKey, true},
        {"with a line end and blanks around", manifest, " " + signature + "\r\n", testKey, true},
        {"one byte more", manifest + "\n", signature, testKey, false},
        {"another version", "[UPDATER]\r\nVersion=9.20\r\n", signature, testKey, false},
        {"a changed signature", manifest, flipped, testKey, false},
        {"by another key's holder", manifest, signature, kReleaseKey, false},
        {"no signature", manifest, "", testKey, false},
        {"cut short", manifest, signature.substr(0, 84), testKey, false},
        {"not base64", manifest, std::string(87, '#') + "=", testKey, false},
        {"r and s of zero", manifest, std::string(86, 'A') + "==", testKey, false},
        {"no key", manifest, signature, "", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(vw::VerifySignature(c.message, c.signature, c.key), c.valid) << c.what;
}

TEST(ManifestSignature, AManifestFileIsCheckedAgainstTheSigFileBesideIt)
{
    vwtest::ScratchFolder folder;
    const std::wstring manifest = folder / L"Updater.ini";
    ASSERT_TRUE(vwtest::WriteFileBytes(manifest, "[UPDATER]\r\nVersion=1.20\r\n"));
    EXPECT_FALSE(vw::IsSignedManifest(manifest));  // no signature at all
    ASSERT_TRUE(vwtest::SignFileWithTestKey(manifest));
    EXPECT_TRUE(vw::IsSignedManifest(manifest));
    ASSERT_TRUE(vwtest::WriteFileBytes(manifest, "[UPDATER]\r\nVersion=9.20\r\n"));
    EXPECT_FALSE(vw::IsSignedManifest(manifest));
    EXPECT_FALSE(vw::IsSignedManifest(folder / L"missing.ini"));
}

}  // namespace
