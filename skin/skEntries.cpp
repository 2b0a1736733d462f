#include "skin/skEntries.h"

#include <functional>
#include <string_view>

namespace sk {

namespace {

class Loader : public TskKeyVisitor {
public:
    Loader(const TskIniFile& ini, const std::string& section) : m_ini(ini), m_section(section) {}
    void point(const char* key, TskPoint& value) override { value = m_ini.readPoint(m_section, key); }
    void rect(const char* key, TskRect& value) override { value = m_ini.readRect(m_section, key); }
    void integer(const char* key, int& value, int fallback) override {
        value = m_ini.readInteger(m_section, key, fallback);
    }
    void flag(const char* key, bool& value) override { value = m_ini.readFlag(m_section, key); }
    void text(const char* key, std::string& value) override { value = m_ini.readString(m_section, key); }

private:
    const TskIniFile& m_ini;
    const std::string& m_section;
};

class Saver : public TskKeyVisitor {
public:
    Saver(TskIniFile& ini, const std::string& section) : m_ini(ini), m_section(section) {}
    void point(const char* key, TskPoint& value) override { m_ini.writeString(m_section, key, formatPoint(value)); }
    void rect(const char* key, TskRect& value) override { m_ini.writeString(m_section, key, formatRect(value)); }
    void integer(const char* key, int& value, int) override {
        m_ini.writeString(m_section, key, std::to_string(value));
    }
    void flag(const char* key, bool& value) override { m_ini.writeString(m_section, key, value ? "1" : "0"); }
    void text(const char* key, std::string& value) override { m_ini.writeString(m_section, key, value); }

private:
    TskIniFile& m_ini;
    const std::string& m_section;
};

// Keys made of a prefix and a fixed tail ("fontname", "activefontcolor" ...).
std::string joined(const char* prefix, const char* tail) { return std::string(prefix) + tail; }

}  // namespace

void TskSkinFont::describe(TskKeyVisitor& v, const char* prefix) {
    v.text(joined(prefix, "name").c_str(), name);
    v.integer(joined(prefix, "height").c_str(), height, 0);
    v.integer(joined(prefix, "style").c_str(), style, 0);
    v.colour(joined(prefix, "color").c_str(), colour, 0);
}

void TskFramePieces::describe(TskKeyVisitor& v) {
    v.point("lefttoppoint", leftTop);
    v.point("righttoppoint", rightTop);
    v.point("leftbottompoint", leftBottom);
    v.point("rightbottompoint", rightBottom);
    v.flag("leftstretch", leftStretch);
    v.flag("topstretch", topStretch);
    v.flag("rightstretch", rightStretch);
    v.flag("bottomstretch", bottomStretch);
    v.flag("stretcheffect", stretchEffect);
}

void TskDataSkinEntry::LoadFromFile(const TskIniFile& ini) {
    Loader loader(ini, IDName);
    describe(loader);
}

void TskDataSkinEntry::SaveToFile(TskIniFile& ini) {
    ini.eraseSection(IDName);
    Saver saver(ini, IDName);
    describe(saver);
}

void TskDataSkinEntry::describe(TskKeyVisitor& v) {
    v.pictureIndex("pictureindex", PictureIndex);
    v.pictureIndex("maskpictureindex", MaskPictureIndex);
    v.rect("skinrect", SkinRect);
}

void TskDataSkinObject::describe(TskKeyVisitor& v) {
    TskDataSkinEntry::describe(v);
    v.pictureIndex("activepictureindex", ActivePictureIndex);
    v.rect("activeskinrect", ActiveSkinRect);
    v.rect("inactiveskinrect", InActiveSkinRect);
}

void TskDataSkinCustomControl::describe(TskKeyVisitor& v) {
    TskDataSkinControl::describe(v);
    Frame.describe(v);
    v.rect("clientrect", ClientRect);
}

// --- objects ---

void TskDataSkinMenuItem::describe(TskKeyVisitor& v) {
    TskDataSkinObject::describe(v);
    Font.describe(v);
    v.colour("activefontcolor", ActiveFontColor, 0);
}
void TskDataSkinMainMenuItem::describe(TskKeyVisitor& v) {
    TskDataSkinObject::describe(v);
    Font.describe(v);
    v.colour("activefontcolor", ActiveFontColor, 0);
}
void TskDataSkinStdButton::describe(TskKeyVisitor& v) {
    TskDataSkinObject::describe(v);
    v.integer("command", Command, 0);
    v.rect("downskinrect", DownSkinRect);
}
void TskDataSkinMainMenuBarButton::describe(TskKeyVisitor& v) {
    TskDataSkinObject::describe(v);
    v.integer("command", Command, 0);
    v.rect("downskinrect", DownSkinRect);
}
void TskDataSkinButton::describe(TskKeyVisitor& v) {
    TskDataSkinObject::describe(v);
    v.integer("command", Command, 0);
    v.rect("downskinrect", DownSkinRect);
}
void TskDataSkinCaption::describe(TskKeyVisitor& v) {
    TskDataSkinObject::describe(v);
    Font.describe(v);
    v.colour("activefontcolor", ActiveFontColor, 0);
    v.integer("alignment", Alignment, 0);
    v.rect("textrect", TextRect);
}
void TskDataSkinAnimate::describe(TskKeyVisitor& v) {
    TskDataSkinObject::describe(v);
    v.integer("countframes", CountFrames, 1);
    v.integer("timerinterval", TimerInterval, 50);
    v.flag("cycle", Cycle);
}
void TskDataUserObject::describe(TskKeyVisitor& v) { TskDataSkinObject::describe(v); }

// --- controls ---

void TskDataSkinPanelControl::describe(TskKeyVisitor& v) {
    TskDataSkinCustomControl::describe(v);
    Font.describe(v);
    v.colour("bgcolor", BGColor, 0xFFFFFF);
}
void TskDataSkinExPanelControl::describe(TskKeyVisitor& v) {
    TskDataSkinPanelControl::describe(v);
    v.rect("captionrect", CaptionRect);
}
void TskDataSkinButtonControl::describe(TskKeyVisitor& v) {
    TskDataSkinCustomControl::describe(v);
    Font.describe(v);
    v.rect("activeskinrect", ActiveSkinRect);
    v.rect("downskinrect", DownSkinRect);
    v.rect("focusedskinrect", FocusedSkinRect);
    v.rect("disabledskinrect", DisabledSkinRect);
    v.colour("activefontcolor", ActiveFontColor, 0);
    v.colour("downfontcolor", DownFontColor, 0);
    v.colour("disabledfontcolor", DisabledFontColor, 0x808080);
}
void TskDataSkinMenuButtonControl::describe(TskKeyVisitor& v) {
    TskDataSkinButtonControl::describe(v);
    v.rect("trackbuttonrect", TrackButtonRect);
}
void TskDataSkinCheckRadioControl::describe(TskKeyVisitor& v) {
    TskDataSkinCustomControl::describe(v);
    Font.describe(v);
    v.rect("checkimagerect", CheckImageRect);
    v.rect("uncheckimagerect", UnCheckImageRect);
    v.rect("activecheckimagerect", ActiveCheckImageRect);
    v.rect("activeuncheckimagerect", ActiveUnCheckImageRect);
    v.rect("checkeddisabledrect", CheckedDisabledRect);
    v.rect("uncheckeddisabledrect", UnCheckedDisabledRect);
    v.rect("radiocheckimagerect", RadioCheckImageRect);
    v.rect("radiouncheckimagerect", RadioUnCheckImageRect);
    v.colour("activefontcolor", ActiveFontColor, 0);
    v.colour("disabledfontcolor", DisabledFontColor, 0x808080);
}
void TskDataSkinGaugeControl::describe(TskKeyVisitor& v) {
    TskDataSkinCustomControl::describe(v);
    Font.describe(v);
    v.rect("progressrect", ProgressRect);
    v.point("progressoffsets", ProgressOffsets);
    v.flag("progressstretch", ProgressStretch);
    v.flag("vertical", Vertical);
}
void TskDataSkinSplitterControl::describe(TskKeyVisitor& v) { TskDataSkinCustomControl::describe(v); }
void TskDataSkinTrackBarControl::describe(TskKeyVisitor& v) {
    TskDataSkinCustomControl::describe(v);
    v.rect("trackarea", TrackArea);
    v.rect("buttonrect", ButtonRect);
    v.rect("activebuttonrect", ActiveButtonRect);
    v.flag("vertical", Vertical);
}
void TskDataSkinLabelControl::describe(TskKeyVisitor& v) {
    TskDataSkinCustomControl::describe(v);
    Font.describe(v);
}
void TskDataSkinStdLabelControl::describe(TskKeyVisitor& v) {
    TskDataSkinControl::describe(v);
    Font.describe(v);
    v.colour("activefontcolor", ActiveFontColor, 0);
}
void TskDataSkinUpDownControl::describe(TskKeyVisitor& v) {
    TskDataSkinCustomControl::describe(v);
    v.rect("upbuttonrect", UpButtonRect);
    v.rect("activeupbuttonrect", ActiveUpButtonRect);
    v.rect("downbuttonrect", DownButtonRect);
    v.rect("activedownbuttonrect", ActiveDownButtonRect);
}
void TskDataSkinGridControl::describe(TskKeyVisitor& v) {
    TskDataSkinCustomControl::describe(v);
    Font.describe(v);
    v.rect("fixedcellrect", FixedCellRect);
    v.colour("bgcolor", BGColor, 0xFFFFFF);
    v.colour("linescolor", LinesColor, 0xC0C0C0);
}
void TskDataSkinTabControl::describe(TskKeyVisitor& v) {
    TskDataSkinCustomControl::describe(v);
    Font.describe(v);
    v.rect("tabrect", TabRect);
    v.rect("activetabrect", ActiveTabRect);
    v.rect("mouseintabrect", MouseInTabRect);
    v.colour("activefontcolor", ActiveFontColor, 0);
}
void TskDataSkinMainMenuBar::describe(TskKeyVisitor& v) {
    TskDataSkinCustomControl::describe(v);
    v.rect("itemsrect", ItemsRect);
}
void TskDataSkinControlBar::describe(TskKeyVisitor& v) {
    TskDataSkinCustomControl::describe(v);
    v.rect("itemrect", ItemRect);
    v.rect("gripperrect", GripperRect);
}
void TskDataSkinMemoControl::describe(TskKeyVisitor& v) {
    TskDataSkinCustomControl::describe(v);
    Font.describe(v);
    v.colour("bgcolor", BGColor, 0xFFFFFF);
    v.colour("activefontcolor", ActiveFontColor, 0);
    v.rect("activeskinrect", ActiveSkinRect);
}
void TskDataSkinEditControl::describe(TskKeyVisitor& v) {
    TskDataSkinCustomControl::describe(v);
    Font.describe(v);
    v.rect("activeskinrect", ActiveSkinRect);
    v.rect("disabledskinrect", DisabledSkinRect);
    v.colour("bgcolor", BGColor, 0xFFFFFF);
    v.colour("activefontcolor", ActiveFontColor, 0);
    v.colour("disabledfontcolor", DisabledFontColor, 0x808080);
    v.colour("selectioncolor", SelectionColor, 0xD77800);
}
void TskDataSkinCheckListBox::describe(TskKeyVisitor& v) {
    TskDataSkinCustomControl::describe(v);
    Font.describe(v);
    v.rect("itemrect", ItemRect);
    v.rect("activeitemrect", ActiveItemRect);
    v.colour("bgcolor", BGColor, 0xFFFFFF);
}
void TskDataSkinListBox::describe(TskKeyVisitor& v) {
    TskDataSkinCustomControl::describe(v);
    Font.describe(v);
    v.rect("itemrect", ItemRect);
    v.rect("activeitemrect", ActiveItemRect);
    v.colour("bgcolor", BGColor, 0xFFFFFF);
    v.colour("activefontcolor", ActiveFontColor, 0);
}
void TskDataSkinComboBox::describe(TskKeyVisitor& v) {
    TskDataSkinCustomControl::describe(v);
    Font.describe(v);
    v.rect("buttonrect", ButtonRect);
    v.rect("activebuttonrect", ActiveButtonRect);
    v.rect("downbuttonrect", DownButtonRect);
    v.rect("activeskinrect", ActiveSkinRect);
    v.colour("bgcolor", BGColor, 0xFFFFFF);
    v.colour("activefontcolor", ActiveFontColor, 0);
}
void TskDataSkinScrollBarControl::describe(TskKeyVisitor& v) {
    TskDataSkinCustomControl::describe(v);
    v.rect("trackarea", TrackArea);
    v.rect("upbuttonrect", UpButtonRect);
    v.rect("activeupbuttonrect", ActiveUpButtonRect);
    v.rect("downupbuttonrect", DownUpButtonRect);
    v.rect("downbuttonrect", DownButtonRect);
    v.rect("activedownbuttonrect", ActiveDownButtonRect);
    v.rect("downdownbuttonrect", DownDownButtonRect);
    v.rect("thumbrect", ThumbRect);
    v.rect("activethumbrect", ActiveThumbRect);
    v.rect("downthumbrect", DownThumbRect);
    v.point("thumboffsets", ThumbOffsets);
    v.flag("vertical", Vertical);
}
void TskDataSkinSpinEditControl::describe(TskKeyVisitor& v) { TskDataSkinEditControl::describe(v); }
void TskDataSkinScrollBoxControl::describe(TskKeyVisitor& v) {
    TskDataSkinCustomControl::describe(v);
    v.colour("bgcolor", BGColor, 0xFFFFFF);
}
void TskDataSkinTreeView::describe(TskKeyVisitor& v) {
    TskDataSkinCustomControl::describe(v);
    Font.describe(v);
    v.colour("bgcolor", BGColor, 0xFFFFFF);
}
void TskDataSkinBevel::describe(TskKeyVisitor& v) {
    TskDataSkinCustomControl::describe(v);
    v.colour("lightcolor", LightColor, 0xFFFFFF);
    v.colour("darkcolor", DarkColor, 0x808080);
}
void TskDataSkinSlider::describe(TskKeyVisitor& v) {
    TskDataSkinCustomControl::describe(v);
    v.rect("buttonrect", ButtonRect);
    v.rect("activebuttonrect", ActiveButtonRect);
}
void TskDataSkinListView::describe(TskKeyVisitor& v) {
    TskDataSkinCustomControl::describe(v);
    Font.describe(v);
    v.rect("headerrect", HeaderRect);
    v.rect("activeheaderrect", ActiveHeaderRect);
    v.rect("downheaderrect", DownHeaderRect);
    v.point("headeroffsets", HeaderOffsets);
    v.colour("headerfontcolor", HeaderFontColor, 0);
    v.colour("bgcolor", BGColor, 0xFFFFFF);
    v.colour("alternatecolor", AlternateColor, -1);
    v.colour("selectioncolor", SelectionColor, 0xD77800);
    v.colour("selectionfontcolor", SelectionFontColor, 0xFFFFFF);
    v.colour("gridcolor", GridColor, -1);
}
void TskDataSkinRichEdit::describe(TskKeyVisitor& v) { TskDataSkinMemoControl::describe(v); }

namespace {

template <class T, class Base>
std::unique_ptr<Base> make(const std::string& name) {
    return std::make_unique<T>(name);
}

template <class Base>
struct Maker {
    std::string_view type;
    std::unique_ptr<Base> (*make)(const std::string&);
};

const Maker<TskDataSkinObject> kObjects[] = {
    {"menuitem", make<TskDataSkinMenuItem, TskDataSkinObject>},
    {"mainmenubaritem", make<TskDataSkinMainMenuItem, TskDataSkinObject>},
    {"stdbutton", make<TskDataSkinStdButton, TskDataSkinObject>},
    {"mainmenubarbutton", make<TskDataSkinMainMenuBarButton, TskDataSkinObject>},
    {"button", make<TskDataSkinButton, TskDataSkinObject>},
    {"caption", make<TskDataSkinCaption, TskDataSkinObject>},
    {"animate", make<TskDataSkinAnimate, TskDataSkinObject>},
    {"userobject", make<TskDataUserObject, TskDataSkinObject>},
};

const Maker<TskDataSkinControl> kControls[] = {
    {"panel", make<TskDataSkinPanelControl, TskDataSkinControl>},
    {"expanel", make<TskDataSkinExPanelControl, TskDataSkinControl>},
    {"menubutton", make<TskDataSkinMenuButtonControl, TskDataSkinControl>},
    {"button", make<TskDataSkinButtonControl, TskDataSkinControl>},
    {"checkradio", make<TskDataSkinCheckRadioControl, TskDataSkinControl>},
    {"gauge", make<TskDataSkinGaugeControl, TskDataSkinControl>},
    {"splitter", make<TskDataSkinSplitterControl, TskDataSkinControl>},
    {"trackbar", make<TskDataSkinTrackBarControl, TskDataSkinControl>},
    {"label", make<TskDataSkinLabelControl, TskDataSkinControl>},
    {"stdlabel", make<TskDataSkinStdLabelControl, TskDataSkinControl>},
    {"updown", make<TskDataSkinUpDownControl, TskDataSkinControl>},
    {"grid", make<TskDataSkinGridControl, TskDataSkinControl>},
    {"tab", make<TskDataSkinTabControl, TskDataSkinControl>},
    {"mainmenubar", make<TskDataSkinMainMenuBar, TskDataSkinControl>},
    {"controlbar", make<TskDataSkinControlBar, TskDataSkinControl>},
    {"memo", make<TskDataSkinMemoControl, TskDataSkinControl>},
    {"edit", make<TskDataSkinEditControl, TskDataSkinControl>},
    {"checklistbox", make<TskDataSkinCheckListBox, TskDataSkinControl>},
    {"listbox", make<TskDataSkinListBox, TskDataSkinControl>},
    {"combobox", make<TskDataSkinComboBox, TskDataSkinControl>},
    {"scrollbar", make<TskDataSkinScrollBarControl, TskDataSkinControl>},
    {"spinedit", make<TskDataSkinSpinEditControl, TskDataSkinControl>},
    {"scrollbox", make<TskDataSkinScrollBoxControl, TskDataSkinControl>},
    {"treeview", make<TskDataSkinTreeView, TskDataSkinControl>},
    {"bevel", make<TskDataSkinBevel, TskDataSkinControl>},
    {"slider", make<TskDataSkinSlider, TskDataSkinControl>},
    {"listview", make<TskDataSkinListView, TskDataSkinControl>},
    {"richedit", make<TskDataSkinRichEdit, TskDataSkinControl>},
};

template <class Base, size_t N>
std::unique_ptr<Base> create(const Maker<Base> (&table)[N], const std::string& type, const std::string& name) {
    for (const auto& m : table)
        if (m.type == type) return m.make(name);
    return nullptr;
}

}  // namespace

std::unique_ptr<TskDataSkinObject> createObjectEntry(const std::string& type, const std::string& name) {
    return create(kObjects, type, name);
}

std::unique_ptr<TskDataSkinControl> createControlEntry(const std::string& type, const std::string& name) {
    return create(kControls, type, name);
}

}  // namespace sk

namespace sk {
void readKeys(const TskIniFile& ini, const std::string& section, const std::function<void(TskKeyVisitor&)>& describe) {
    Loader loader(ini, section);
    describe(loader);
}
}  // namespace sk
