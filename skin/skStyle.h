#pragma once
// The Qt style that draws from the skin in force: a proxy over Fusion that
// draws buttons, panels, labels, edits, check boxes, the list's header and
// rows, scroll bars, combo boxes, status panels and gauges from the pictures
// of the skin's entries (corners kept, sides and middle stretched or tiled).
// Where an entry is missing, the plain Fusion drawing stays.
// A widget names its entry with the dynamic property "skinDataName"; without
// it the style picks one by the widget's class (QPushButton "button" ...).
// GUI thread only.

#include <QPixmap>
#include <QProxyStyle>
#include <vector>

#include "skin/skEntries.h"

namespace sk {

class TskSkinData;

class TskSkinStyle : public QProxyStyle {
    Q_OBJECT
public:
    // skin must outlive the style.
    explicit TskSkinStyle(const TskSkinData* skin);

    const TskSkinData* skinData() const { return m_skin; }
    // The entry name a widget draws with ("" when it has none).
    static QString entryNameFor(const QWidget* widget);
    // The control entry of a widget when it is of class T (with the fallbacks
    // "hscrollbar"/"vscrollbar" -> "scrollbar", "toolcombobox" -> "combobox").
    template <class T>
    const T* entryFor(const QWidget* widget) const {
        return dynamic_cast<const T*>(findEntry(entryNameFor(widget)));
    }
    // Draws source of entry's picture into target: corners kept, sides and
    // middle stretched or tiled per the entry's flags. False (nothing drawn)
    // when the picture or rectangle is missing or lies outside the picture.
    bool drawPiece(QPainter* painter, const QRect& target, const TskDataSkinEntry& entry, const TskRect& source,
                   const TskFramePieces* pieces) const;
    // A gauge drawn from the widget's gauge entry; false when it has none.
    bool drawGauge(QPainter* painter, const QWidget* widget, const QRect& rect, double fraction,
                   const QString& text) const;

    QPalette standardPalette() const override;
    void polish(QWidget* widget) override;
    void polish(QPalette& palette) override;
    void polish(QApplication* application) override { QProxyStyle::polish(application); }
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const TskDataSkinControl* findEntry(const QString& name) const;
    const QPixmap* picture(int index) const;
    void refresh() const;
    bool drawScrollBar(const QStyleOptionComplex* option, QPainter* painter, const QWidget* widget) const;
    bool drawComboBox(const QStyleOptionComplex* option, QPainter* painter, const QWidget* widget) const;
    bool drawIndicator(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const;
    void skinChangeComplete();

    const TskSkinData* m_skin;
    mutable std::vector<QPixmap> m_pictures;
    mutable uint64_t m_generation = ~uint64_t(0);
};

// Draws a gauge with the application's skinned style when it has an entry
// for widget; false when the caller is to draw it itself.
bool drawSkinGauge(QPainter* painter, const QWidget* widget, const QRect& rect, double fraction, const QString& text);

}  // namespace sk
