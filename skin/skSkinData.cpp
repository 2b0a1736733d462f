#include "skin/skSkinData.h"

#include <algorithm>

#include "rtl/Exception.h"
#include "rtl/RegularFile.h"
#include "rtl/StringUtils.h"
#include "skin/skFormat.h"
#include "skin/skPackage.h"

namespace sk {

namespace {

TskSkinNotifier g_notifier = nullptr;

void describeFrame(TskKeyVisitor& v, TskFrameGeometry& g) {
    v.point("lefttoppoint", g.LTPoint);
    v.point("righttoppoint", g.RTPoint);
    v.point("leftbottompoint", g.LBPoint);
    v.point("rightbottompoint", g.RBPoint);
    v.flag("leftstretch", g.LeftStretch);
    v.flag("rightstretch", g.RightStretch);
    v.flag("topstretch", g.TopStretch);
    v.flag("bottomstretch", g.BottomStretch);
}

TskInactiveEffect inactiveEffect(const std::string& word) {
    if (word.empty() || rtl::equalsIgnoreCase(word, "iebrightness")) return TskInactiveEffect::ieBrightness;
    if (rtl::equalsIgnoreCase(word, "iedarkness")) return TskInactiveEffect::ieDarkness;
    if (rtl::equalsIgnoreCase(word, "ienoise")) return TskInactiveEffect::ieNoise;
    if (rtl::equalsIgnoreCase(word, "iesplitblur")) return TskInactiveEffect::ieSplitBlur;
    if (rtl::equalsIgnoreCase(word, "ieinvert")) return TskInactiveEffect::ieInvert;
    return TskInactiveEffect::ieGrayscale;
}

void readFormInfo(const TskIniFile& ini, TskFormInfo& f) {
    readKeys(ini, "FORMINFO", [&](TskKeyVisitor& v) {
        describeFrame(v, f);
        v.rect("clientrect", f.ClientRect);
        v.pictureIndex("bgpictureindex", f.BGPictureIndex);
        v.pictureIndex("mdibgpictureindex", f.MDIBGPictureIndex);
        v.rect("maskrectarea", f.MaskRectArea);
        v.point("hittestlefttoppoint", f.HitTestLTPoint);
        v.point("hittestrighttoppoint", f.HitTestRTPoint);
        v.point("hittestleftbottompoint", f.HitTestLBPoint);
        v.point("hittestrightbottompoint", f.HitTestRBPoint);
        v.rect("buttonsrect", f.ButtonsRect);
        v.rect("captionrect", f.CaptionRect);
        v.integer("buttonsoffset", f.ButtonsOffset, 0);
        v.flag("buttonsinleft", f.ButtonsInLeft);
        v.flag("mainmenupopupup", f.MainMenuPopupUp);
        v.integer("borderwidth", f.BorderWidth, 0);
        v.flag("autorenderinginactiveimage", f.AutoRenderingInActiveImage);
    });
    f.InActiveEffect = inactiveEffect(ini.readString("FORMINFO", "inactiveeffect"));
}

}  // namespace

void setSkinNotifier(TskSkinNotifier notifier) { g_notifier = notifier; }

const std::string* TskResourceStrData::find(const std::string& key) const {
    const auto it = Texts.find(key);
    return it == Texts.end() ? nullptr : &it->second;
}

void TskCompressedStoredSkin::ReadCompressedSkinFile(const std::string& path) {
    m_data.clear();
    rtl::TRegularFile file(path);
    if (!file.isOpen()) throw rtl::EFOpenError(rtl::format("Cannot open file \"%s\"", path.c_str()));
    const std::string head = file.readUpTo(kContainerHeaderSize);
    if (head.size() < 4) throw rtl::EReadError("Stream read error");
    const auto* bytes = reinterpret_cast<const uint8_t*>(head.data());
    if (readI32(bytes) > kMaxContainerVersion) return;
    if (head.size() < size_t(kContainerHeaderSize)) throw rtl::EReadError("Stream read error");
    const int32_t n = readI32(bytes + 4);
    if (n <= 0 || n > kMaxCompressedSize) throw rtl::EReadError("Stream read error");
    const std::string all = file.readUpTo(size_t(kContainerHeaderSize) + size_t(n));
    if (all.size() < size_t(kContainerHeaderSize) + size_t(n)) throw rtl::EReadError("Stream read error");
    m_data.assign(all.begin() + kContainerHeaderSize, all.end());
}

TskSkinData::TskSkinData() = default;
TskSkinData::~TskSkinData() {
    for (TskSkinData** slot : m_watchers)
        if (*slot == this) *slot = nullptr;
}

void TskSkinData::notify(int message) {
    if (g_notifier) g_notifier(*this, message);
}

void TskSkinData::setCompressedStoredSkin(const TskCompressedStoredSkin* stored) {
    m_stored = stored;
    if (stored) ApplyStoredSkin(*stored);
}

void TskSkinData::setResourceStrData(const TskResourceStrData* texts) {
    m_texts = texts;
    notify(kResourceTextsChanged);
}

void TskSkinData::reset() {
    m_objects.clear();
    m_controls.clear();
    ActivePictures.clear();
    ActivePictureNames.clear();
    PopupWindow = {};
    HintWindow = {};
    FormInfo = {};
    Picture = InActivePicture = Mask = {};
    PictureName.clear();
    InActivePictureName.clear();
    MaskName.clear();
    SkinName.clear();
    SkinAuthor.clear();
    AuthorEmail.clear();
    AuthorURL.clear();
    SkinComments.clear();
}

void TskSkinData::ApplyStoredSkin(const TskCompressedStoredSkin& stored) {
    if (stored.Empty()) return;
    m_empty = true;
    ++m_generation;
    notify(kSkinChangeBegins);
    reset();
    // Whatever the package holds, windows hear that the change is over.
    struct Finish {
        TskSkinData& data;
        ~Finish() {
            ++data.m_generation;
            data.notify(kSkinChanged);
            data.notify(kSkinChangeComplete);
        }
    } finish{*this};
    const std::vector<uint8_t> package = inflatePackage(stored.CompressedData().data(), stored.CompressedData().size());
    TskSkinPackage p = readPackage(package.data(), package.size());
    if (p.version > kMaxPackageVersion) return;
    if (p.picture) Picture = std::move(*p.picture);
    if (p.inactivePicture) InActivePicture = std::move(*p.inactivePicture);
    if (p.mask) Mask = std::move(*p.mask);
    ActivePictures = std::move(p.activePictures);
    try {
        readDescription(TskIniFile::parse(p.description));
    } catch (...) {
        reset();
        throw;
    }
    m_empty = false;
}

void TskSkinData::readDescription(const TskIniFile& ini) {
    SkinName = ini.readString("VERSION", "skinname");
    SkinAuthor = ini.readString("VERSION", "skinauthor");
    AuthorEmail = ini.readString("VERSION", "authoremail");
    AuthorURL = ini.readString("VERSION", "authorurl");
    SkinComments = ini.readString("VERSION", "skincomments");
    PictureName = ini.readString("PICTURES", "picture");
    InActivePictureName = ini.readString("PICTURES", "inactivepicture");
    MaskName = ini.readString("PICTURES", "mask");
    const int names = std::clamp(ini.readInteger("PICTURES", "activepicturescount", 0), 0, int(kMaxPictureCount));
    for (int i = 0; i < names; ++i) ActivePictureNames.push_back(ini.readString("PICTURES", std::to_string(i)));
    readFormInfo(ini, FormInfo);
    readKeys(ini, "POPUPWINDOW", [&](TskKeyVisitor& v) {
        describeFrame(v, PopupWindow);
        v.pictureIndex("windowpictureindex", PopupWindow.WindowPictureIndex);
        v.pictureIndex("maskpictureindex", PopupWindow.MaskPictureIndex);
        v.rect("itemsrect", PopupWindow.ItemsRect);
        v.colour("scrollmarkercolor", PopupWindow.ScrollMarkerColor, 0);
        v.colour("scrollmarkeractivecolor", PopupWindow.ScrollMarkerActiveColor, 0);
    });
    readKeys(ini, "HINTWINDOW", [&](TskKeyVisitor& v) {
        describeFrame(v, HintWindow);
        v.pictureIndex("windowpictureindex", HintWindow.WindowPictureIndex);
        v.pictureIndex("maskpictureindex", HintWindow.MaskPictureIndex);
        v.rect("clientrect", HintWindow.ClientRect);
        v.text("fontname", HintWindow.FontName);
        v.integer("fontheight", HintWindow.FontHeight, 0);
        v.integer("fontstyle", HintWindow.FontStyle, 0);
        v.colour("fontcolor", HintWindow.FontColor, 0);
    });
    readEntries(ini, "SKINOBJECTS", true);
    readEntries(ini, "SKINCONTROLS", false);
}

void TskSkinData::readEntries(const TskIniFile& ini, const char* section, bool objects) {
    const int count = std::clamp(ini.readInteger(section, "count", 0), 0, int(kMaxEntryCount));
    for (int i = 0; i < count; ++i) {
        const std::string value = ini.readString(section, std::to_string(i));
        const size_t colon = value.find(':');
        if (colon == std::string::npos) continue;
        const std::string name = rtl::trimBlanks(value.substr(0, colon));
        const std::string type = rtl::trimBlanks(value.substr(colon + 1));
        if (objects) {
            if (auto entry = createObjectEntry(type, name)) {
                entry->LoadFromFile(ini);
                m_objects.push_back(std::move(entry));
            }
        } else if (auto entry = createControlEntry(type, name)) {
            entry->LoadFromFile(ini);
            m_controls.push_back(std::move(entry));
        }
    }
}

void TskSkinData::ApplyCompressedSkinFile(const std::string& path) {
    TskCompressedStoredSkin temporary;
    temporary.ReadCompressedSkinFile(path);
    if (!temporary.Empty()) ApplyStoredSkin(temporary);
}

int TskSkinData::FindControlEntry(std::string_view name) const {
    for (size_t i = 0; i < m_controls.size(); ++i)
        if (m_controls[i]->IDName == name) return int(i);
    return -1;
}

int TskSkinData::FindObjectEntry(std::string_view name) const {
    for (size_t i = 0; i < m_objects.size(); ++i)
        if (m_objects[i]->IDName == name) return int(i);
    return -1;
}

const TskDataSkinControl* TskSkinData::ControlEntry(int index) const {
    return index >= 0 && size_t(index) < m_controls.size() ? m_controls[size_t(index)].get() : nullptr;
}

const TskDataSkinObject* TskSkinData::ObjectEntry(int index) const {
    return index >= 0 && size_t(index) < m_objects.size() ? m_objects[size_t(index)].get() : nullptr;
}

const TskBitmap* TskSkinData::ActivePicture(int index) const {
    return index >= 0 && size_t(index) < ActivePictures.size() ? &ActivePictures[size_t(index)] : nullptr;
}

}  // namespace sk
