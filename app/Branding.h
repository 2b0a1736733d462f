#pragma once
// Choosing a brand's caption, banner and footer links from dbconfig.dat.
// Pure logic: applying the choice to the window is TfrmMain's job.

#include <random>
#include <string>

#include "rtl/IniReader.h"

namespace app {

struct BrandingChoice {
    std::string appName;
    std::string affiliateId;
    std::string bannerUrl;
    std::string bannerPath;
    int bannerNumber = 0;  // k of dbimg<k>.dat: 1-based among present candidates; 0 = none
    std::string linkUrl1, linkName1;
    std::string linkUrl2, linkName2;
    std::string iconPath;
};

// Reads section Settings: AppName, AfiliateID, BannerPath1..3 with BannerURL<n>,
// Link1URL..Link4URL with Link<n>Name, IconPath. One banner is picked at random
// among the present candidates, and two different links among the present ones.
BrandingChoice chooseBranding(const rtl::TIniReader& config, std::mt19937& random);

// True when the banner is to be read as a GIF: the lowercased file-name part
// of bannerPath contains ".gif" anywhere.
bool bannerIsGif(const std::string& bannerPath);
// The still-picture extension that bannerPath names (text after the last '.'
// of its file-name part; empty when there is none).
std::string bannerExtension(const std::string& bannerPath);

}  // namespace app
