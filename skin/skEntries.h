#pragma once
// Skin entries: one class per object type (window-frame objects) and per
// control type of the skin description. Each entry reads its keys from the
// section titled with its name and can write them back. The keys of a class
// are listed once, in describe(), which both directions walk.
// Not thread-safe; entries belong to their TskSkinData.

#include <memory>
#include <string>

#include "skin/skDescription.h"

namespace sk {

// Walks the keys of an entry: reading fills the members, writing emits them.
class TskKeyVisitor {
public:
    virtual ~TskKeyVisitor() = default;
    virtual void point(const char* key, TskPoint& value) = 0;
    virtual void rect(const char* key, TskRect& value) = 0;
    virtual void integer(const char* key, int& value, int fallback) = 0;
    virtual void flag(const char* key, bool& value) = 0;
    virtual void text(const char* key, std::string& value) = 0;
    void colour(const char* key, int& value, int fallback) { integer(key, value, fallback); }
    void pictureIndex(const char* key, int& value) { integer(key, value, -1); }
};

// Font keys shared by entries that draw text.
struct TskSkinFont {
    std::string name;
    int height = 0;
    int style = 0;      // bit 0 bold, bit 1 italic, bit 2 underline
    int colour = 0;     // 0x00BBGGRR
    void describe(TskKeyVisitor& v, const char* prefix = "font");
};

// Stretching of a framed piece: corners kept, sides and middle stretched
// (flag 1) or tiled (otherwise).
struct TskFramePieces {
    TskPoint leftTop, rightTop, leftBottom, rightBottom;  // inner corners, relative to the rectangle
    bool leftStretch = false, topStretch = false, rightStretch = false, bottomStretch = false;
    bool stretchEffect = false;  // the middle
    void describe(TskKeyVisitor& v);
};

// Base of every entry: name, picture, mask picture and skin rectangle.
class TskDataSkinEntry {
public:
    explicit TskDataSkinEntry(std::string name) : IDName(std::move(name)) {}
    virtual ~TskDataSkinEntry() = default;
    TskDataSkinEntry(const TskDataSkinEntry&) = delete;
    TskDataSkinEntry& operator=(const TskDataSkinEntry&) = delete;

    // The two virtual operations, in this order.
    virtual void LoadFromFile(const TskIniFile& ini);
    virtual void SaveToFile(TskIniFile& ini);

    // The type word of the description ("button", "scrollbar" ...).
    virtual const char* typeName() const = 0;

