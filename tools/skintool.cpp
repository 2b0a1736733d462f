// skintool pack DIR OUT: writes a compressed skin file from DIR/skin.ini and the
// BMP files its PICTURES section names. skintool dump FILE: prints what the
// skin reader sees in a compressed skin file.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "rtl/Exception.h"
#include "skin/skFormat.h"
#include "skin/skPackage.h"
#include "skin/skSkinData.h"

namespace {

int usage() {
    std::fprintf(stderr, "usage: skintool pack DIR OUT\n       skintool dump FILE\n       skintool --version\n");
    return 2;
}

void printPicture(const char* what, const sk::TskBitmap& b, const std::string& name) {
    if (b.empty())
        std::printf("%s: none\n", what);
    else
        std::printf("%s: %d x %d (%s)\n", what, b.width, b.height, name.c_str());
}

int pack(const std::string& dir, const std::string& out) {
    const std::vector<uint8_t> file = sk::packSkinDescription(dir + "/skin.ini");
    std::ofstream stream(out, std::ios::binary | std::ios::trunc);
    stream.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    stream.close();
    if (!stream) throw rtl::EWriteError("Cannot write " + out);
    std::printf("%s: %zu bytes\n", out.c_str(), file.size());
    return 0;
}

int dump(const std::string& path) {
    sk::TskCompressedStoredSkin stored;
    stored.ReadCompressedSkinFile(path);
    if (stored.Empty()) {
        std::printf("container: version above %d, no skin\n", sk::kMaxContainerVersion);
        return 0;
    }
    const auto& compressed = stored.CompressedData();
    const std::vector<uint8_t> package = sk::inflatePackage(compressed.data(), compressed.size());
    std::printf("container: %zu compressed bytes, %zu inflated\n", compressed.size(), package.size());
    std::printf("package version: %d\n", package.size() >= 4 ? sk::readI32(package.data()) : -1);
    sk::TskSkinData skin;
    skin.ApplyStoredSkin(stored);
    if (skin.Empty()) {
        std::printf("no skin\n");
        return 0;
    }
    std::printf("skin: %s by %s\n", skin.SkinName.c_str(), skin.SkinAuthor.c_str());
    printPicture("picture", skin.Picture, skin.PictureName);
    printPicture("inactive picture", skin.InActivePicture, skin.InActivePictureName);
    printPicture("mask", skin.Mask, skin.MaskName);
    for (size_t i = 0; i < skin.ActivePictures.size(); ++i) {
        const std::string what = "active picture " + std::to_string(i);
        printPicture(what.c_str(), skin.ActivePictures[i],
                     i < skin.ActivePictureNames.size() ? skin.ActivePictureNames[i] : std::string());
    }
    std::printf("objects: %zu\n", skin.ObjectList().size());
    for (const auto& e : skin.ObjectList()) std::printf("  object %s: %s\n", e->typeName(), e->IDName.c_str());
    std::printf("controls: %zu\n", skin.ControlList().size());
    for (const auto& e : skin.ControlList())
        std::printf("  control %s: %s rect %d,%d,%d,%d\n", e->typeName(), e->IDName.c_str(), e->SkinRect.left,
                    e->SkinRect.top, e->SkinRect.right, e->SkinRect.bottom);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
            std::printf("skintool (Tessaly) %s\n", TESSALY_VERSION);
            return 0;
        }
        if (argc == 4 && std::strcmp(argv[1], "pack") == 0) return pack(argv[2], argv[3]);
        if (argc == 3 && std::strcmp(argv[1], "dump") == 0) return dump(argv[2]);
        return usage();
    } catch (const rtl::Exception& e) {
        std::fprintf(stderr, "skintool: %s: %s\n", e.className(), e.message().c_str());
        return 1;
    }
}
