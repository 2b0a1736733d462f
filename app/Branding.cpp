#include "app/Branding.h"

#include <vector>

#include "platform/ExecutableFolder.h"
#include "rtl/StringUtils.h"

namespace app {

namespace {

const char* const kSection = "Settings";

size_t pickIndex(std::mt19937& random, size_t count) {
    return std::uniform_int_distribution<size_t>(0, count - 1)(random);
}

}  // namespace

BrandingChoice chooseBranding(const rtl::TIniReader& config, std::mt19937& random) {
    BrandingChoice choice;
    auto read = [&](const std::string& key) { return config.readString(kSection, key); };
    choice.appName = read("AppName");
    choice.affiliateId = read("AfiliateID");

    std::vector<std::string> bannerPaths, bannerUrls;
    for (int n = 1; n <= 3; ++n) {
        const std::string path = read("BannerPath" + std::to_string(n));
        if (path.empty()) continue;
        bannerPaths.push_back(path);
        bannerUrls.push_back(read("BannerURL" + std::to_string(n)));
    }
    if (!bannerPaths.empty()) {
        const size_t i = pickIndex(random, bannerPaths.size());
        choice.bannerPath = bannerPaths[i];
        choice.bannerUrl = bannerUrls[i];
        choice.bannerNumber = static_cast<int>(i) + 1;
    }

    std::vector<std::string> linkUrls, linkNames;
    for (int n = 1; n <= 4; ++n) {
        const std::string url = read("Link" + std::to_string(n) + "URL");
        if (url.empty()) continue;
        linkUrls.push_back(url);
        linkNames.push_back(read("Link" + std::to_string(n) + "Name"));
    }
    if (!linkUrls.empty()) {
        const size_t j = pickIndex(random, linkUrls.size());
        choice.linkUrl1 = linkUrls[j];
        choice.linkName1 = linkNames[j];
        linkUrls.erase(linkUrls.begin() + static_cast<std::ptrdiff_t>(j));
        linkNames.erase(linkNames.begin() + static_cast<std::ptrdiff_t>(j));
        if (!linkUrls.empty()) {
            const size_t k = pickIndex(random, linkUrls.size());
            choice.linkUrl2 = linkUrls[k];
            choice.linkName2 = linkNames[k];
        }
    }
    choice.iconPath = read("IconPath");
    return choice;
}

bool bannerIsGif(const std::string& bannerPath) {
    return rtl::asciiLower(platform::fileNamePart(bannerPath)).find(".gif") != std::string::npos;
}

std::string bannerExtension(const std::string& bannerPath) {
    const std::string name = platform::fileNamePart(bannerPath);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

}  // namespace app
