#include "app/Branding.h"

#include <gtest/gtest.h>

#include <set>

using namespace app;

namespace {
BrandingChoice choose(const std::string& ini, unsigned seed = 1) {
    std::mt19937 random(seed);
    return chooseBranding(rtl::TIniReader::fromText("[Settings]\n" + ini), random);
}
}  // namespace

TEST(Branding, BannerNumberCountsPresentCandidates) {
    const auto c = choose("BannerPath1=\nBannerPath2=promo.gif\nBannerURL2=http://ads.example/\n");
    EXPECT_EQ(c.bannerPath, "promo.gif");
    EXPECT_EQ(c.bannerUrl, "http://ads.example/");
    EXPECT_EQ(c.bannerNumber, 1);
    EXPECT_TRUE(bannerIsGif(c.bannerPath));

    // With three candidates each is picked sometimes, and URL stays paired with path.
    std::set<int> seen;
    for (unsigned seed = 0; seed < 200; ++seed) {
        const auto r = choose("BannerPath1=a.jpg\nBannerURL1=u1\nBannerPath3=c.bmp\nBannerURL3=u3\n", seed);
        seen.insert(r.bannerNumber);
        EXPECT_EQ(r.bannerUrl, r.bannerPath == "a.jpg" ? "u1" : "u3");
        EXPECT_EQ(r.bannerNumber, r.bannerPath == "a.jpg" ? 1 : 2);
    }
    EXPECT_EQ(seen, (std::set<int>{1, 2}));
    EXPECT_EQ(choose("AppName=x\n").bannerNumber, 0);
}

TEST(Branding, BannerFormatComesFromTheFileName) {
    EXPECT_TRUE(bannerIsGif("D:\\ads\\Promo.GIF"));
    EXPECT_TRUE(bannerIsGif("x.gif.jpg"));
    EXPECT_FALSE(bannerIsGif("C:\\gif.dir\\banner.jpg"));  // only the file-name part counts
    EXPECT_EQ(bannerExtension("C:\\ads\\Banner.JPEG"), "JPEG");
    EXPECT_EQ(bannerExtension("/ads/a.b/banner"), "");
}

TEST(Branding, LinksAreTwoDifferentPresentEntries) {
    const auto only3 = choose("Link3URL=http://three.example/\nLink3Name=Three\n");
    EXPECT_EQ(only3.linkUrl1, "http://three.example/");
    EXPECT_EQ(only3.linkName1, "Three");
    EXPECT_EQ(only3.linkUrl2, "");
    EXPECT_EQ(only3.linkName2, "");

    const auto nameless = choose("Link2URL=http://two.example/\n");
    EXPECT_EQ(nameless.linkUrl1, "http://two.example/");
    EXPECT_EQ(nameless.linkName1, "");

    // A name without its URL is never read.
    EXPECT_EQ(choose("Link1Name=Orphan\n").linkName1, "");

    for (unsigned seed = 0; seed < 100; ++seed) {
        const auto c = choose("Link1URL=u1\nLink1Name=n1\nLink2URL=u2\nLink2Name=n2\nLink4URL=u4\nLink4Name=n4\n", seed);
        EXPECT_NE(c.linkUrl1, c.linkUrl2);
        EXPECT_EQ(c.linkName1, "n" + c.linkUrl1.substr(1));
        EXPECT_EQ(c.linkName2, "n" + c.linkUrl2.substr(1));
    }
    const auto full = choose("AppName=Brand\nAfiliateID=aff42\nIconPath=C:\\x\\brand.ico\n");
    EXPECT_EQ(full.appName, "Brand");
    EXPECT_EQ(full.affiliateId, "aff42");
    EXPECT_EQ(full.iconPath, "C:\\x\\brand.ico");
}
