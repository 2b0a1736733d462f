// The option sets' flag values, alone and as the view keeps them.
#include <gtest/gtest.h>

#include <bit>

#include "QtTestApp.h"
#include "browser/BrowserHost.h"

using namespace browser;
using DL = TDownloadControlOption;
using UI = TUserInterfaceOption;

TEST(BrowserOptionsTest, DownloadControlBitsFollowThePlatformFlags) {
    const std::pair<DL, uint32_t> table[] = {
        {DL::DownloadImages, 0x10},           {DL::DownloadVideos, 0x20},          {DL::DownloadBGSounds, 0x40},
        {DL::DontExecuteScripts, 0x80},       {DL::DontExecuteJava, 0x100},        {DL::DontExecuteActiveX, 0x200},
        {DL::DontDownloadActiveX, 0x400},     {DL::DownloadButDontDisplay, 0x800}, {DL::DontDownloadFrame, 0x1000},
        {DL::CheckPageResynchronize, 0x2000}, {DL::DownloadAndIgnoreCache, 0x4000}, {DL::DontDownloadBehaviors, 0x8000},
        {DL::SuppressedMetaCharset, 0x10000}, {DL::DisableUrlIfEncodingUTF8, 0x20000},
        {DL::EnableUrlIfEncodingUTF8, 0x40000}, {DL::ForceOfflineMode, 0x10000000},
        {DL::DontPerformClientPull, 0x20000000}, {DL::DonloadInSilentMode, 0x40000000}, {DL::WorkOffline, 0x80000000},
    };
    ASSERT_EQ(std::size(table), kDownloadControlOptionCount);
    TDownloadControlOptions all;
    for (const auto& [member, bit] : table) {
        EXPECT_EQ(downloadControlBit(member), bit) << static_cast<int>(member);
        EXPECT_EQ(downloadControlValue({member}), bit);
        all.include(member);
    }
    EXPECT_EQ(downloadControlValue(all), 0xF007FFF0u);
    EXPECT_EQ(downloadControlValue({}), 0u);
    EXPECT_EQ(downloadControlValue(kDefaultDownloadOptions), 0x70u);
    all.exclude(DL::WorkOffline);
    EXPECT_EQ(downloadControlValue(all), 0x7007FFF0u);
}

TEST(BrowserOptionsTest, UserInterfaceBitsSkip0x8000) {
    uint32_t seen = 0;
    for (size_t i = 0; i < kUserInterfaceOptionCount; ++i) {
        const uint32_t bit = userInterfaceBit(static_cast<UI>(i));
        EXPECT_TRUE(std::has_single_bit(bit)) << i;
        EXPECT_EQ(seen & bit, 0u) << "bit used twice at member " << i;
        seen |= bit;
    }
    EXPECT_EQ(seen, 0x3FFF7FFFu);  // 0x1 .. 0x4000, then 0x10000 .. 0x20000000
    EXPECT_EQ(userInterfaceBit(UI::DisableTextSelect), 0x1u);
    EXPECT_EQ(userInterfaceBit(UI::EnablesFormsAutoComplete), 0x4000u);
    EXPECT_EQ(userInterfaceBit(UI::ForceSameWindowNavigation), 0x10000u);
    EXPECT_EQ(userInterfaceBit(UI::DisableLocalFileAccess), 0x800000u);
    EXPECT_EQ(userInterfaceBit(UI::EnableDomWindlessControls), 0x8000000u);
    EXPECT_EQ(userInterfaceBit(UI::ForceUserActivationOnActiveXJava), 0x20000000u);
    EXPECT_EQ(userInterfaceValue({UI::DisableTextSelect, UI::DisableHelpMenu, UI::ForceSameWindowNavigation}), 0x10003u);
    EXPECT_EQ(userInterfaceValue(kDefaultUserInterfaceOptions), 0u);
}

TEST(BrowserOptionsTest, TheViewRecomputesOnEverySet) {
    testsupport::ensureQtApp();
    TBrowserHost view;
    EXPECT_EQ(view.DownloadOptions(), kDefaultDownloadOptions);
    EXPECT_EQ(view.downloadControlValue(), 0x70u);
    EXPECT_EQ(view.userInterfaceValue(), 0u);
    view.setDownloadOptions({DL::DontExecuteScripts, DL::WorkOffline});
    EXPECT_EQ(view.downloadControlValue(), 0x80000080u);
    view.setDownloadOptions({});
    EXPECT_EQ(view.downloadControlValue(), 0u);
    EXPECT_TRUE(view.DownloadOptions().empty());
    view.setUserInterfaceOptions({UI::DontUseScrollBars, UI::DisableUntrustedProtocol});
    EXPECT_EQ(view.userInterfaceValue(), 0x1000008u);
    view.setUserInterfaceOptions({});
    EXPECT_EQ(view.userInterfaceValue(), 0u);
    EXPECT_EQ(view.UserAgent(), TBrowserHost::creditText());
    EXPECT_EQ(view.About(), TBrowserHost::creditText());
    EXPECT_FALSE(view.About().isEmpty());
}
