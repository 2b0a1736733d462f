#include "skin/skSkinData.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "ExpectThrow.h"
#include "SkinTestFiles.h"
#include "skin/skFormat.h"
#include "skin/skPackage.h"

using namespace sk;
namespace fs = std::filesystem;

namespace {

const char* kDescription =
    "[VERSION]\n"
    "skinname=Test skin\nskinauthor=Tessaly\n"
    "[PICTURES]\n"
    "picture=main.bmp\nmask=mask.bmp\n"
    "activepicturescount=2\n0=controls.bmp\n1=extra.bmp\n"
    "[FORMINFO]\n"
    "lefttoppoint=4,20\nclientrect=4,20,134,88\nbuttonsoffset=3\ninactiveeffect=ieInvert\nleftstretch=1\n"
    "[POPUPWINDOW]\nwindowpictureindex=1\nitemsrect=2,2,10,10\n"
    "[HINTWINDOW]\nfontname=Sans\nfontheight=11\n"
    "[SKINOBJECTS]\ncount=2\n0=close:button\n1=title:caption\n"
    "[close]\npictureindex=0\nskinrect=0,0,16,16\ndownskinrect=16,0,32,16\ncommand=1\n"
    "[title]\npictureindex=0\ntextrect=1,1,50,12\nfontcolor=255\n"
    "[SKINCONTROLS]\ncount=5\n0=button:button\n1=hscrollbar:scrollbar\n2=odd:nosuchtype\n3=nocolon\n"
    "4=caps:listview\n"
    "[button]\npictureindex=0\nskinrect=0,0,60,23\nlefttoppoint=3,3\nrightbottompoint=57,20\n"
    "activeskinrect=0,23,60,46\nstretcheffect=1\n"
    "[hscrollbar]\npictureindex=0\nskinrect=0,46,60,63\nthumbrect=1,2,3,4\n"
    "[caps]\nheaderrect=0,0,10,10\nbgcolor=15790320\n";

struct SkinFolder {
    fs::path dir;
    TskBitmap main = skintest::pattern(138, 92, 3), mask = skintest::pattern(138, 92, 5),
              controls = skintest::pattern(60, 63, 7), extra = skintest::pattern(9, 4, 11);
    explicit SkinFolder(const std::string& name, const std::string& description = kDescription)
        : dir(skintest::scratchFolder(name)) {
        skintest::writeText(dir / "skin.ini", description);
        skintest::writeFile(dir / "main.bmp", encodeBmp(main));
        skintest::writeFile(dir / "mask.bmp", encodeBmp(mask));
        skintest::writeFile(dir / "controls.bmp", encodeBmp(controls));
        skintest::writeFile(dir / "extra.bmp", encodeBmp(extra));
    }
    ~SkinFolder() { fs::remove_all(dir); }
    std::vector<uint8_t> pack() const { return packSkinDescription((dir / "skin.ini").string()); }
};

TskCompressedStoredSkin storedFrom(const std::vector<uint8_t>& container) {
    TskCompressedStoredSkin stored;
    stored.setCompressedData(std::vector<uint8_t>(container.begin() + kContainerHeaderSize, container.end()));
    return stored;
}

TskCompressedStoredSkin storedPackage(const std::vector<uint8_t>& package) {
    TskCompressedStoredSkin stored;
    stored.setCompressedData(deflatePackage(package));
    return stored;
}

// Records the notifications that reach the notifier.
std::vector<int> g_heard;
void record(TskSkinData&, int message) { g_heard.push_back(message); }

struct NotifierScope {
    NotifierScope() {
        g_heard.clear();
        setSkinNotifier(record);
    }
    ~NotifierScope() { setSkinNotifier(nullptr); }
};

}  // namespace