    std::string IDName;
    int PictureIndex = -1;
    int MaskPictureIndex = -1;
    TskRect SkinRect;

protected:
    virtual void describe(TskKeyVisitor& v);
};

class TskDataSkinControl : public TskDataSkinEntry {
public:
    using TskDataSkinEntry::TskDataSkinEntry;
};

class TskDataSkinObject : public TskDataSkinEntry {
public:
    using TskDataSkinEntry::TskDataSkinEntry;
    int ActivePictureIndex = -1;
    TskRect ActiveSkinRect, InActiveSkinRect;

protected:
    void describe(TskKeyVisitor& v) override;
};

// Most controls: a framed piece with a client rectangle.
class TskDataSkinCustomControl : public TskDataSkinControl {
public:
    using TskDataSkinControl::TskDataSkinControl;
    TskFramePieces Frame;
    TskRect ClientRect;

protected:
    void describe(TskKeyVisitor& v) override;
};

#define SK_ENTRY_CLASS(Name, Base, Type, Members)                          \
    class Name : public Base {                                             \
    public:                                                                \
        using Base::Base;                                                  \
        const char* typeName() const override { return Type; }             \
        Members                                                            \
    protected:                                                             \
        void describe(TskKeyVisitor& v) override;                          \
    }

// --- objects ---
SK_ENTRY_CLASS(TskDataSkinMenuItem, TskDataSkinObject, "menuitem",
               TskSkinFont Font; int ActiveFontColor = 0;);
SK_ENTRY_CLASS(TskDataSkinMainMenuItem, TskDataSkinObject, "mainmenubaritem",
               TskSkinFont Font; int ActiveFontColor = 0;);
SK_ENTRY_CLASS(TskDataSkinStdButton, TskDataSkinObject, "stdbutton",
               int Command = 0; TskRect DownSkinRect;);
SK_ENTRY_CLASS(TskDataSkinMainMenuBarButton, TskDataSkinObject, "mainmenubarbutton",
               int Command = 0; TskRect DownSkinRect;);
SK_ENTRY_CLASS(TskDataSkinButton, TskDataSkinObject, "button",
               int Command = 0; TskRect DownSkinRect;);
SK_ENTRY_CLASS(TskDataSkinCaption, TskDataSkinObject, "caption",
               TskSkinFont Font; int ActiveFontColor = 0; int Alignment = 0; TskRect TextRect;);
SK_ENTRY_CLASS(TskDataSkinAnimate, TskDataSkinObject, "animate",
               int CountFrames = 1; int TimerInterval = 50; bool Cycle = false;);
SK_ENTRY_CLASS(TskDataUserObject, TskDataSkinObject, "userobject", );

// --- controls ---
SK_ENTRY_CLASS(TskDataSkinPanelControl, TskDataSkinCustomControl, "panel",
               TskSkinFont Font; int BGColor = 0xFFFFFF;);
SK_ENTRY_CLASS(TskDataSkinExPanelControl, TskDataSkinPanelControl, "expanel",
               TskRect CaptionRect;);
SK_ENTRY_CLASS(TskDataSkinButtonControl, TskDataSkinCustomControl, "button",
               TskSkinFont Font; TskRect ActiveSkinRect; TskRect DownSkinRect; TskRect FocusedSkinRect;
               TskRect DisabledSkinRect; int ActiveFontColor = 0; int DownFontColor = 0;
               int DisabledFontColor = 0x808080;);
SK_ENTRY_CLASS(TskDataSkinMenuButtonControl, TskDataSkinButtonControl, "menubutton",
               TskRect TrackButtonRect;);
SK_ENTRY_CLASS(TskDataSkinCheckRadioControl, TskDataSkinCustomControl, "checkradio",
               TskSkinFont Font; TskRect CheckImageRect; TskRect UnCheckImageRect;
               TskRect ActiveCheckImageRect; TskRect ActiveUnCheckImageRect; TskRect CheckedDisabledRect;
               TskRect UnCheckedDisabledRect; TskRect RadioCheckImageRect; TskRect RadioUnCheckImageRect;
               int ActiveFontColor = 0; int DisabledFontColor = 0x808080;);
SK_ENTRY_CLASS(TskDataSkinGaugeControl, TskDataSkinCustomControl, "gauge",
               TskSkinFont Font; TskRect ProgressRect; TskPoint ProgressOffsets; bool ProgressStretch = true;
               bool Vertical = false;);
SK_ENTRY_CLASS(TskDataSkinSplitterControl, TskDataSkinCustomControl, "splitter", );
SK_ENTRY_CLASS(TskDataSkinTrackBarControl, TskDataSkinCustomControl, "trackbar",
               TskRect TrackArea; TskRect ButtonRect; TskRect ActiveButtonRect; bool Vertical = false;);
SK_ENTRY_CLASS(TskDataSkinLabelControl, TskDataSkinCustomControl, "label",
               TskSkinFont Font;);
// Text only: no picture of its own.
SK_ENTRY_CLASS(TskDataSkinStdLabelControl, TskDataSkinControl, "stdlabel",
               TskSkinFont Font; int ActiveFontColor = 0;);
SK_ENTRY_CLASS(TskDataSkinUpDownControl, TskDataSkinCustomControl, "updown",
               TskRect UpButtonRect; TskRect ActiveUpButtonRect; TskRect DownButtonRect;
               TskRect ActiveDownButtonRect;);
SK_ENTRY_CLASS(TskDataSkinGridControl, TskDataSkinCustomControl, "grid",
               TskSkinFont Font; TskRect FixedCellRect; int BGColor = 0xFFFFFF; int LinesColor = 0xC0C0C0;);
SK_ENTRY_CLASS(TskDataSkinTabControl, TskDataSkinCustomControl, "tab",
               TskSkinFont Font; TskRect TabRect; TskRect ActiveTabRect; TskRect MouseInTabRect;
               int ActiveFontColor = 0;);
SK_ENTRY_CLASS(TskDataSkinMainMenuBar, TskDataSkinCustomControl, "mainmenubar",
               TskRect ItemsRect;);
SK_ENTRY_CLASS(TskDataSkinControlBar, TskDataSkinCustomControl, "controlbar",
               TskRect ItemRect; TskRect GripperRect;);
SK_ENTRY_CLASS(TskDataSkinMemoControl, TskDataSkinCustomControl, "memo",
               TskSkinFont Font; int BGColor = 0xFFFFFF; int ActiveFontColor = 0; TskRect ActiveSkinRect;);
SK_ENTRY_CLASS(TskDataSkinEditControl, TskDataSkinCustomControl, "edit",
               TskSkinFont Font; TskRect ActiveSkinRect; TskRect DisabledSkinRect; int BGColor = 0xFFFFFF;
               int ActiveFontColor = 0; int DisabledFontColor = 0x808080; int SelectionColor = 0xD77800;);
SK_ENTRY_CLASS(TskDataSkinCheckListBox, TskDataSkinCustomControl, "checklistbox",
               TskSkinFont Font; TskRect ItemRect; TskRect ActiveItemRect; int BGColor = 0xFFFFFF;);
SK_ENTRY_CLASS(TskDataSkinListBox, TskDataSkinCustomControl, "listbox",
               TskSkinFont Font; TskRect ItemRect; TskRect ActiveItemRect; int BGColor = 0xFFFFFF;
               int ActiveFontColor = 0;);
SK_ENTRY_CLASS(TskDataSkinComboBox, TskDataSkinCustomControl, "combobox",
               TskSkinFont Font; TskRect ButtonRect; TskRect ActiveButtonRect; TskRect DownButtonRect;
               TskRect ActiveSkinRect; int BGColor = 0xFFFFFF; int ActiveFontColor = 0;);
SK_ENTRY_CLASS(TskDataSkinScrollBarControl, TskDataSkinCustomControl, "scrollbar",
               TskRect TrackArea; TskRect UpButtonRect; TskRect ActiveUpButtonRect; TskRect DownUpButtonRect;
               TskRect DownButtonRect; TskRect ActiveDownButtonRect; TskRect DownDownButtonRect;
               TskRect ThumbRect; TskRect ActiveThumbRect; TskRect DownThumbRect; TskPoint ThumbOffsets;
               bool Vertical = false;);
SK_ENTRY_CLASS(TskDataSkinSpinEditControl, TskDataSkinEditControl, "spinedit", );
SK_ENTRY_CLASS(TskDataSkinScrollBoxControl, TskDataSkinCustomControl, "scrollbox",
               int BGColor = 0xFFFFFF;);
SK_ENTRY_CLASS(TskDataSkinTreeView, TskDataSkinCustomControl, "treeview",
               TskSkinFont Font; int BGColor = 0xFFFFFF;);
SK_ENTRY_CLASS(TskDataSkinBevel, TskDataSkinCustomControl, "bevel",
               int LightColor = 0xFFFFFF; int DarkColor = 0x808080;);
SK_ENTRY_CLASS(TskDataSkinSlider, TskDataSkinCustomControl, "slider",
               TskRect ButtonRect; TskRect ActiveButtonRect;);
// The list: frame, header pieces and row colours.
SK_ENTRY_CLASS(TskDataSkinListView, TskDataSkinCustomControl, "listview",
               TskSkinFont Font; TskRect HeaderRect; TskRect ActiveHeaderRect; TskRect DownHeaderRect;
               TskPoint HeaderOffsets; int HeaderFontColor = 0; int BGColor = 0xFFFFFF; int AlternateColor = -1;
               int SelectionColor = 0xD77800; int SelectionFontColor = 0xFFFFFF; int GridColor = -1;);
SK_ENTRY_CLASS(TskDataSkinRichEdit, TskDataSkinMemoControl, "richedit", );

#undef SK_ENTRY_CLASS

// The entry of a description type word, or null for an unknown type.
std::unique_ptr<TskDataSkinObject> createObjectEntry(const std::string& type, const std::string& name);
std::unique_ptr<TskDataSkinControl> createControlEntry(const std::string& type, const std::string& name);

}  // namespace sk

#include <functional>
namespace sk {
// Runs describe with a visitor that reads the keys of section.
void readKeys(const TskIniFile& ini, const std::string& section, const std::function<void(TskKeyVisitor&)>& describe);
}  // namespace sk
