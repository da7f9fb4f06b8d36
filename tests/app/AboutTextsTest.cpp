#include <gtest/gtest.h>

#include "app/AboutTexts.h"

namespace {

TEST(AboutTexts, VersionLineAndFeedbackAddress)
{
    EXPECT_EQ(vw::AboutVersionLine(), L"Vaultwren，1.10版");
    EXPECT_EQ(vw::FeedbackAddress(L""), L"");
    EXPECT_EQ(vw::FeedbackAddress(L"http://a.example/r.html"), L"http://a.example/r.html?product_no=VW-DESKTOP-110");
}

}  // namespace