TEST(SkinData, PackedSkinReadsBackToTheSamePicturesAndEntries) {
    SkinFolder folder("roundtrip");
    const std::vector<uint8_t> container = folder.pack();
    ASSERT_EQ(readI32(container.data()), 3);
    ASSERT_EQ(size_t(readI32(container.data() + 4)), container.size() - 8);
    TskSkinData data;
    EXPECT_TRUE(data.Empty());
    NotifierScope notes;
    const TskCompressedStoredSkin stored = storedFrom(container);
    data.setCompressedStoredSkin(&stored);
    EXPECT_EQ(g_heard, (std::vector<int>{kSkinChangeBegins, kSkinChanged, kSkinChangeComplete}));
    ASSERT_FALSE(data.Empty());
    EXPECT_EQ(data.Picture, folder.main);
    EXPECT_TRUE(data.InActivePicture.empty());
    EXPECT_EQ(data.Mask, folder.mask);
    ASSERT_EQ(data.ActivePictures.size(), 2u);
    EXPECT_EQ(data.ActivePictures[0], folder.controls);
    EXPECT_EQ(data.ActivePictures[1], folder.extra);
    EXPECT_EQ(data.ActivePictureNames, (std::vector<std::string>{"controls.bmp", "extra.bmp"}));
    EXPECT_EQ(data.SkinName, "Test skin");
    EXPECT_EQ(data.PictureName, "main.bmp");
    EXPECT_EQ(data.FormInfo.LTPoint, (TskPoint{4, 20}));
    EXPECT_EQ(data.FormInfo.ClientRect, (TskRect{4, 20, 134, 88}));
    EXPECT_EQ(data.FormInfo.ButtonsOffset, 3);
    EXPECT_TRUE(data.FormInfo.LeftStretch);
    EXPECT_EQ(data.FormInfo.BGPictureIndex, -1);
    EXPECT_EQ(data.FormInfo.InActiveEffect, TskInactiveEffect::ieInvert);
    EXPECT_EQ(data.PopupWindow.WindowPictureIndex, 1);
    EXPECT_EQ(data.PopupWindow.ItemsRect, (TskRect{2, 2, 10, 10}));
    EXPECT_EQ(data.HintWindow.MaskPictureIndex, -1);
    EXPECT_EQ(data.HintWindow.FontName, "Sans");

    // Objects and controls in description order; unknown types and colon-less values make nothing.
    ASSERT_EQ(data.ObjectList().size(), 2u);
    const auto* close = dynamic_cast<const TskDataSkinButton*>(data.ObjectEntry(data.FindObjectEntry("close")));
    ASSERT_TRUE(close);
    EXPECT_EQ(close->DownSkinRect, (TskRect{16, 0, 32, 16}));
    EXPECT_EQ(close->Command, 1);
    EXPECT_TRUE(dynamic_cast<const TskDataSkinCaption*>(data.ObjectEntry(1)));
    ASSERT_EQ(data.ControlList().size(), 3u);
    const auto* button = data.control<TskDataSkinButtonControl>("button");
    ASSERT_TRUE(button);
    EXPECT_EQ(button->SkinRect.height(), 23);
    EXPECT_EQ(button->Frame.leftTop, (TskPoint{3, 3}));
    EXPECT_EQ(button->Frame.rightBottom, (TskPoint{57, 20}));
    EXPECT_TRUE(button->Frame.stretchEffect);
    EXPECT_EQ(button->ActiveSkinRect, (TskRect{0, 23, 60, 46}));
    EXPECT_EQ(button->MaskPictureIndex, -1);
    // A scroll-bar entry named hscrollbar that read the section of that name.
    const auto* scroll = data.control<TskDataSkinScrollBarControl>("hscrollbar");
    ASSERT_TRUE(scroll);
    EXPECT_STREQ(scroll->typeName(), "scrollbar");
    EXPECT_EQ(scroll->ThumbRect, (TskRect{1, 2, 3, 4}));
    EXPECT_EQ(data.FindControlEntry("scrollbar"), -1);
    // Names match exactly: case counts.
    EXPECT_EQ(data.FindControlEntry("caps"), 2);
    EXPECT_EQ(data.FindControlEntry("Caps"), -1);
    EXPECT_EQ(data.FindControlEntry("Button"), -1);
    EXPECT_EQ(data.FindObjectEntry("CLOSE"), -1);
    EXPECT_EQ(data.control<TskDataSkinListView>("caps")->BGColor, 15790320);
    // Not a button entry: the typed lookup says so.
    EXPECT_EQ(data.control<TskDataSkinButtonControl>("caps"), nullptr);
}

TEST(SkinData, WritingNeedsTheFiveSectionsAndSoundPictures) {
    for (const char* section : {"[VERSION]", "[PICTURES]", "[FORMINFO]", "[SKINOBJECTS]", "[SKINCONTROLS]"}) {
        std::string text = kDescription;
        text.replace(text.find(section), strlen(section), "[renamed]");
        SkinFolder folder("sections", text);
        EXPECT_THROW(folder.pack(), ESkinPackageError) << section;
    }
    SkinFolder folder("badpicture");
    skintest::writeText(folder.dir / "extra.bmp", "BM not really");
    EXPECT_THROW(folder.pack(), ESkinError);
    fs::remove(folder.dir / "extra.bmp");
    EXPECT_THROW(folder.pack(), ESkinPackageError);
}

