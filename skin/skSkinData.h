#pragma once
// The skin in force (TskSkinData) and a compressed skin kept in memory
// (TskCompressedStoredSkin). Applying a stored skin resets the data, inflates
// and reads the package and its description, and tells every window through
// the registered notifier. GUI thread only.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "skin/skBitmap.h"
#include "skin/skEntries.h"

namespace sk {

// Skin change notifications; the second parameter is always kNotifyParam.
constexpr int kSkinChangeBegins = 1225;
constexpr int kSkinChanged = 1226;
constexpr int kSkinChangeComplete = 1227;
constexpr int kResourceTextsChanged = 1274;
constexpr int kNotifyParam = 1000;

class TskSkinData;
// Sends one notification to every window, the owner first; must not return
// before every window has handled it. Registered by the GUI layer.
using TskSkinNotifier = void (*)(TskSkinData& sender, int message);
void setSkinNotifier(TskSkinNotifier notifier);

enum class TskInactiveEffect { ieBrightness, ieDarkness, ieGrayscale, ieNoise, ieSplitBlur, ieInvert };

// Geometry of a framed window within its picture.
struct TskFrameGeometry {
    TskPoint LTPoint, RTPoint, LBPoint, RBPoint;
    TskRect ClientRect;
    bool LeftStretch = false, RightStretch = false, TopStretch = false, BottomStretch = false;
};

struct TskFormInfo : TskFrameGeometry {
    int BGPictureIndex = -1, MDIBGPictureIndex = -1;
    TskRect MaskRectArea, ButtonsRect, CaptionRect;
    TskPoint HitTestLTPoint, HitTestRTPoint, HitTestLBPoint, HitTestRBPoint;
    int ButtonsOffset = 0;
    bool ButtonsInLeft = false, MainMenuPopupUp = false, AutoRenderingInActiveImage = false;
    int BorderWidth = 0;
    TskInactiveEffect InActiveEffect = TskInactiveEffect::ieBrightness;
};

struct TskPopupWindowData : TskFrameGeometry {
    int WindowPictureIndex = -1, MaskPictureIndex = -1;
    TskRect ItemsRect;
    int ScrollMarkerColor = 0, ScrollMarkerActiveColor = 0;
};

struct TskHintWindowData : TskFrameGeometry {
    int WindowPictureIndex = -1, MaskPictureIndex = -1;
    std::string FontName;
    int FontHeight = 0, FontStyle = 0, FontColor = 0;
};

// Texts for the toolkit's own dialogs, looked up by key.
class TskResourceStrData {
public:
    std::map<std::string, std::string> Texts;
    // The text of key, or nullptr when it has none.
    const std::string* find(const std::string& key) const;
};

class TskCompressedStoredSkin {
public:
    std::string FileName, CompressedFileName;  // recorded names only
    bool Empty() const { return m_data.empty(); }
    const std::vector<uint8_t>& CompressedData() const { return m_data; }
    void setCompressedData(std::vector<uint8_t> data) { m_data = std::move(data); }
    // Empties the memory, then reads the container: a version above 3 leaves
    // it empty; otherwise N must be positive, at most kMaxCompressedSize, and
    // present. Raises rtl::EReadError (or EFOpenError) otherwise.
    void ReadCompressedSkinFile(const std::string& path);

private:
    std::vector<uint8_t> m_data;  // the zlib stream alone
};

class TskSkinData {
public:
    TskSkinData();
    ~TskSkinData();
    TskSkinData(const TskSkinData&) = delete;
    TskSkinData& operator=(const TskSkinData&) = delete;

    // True at creation and while no skin is in force.
    bool Empty() const { return m_empty; }
    // Raised each time a skin is applied, so drawing caches know to refresh.
    uint64_t Generation() const { return m_generation; }

    // Assigning a stored skin applies it at once. The stored skin must outlive this data.
    void setCompressedStoredSkin(const TskCompressedStoredSkin* stored);
    const TskCompressedStoredSkin* CompressedStoredSkin() const { return m_stored; }
    // The resource texts; notification 1274 follows. Not owned.
    void setResourceStrData(const TskResourceStrData* texts);
    const TskResourceStrData* ResourceStrData() const { return m_texts; }

    // Nothing for an empty stored skin. Otherwise resets, reads, and sends
    // 1225, 1226, 1227. A corrupt package leaves the data empty and raises
    // its error after the notifications, so windows repaint unskinned.
    void ApplyStoredSkin(const TskCompressedStoredSkin& stored);
    void ApplyCompressedSkinFile(const std::string& path);

    // Index of the first entry named exactly name (case counts), or -1.
    int FindControlEntry(std::string_view name) const;
    int FindObjectEntry(std::string_view name) const;
    const TskDataSkinControl* ControlEntry(int index) const;
    const TskDataSkinObject* ObjectEntry(int index) const;
    // The control entry named name when it is of class T, else nullptr.
    template <class T>
    const T* control(std::string_view name) const {
        const int i = FindControlEntry(name);
        return i < 0 ? nullptr : dynamic_cast<const T*>(ControlEntry(i));
    }
    const std::vector<std::unique_ptr<TskDataSkinControl>>& ControlList() const { return m_controls; }
    const std::vector<std::unique_ptr<TskDataSkinObject>>& ObjectList() const { return m_objects; }
    // Picture of the list, or nullptr for an index out of range.
    const TskBitmap* ActivePicture(int index) const;

    // A pointer to this data that is cleared when the data is destroyed (a
    // message component's SkinData ...). The slot must stay valid until removed.
    void addWatcher(TskSkinData** slot) { m_watchers.push_back(slot); }
    void removeWatcher(TskSkinData** slot) { std::erase(m_watchers, slot); }

    // Opaque handle of the owning window, given to the notifier.
    void setOwnerWindow(void* window) { m_owner = window; }
    void* OwnerWindow() const { return m_owner; }

    TskBitmap Picture, InActivePicture, Mask;
    std::string PictureName, InActivePictureName, MaskName;
    std::vector<TskBitmap> ActivePictures;
    std::vector<std::string> ActivePictureNames;
    TskFormInfo FormInfo;
    TskPopupWindowData PopupWindow;
    TskHintWindowData HintWindow;
    std::string SkinName, SkinAuthor, AuthorEmail, AuthorURL, SkinComments;

private:
    void notify(int message);
    void reset();
    void readDescription(const TskIniFile& ini);
    void readEntries(const TskIniFile& ini, const char* section, bool objects);

    bool m_empty = true;
    uint64_t m_generation = 0;
    const TskCompressedStoredSkin* m_stored = nullptr;
    const TskResourceStrData* m_texts = nullptr;
    void* m_owner = nullptr;
    std::vector<TskSkinData**> m_watchers;
    std::vector<std::unique_ptr<TskDataSkinObject>> m_objects;
    std::vector<std::unique_ptr<TskDataSkinControl>> m_controls;
};

}  // namespace sk