TEST(SkinData, EntriesWriteBackWhatTheyRead) {
    const TskIniFile ini = TskIniFile::parse(kDescription);
    TskDataSkinButtonControl button("button");
    button.LoadFromFile(ini);
    TskIniFile out = TskIniFile::parse("[button]\nstale=1\n");
    button.SaveToFile(out);
    EXPECT_EQ(out.readString("button", "stale", "gone"), "gone");  // the section is erased first
    TskDataSkinButtonControl again("button");
    again.LoadFromFile(out);
    EXPECT_EQ(again.SkinRect, button.SkinRect);
    EXPECT_EQ(again.ActiveSkinRect, button.ActiveSkinRect);
    EXPECT_EQ(again.Frame.rightBottom, button.Frame.rightBottom);
    EXPECT_EQ(again.Frame.stretchEffect, true);
    EXPECT_EQ(again.PictureIndex, 0);
}

TEST(SkinData, ContainerAndFileFailuresEndAsEmptySkinOrReadError) {
    SkinFolder folder("container");
    const std::vector<uint8_t> container = folder.pack();
    const fs::path file = folder.dir / "dbskin.dat";
    TskSkinData data;
    NotifierScope notes;

    // Container version 4: no skin, nothing changes, no notification.
    std::vector<uint8_t> v4 = container;
    v4[0] = 4;
    skintest::writeFile(file, v4);
    data.ApplyCompressedSkinFile(file.string());
    EXPECT_TRUE(data.Empty());
    EXPECT_TRUE(g_heard.empty());
    TskCompressedStoredSkin stored;
    stored.ReadCompressedSkinFile(file.string());
    EXPECT_TRUE(stored.Empty());

    skintest::writeFile(file, container);
    data.ApplyCompressedSkinFile(file.string());
    ASSERT_FALSE(data.Empty());
    const size_t controls = data.ControlList().size();
    skintest::writeFile(file, v4);
    data.ApplyCompressedSkinFile(file.string());
    EXPECT_FALSE(data.Empty());  // the skin in force stays
    EXPECT_EQ(data.ControlList().size(), controls);

    auto readError = [&](const std::vector<uint8_t>& bytes) {
        skintest::writeFile(file, bytes);
        EXPECT_THROW(data.ApplyCompressedSkinFile(file.string()), rtl::EReadError);
        EXPECT_FALSE(data.Empty());
    };
    readError({});
    readError({3, 0, 0});
    readError(std::vector<uint8_t>(container.begin(), container.begin() + 6));  // header cut short
    readError(std::vector<uint8_t>(container.begin(), container.end() - 1));    // N past the end
    std::vector<uint8_t> zero = container;
    zero[4] = zero[5] = zero[6] = zero[7] = 0;
    readError(zero);
    std::vector<uint8_t> negative = container;
    negative[7] = 0x80;
    readError(negative);
    EXPECT_THROW(data.ApplyCompressedSkinFile((folder.dir / "absent.dat").string()), rtl::EFOpenError);
    // Bytes after the N are ignored.
    std::vector<uint8_t> trailing = container;
    trailing.insert(trailing.end(), {1, 2, 3});
    skintest::writeFile(file, trailing);
    EXPECT_NO_THROW(data.ApplyCompressedSkinFile(file.string()));
    EXPECT_FALSE(data.Empty());
}

TEST(SkinData, CorruptPackagesLeaveTheDataEmptyAfterTheReset) {
    SkinFolder folder("corrupt");
    const std::vector<uint8_t> container = folder.pack();
    const TskCompressedStoredSkin good = storedFrom(container);
    const std::vector<uint8_t> package = inflatePackage(good.CompressedData().data(), good.CompressedData().size());
    TskSkinData data;
    NotifierScope notes;

    auto emptiedBy = [&](const TskCompressedStoredSkin& bad, bool raises) {
        data.ApplyStoredSkin(good);
        ASSERT_FALSE(data.Empty());
        g_heard.clear();
        if (raises)
            EXPECT_THROW(data.ApplyStoredSkin(bad), ESkinError);
        else
            EXPECT_NO_THROW(data.ApplyStoredSkin(bad));
        EXPECT_TRUE(data.Empty());
        EXPECT_TRUE(data.ControlList().empty());
        EXPECT_TRUE(data.ActivePictures.empty());
        EXPECT_TRUE(data.Picture.empty());
        // Windows always hear the change end, so they repaint without the skin.
        EXPECT_EQ(g_heard, (std::vector<int>{kSkinChangeBegins, kSkinChanged, kSkinChangeComplete}));
    };
    // Corrupt zlib stream.
    TskCompressedStoredSkin broken = good;
    std::vector<uint8_t> bytes = good.CompressedData();
    bytes[bytes.size() / 2] ^= 0x55;
    bytes[bytes.size() / 2 + 1] ^= 0xAA;
    broken.setCompressedData(bytes);
    emptiedBy(broken, true);
    // Cut short.
    bytes = good.CompressedData();
    bytes.resize(bytes.size() / 2);
    broken.setCompressedData(bytes);
    emptiedBy(broken, true);
    // Package version above 3: stop, empty, no error.
    std::vector<uint8_t> p = package;
    p[0] = 4;
    emptiedBy(storedPackage(p), false);
    // A BMP whose size field lies past the end.
    p = package;
    p[4 + 1 + 2] = 0xFF;  // high bytes of the main picture's size field
    p[4 + 1 + 5] = 0x7F;
    emptiedBy(storedPackage(p), true);
    // Truncated inside the pictures.
    emptiedBy(storedPackage(std::vector<uint8_t>(package.begin(), package.begin() + 100)), true);
    emptiedBy(storedPackage(std::vector<uint8_t>(package.begin(), package.begin() + 2)), true);
    // A picture count beyond the limit.
    const size_t mainSize = bmpFileSize(&package[5], package.size() - 5);
    const size_t countAt = 4 + 1 + mainSize + 1 + 1 + bmpFileSize(&package[5 + mainSize + 2], 14);
    ASSERT_EQ(readI32(&package[countAt]), 2);
    p = package;
    p[countAt + 3] = 0x10;
    emptiedBy(storedPackage(p), true);
    p[countAt + 3] = 0x80;  // negative
    emptiedBy(storedPackage(p), true);

    // An empty stored skin does nothing at all.
    data.ApplyStoredSkin(good);
    g_heard.clear();
    data.ApplyStoredSkin(TskCompressedStoredSkin());
    EXPECT_FALSE(data.Empty());
    EXPECT_TRUE(g_heard.empty());
}

TEST(SkinData, VersionTwoExtraSlotsAreSkipped) {
    const std::vector<uint8_t> a = encodeBmp(skintest::pattern(5, 3, 2)), b = encodeBmp(skintest::pattern(4, 4, 9));
    const std::vector<uint8_t> active = encodeBmp(skintest::pattern(6, 2, 13));
    auto package = [&](int32_t version) {
        std::vector<uint8_t> out;
        skintest::putU32(out, uint32_t(version));
        out.push_back(0);
        out.insert(out.end(), a.begin(), a.end());
        out.push_back(1);
        out.push_back(1);
        if (version == 2) {  // two more slots: one full, one empty
            out.push_back(0);
            out.insert(out.end(), b.begin(), b.end());
            out.push_back(1);
        }
        skintest::putU32(out, 1);
        out.insert(out.end(), active.begin(), active.end());
        const std::string text = "[SKINCONTROLS]\ncount=1\n0=panel:panel\n[panel]\npictureindex=0\n";
        out.insert(out.end(), text.begin(), text.end());
        return out;
    };
    for (int32_t version : {1, 2, 3}) {
        TskSkinData data;
        data.ApplyStoredSkin(storedPackage(package(version)));
        ASSERT_FALSE(data.Empty()) << version;
        EXPECT_EQ(data.Picture, skintest::pattern(5, 3, 2));
        ASSERT_EQ(data.ActivePictures.size(), 1u);
        EXPECT_EQ(data.ActivePictures[0], skintest::pattern(6, 2, 13));
        EXPECT_EQ(data.FindControlEntry("panel"), 0);
    }
    // The extra slots belong to version 2 only: elsewhere they read as the count.
    TskSkinData data;
    EXPECT_THROW(data.ApplyStoredSkin(storedPackage([&] {
                     auto p = package(2);
                     p[0] = 3;
                     return p;
                 }())),
                 ESkinError);
}

TEST(SkinData, InflateIsBoundedAndNamesItsErrors) {
    // A small stream that inflates past the limit is refused, not held.
    std::vector<uint8_t> zeros(kMaxInflatedPackageSize + kInflateChunk, 0);
    const std::vector<uint8_t> bomb = deflatePackage(zeros);
    zeros = {};
    testsupport::expectThrowWith<ESkinDecompressionError>(
        [&] { inflatePackage(bomb.data(), bomb.size()); }, "Decompression error: package too large");
    const std::vector<uint8_t> small = deflatePackage({1, 2, 3});
    EXPECT_EQ(inflatePackage(small.data(), small.size()), (std::vector<uint8_t>{1, 2, 3}));
    testsupport::expectThrowWith<ESkinDecompressionError>(
        [&] { inflatePackage(small.data(), small.size() - 4); }, "Decompression error: data cut short");
    testsupport::expectThrowWith<ESkinDecompressionError>([&] { inflatePackage(nullptr, 0); },
                                                          "Decompression error: data cut short");
}
