#include "skin/skStyle.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyleFactory>
#include <QStyleOption>
#include <qdrawutil.h>

#include "skin/skSkinData.h"
#include "skin/skSkinEvents.h"

namespace sk {

namespace {

QColor fromBGR(int c) { return QColor(c & 255, (c >> 8) & 255, (c >> 16) & 255); }

// Corner sizes of a piece, clamped to the rectangle.
QMargins pieceMargins(const TskFramePieces* p, int w, int h) {
    if (!p) return {};
    int l = std::clamp(p->leftTop.x, 0, w), t = std::clamp(p->leftTop.y, 0, h);
    int r = p->rightBottom.x > 0 ? std::clamp(w - p->rightBottom.x, 0, w) : 0;
    int b = p->rightBottom.y > 0 ? std::clamp(h - p->rightBottom.y, 0, h) : 0;
    if (l + r > w) l = r = 0;
    if (t + b > h) t = b = 0;
    return {l, t, r, b};
}

// The corners shrink with a target smaller than they are.
QMargins fitted(QMargins m, const QSize& target) {
    if (m.left() + m.right() > target.width()) {
        const int sum = m.left() + m.right();
        m.setLeft(target.width() * m.left() / sum);
        m.setRight(target.width() - m.left());
    }
    if (m.top() + m.bottom() > target.height()) {
        const int sum = m.top() + m.bottom();
        m.setTop(target.height() * m.top() / sum);
        m.setBottom(target.height() - m.top());
    }
    return m;
}

const TskRect& either(const TskRect& wanted, const TskRect& fallback) { return wanted.isEmpty() ? fallback : wanted; }

bool inside(const QWidget* w, const char* className) {
    for (; w; w = w->parentWidget())
        if (w->inherits(className)) return true;
    return false;
}

}  // namespace

TskSkinStyle::TskSkinStyle(const TskSkinData* skin) : QProxyStyle(QStyleFactory::create("Fusion")), m_skin(skin) {
    if (qApp) qApp->installEventFilter(this);
}

QString TskSkinStyle::entryNameFor(const QWidget* w) {
    if (!w) return {};
    const QVariant named = w->property("skinDataName");
    if (named.isValid()) return named.toString();
    if (w->inherits("app::TMainGauge")) return QStringLiteral("statusgauge");
    if (w->inherits("app::TStatusPanel")) return QStringLiteral("statuspanel");
    if (qobject_cast<const QProgressBar*>(w)) return QStringLiteral("gauge");
    if (qobject_cast<const QCheckBox*>(w) || qobject_cast<const QRadioButton*>(w)) return QStringLiteral("checkradio");
    if (qobject_cast<const QPushButton*>(w)) return QStringLiteral("button");
    if (qobject_cast<const QLineEdit*>(w)) return QStringLiteral("edit");
    if (qobject_cast<const QComboBox*>(w))
        return inside(w, "QFileDialog") ? QStringLiteral("toolcombobox") : QStringLiteral("combobox");
    if (const auto* bar = qobject_cast<const QScrollBar*>(w))
        return bar->orientation() == Qt::Horizontal ? QStringLiteral("hscrollbar") : QStringLiteral("vscrollbar");
    if (qobject_cast<const QHeaderView*>(w) || qobject_cast<const QAbstractItemView*>(w))
        return QStringLiteral("listview");
    if (qobject_cast<const QLabel*>(w)) return QStringLiteral("stdlabel");
    if (qobject_cast<const QStatusBar*>(w)) return QStringLiteral("statusbar");
    if (qobject_cast<const QFrame*>(w)) return QStringLiteral("panel");
    return {};
}

const TskDataSkinControl* TskSkinStyle::findEntry(const QString& name) const {
    if (!m_skin || m_skin->Empty() || name.isEmpty()) return nullptr;
    const std::string key = name.toStdString();
    int i = m_skin->FindControlEntry(key);
    if (i < 0 && (key == "hscrollbar" || key == "vscrollbar")) i = m_skin->FindControlEntry("scrollbar");
    if (i < 0 && key == "toolcombobox") i = m_skin->FindControlEntry("combobox");
    return m_skin->ControlEntry(i);
}

void TskSkinStyle::refresh() const {
    if (!m_skin || m_generation == m_skin->Generation()) return;
    m_generation = m_skin->Generation();
    m_pictures.clear();
    for (const TskBitmap& b : m_skin->ActivePictures) {
        const QImage image(reinterpret_cast<const uchar*>(b.pixels.data()), b.width, b.height, b.width * 4,
                           QImage::Format_ARGB32);
        m_pictures.push_back(QPixmap::fromImage(image.convertToFormat(QImage::Format_ARGB32_Premultiplied)));
    }
}

const QPixmap* TskSkinStyle::picture(int index) const {
    refresh();
    return index >= 0 && size_t(index) < m_pictures.size() ? &m_pictures[size_t(index)] : nullptr;
}

bool TskSkinStyle::drawPiece(QPainter* painter, const QRect& target, const TskDataSkinEntry& entry,
                             const TskRect& source, const TskFramePieces* pieces) const {
    const QPixmap* pixmap = picture(entry.PictureIndex);
    const QRect src(source.left, source.top, source.width(), source.height());
    if (!pixmap || src.isEmpty() || !pixmap->rect().contains(src) || target.isEmpty()) return false;
    const QMargins m = pieceMargins(pieces, src.width(), src.height());
    if (m.isNull()) {
        painter->drawPixmap(target, *pixmap, src);
        return true;
    }
    const QTileRules rules(pieces->topStretch ? Qt::StretchTile : Qt::RepeatTile,
                           pieces->leftStretch ? Qt::StretchTile : Qt::RepeatTile);
    qDrawBorderPixmap(painter, target, fitted(m, target.size()), *pixmap, src, m, rules);
    return true;
}

bool TskSkinStyle::drawGauge(QPainter* painter, const QWidget* widget, const QRect& rect, double fraction,
                             const QString& text) const {
    const auto* e = entryFor<TskDataSkinGaugeControl>(widget);
    if (!e || !drawPiece(painter, rect, *e, e->SkinRect, &e->Frame)) return false;
    const QRect inner = rect.adjusted(e->ProgressOffsets.x, e->ProgressOffsets.y, -e->ProgressOffsets.x,
                                      -e->ProgressOffsets.y);
    const int filled = int(inner.width() * std::clamp(fraction, 0.0, 1.0) + 0.5);
    if (filled > 0) drawPiece(painter, QRect(inner.left(), inner.top(), filled, inner.height()), *e, e->ProgressRect, nullptr);
    if (!text.isEmpty()) {
        painter->save();
        painter->setPen(fromBGR(e->Font.colour));
        painter->drawText(rect, Qt::AlignCenter, text);
        painter->restore();
    }
    return true;
}

QPalette TskSkinStyle::standardPalette() const {
    QPalette p = baseStyle()->standardPalette();
    if (!m_skin || m_skin->Empty()) return p;
    auto set = [&](QPalette::ColorRole role, int bgr) {
        if (bgr >= 0) p.setColor(QPalette::All, role, fromBGR(bgr));
    };
    if (const auto* panel = m_skin->control<TskDataSkinPanelControl>("panel")) {
        set(QPalette::Window, panel->BGColor);
        set(QPalette::WindowText, panel->Font.colour);
    }
    if (const auto* label = m_skin->control<TskDataSkinStdLabelControl>("stdlabel")) set(QPalette::WindowText, label->Font.colour);
    if (const auto* edit = m_skin->control<TskDataSkinEditControl>("edit")) {
        set(QPalette::Text, edit->Font.colour);
        p.setColor(QPalette::Disabled, QPalette::Text, fromBGR(edit->DisabledFontColor));
    }
    if (const auto* button = m_skin->control<TskDataSkinButtonControl>("button")) {
        set(QPalette::ButtonText, button->Font.colour);
        p.setColor(QPalette::All, QPalette::Button, QColor(Qt::white));
        p.setColor(QPalette::Disabled, QPalette::ButtonText, fromBGR(button->DisabledFontColor));
        p.setColor(QPalette::Disabled, QPalette::WindowText, fromBGR(button->DisabledFontColor));
    }
    if (const auto* list = m_skin->control<TskDataSkinListView>("listview")) {
        set(QPalette::Base, list->BGColor);
        set(QPalette::AlternateBase, list->AlternateColor);
        set(QPalette::Highlight, list->SelectionColor);
        set(QPalette::HighlightedText, list->SelectionFontColor);
        set(QPalette::Mid, list->GridColor);
    }
    return p;
}

void TskSkinStyle::polish(QPalette& palette) {
    palette = standardPalette();
}

void TskSkinStyle::polish(QWidget* widget) {
    QProxyStyle::polish(widget);
    if (qobject_cast<QHeaderView*>(widget) || qobject_cast<QAbstractButton*>(widget) ||
        qobject_cast<QComboBox*>(widget) || qobject_cast<QScrollBar*>(widget) || qobject_cast<QLineEdit*>(widget))
        widget->setAttribute(Qt::WA_Hover);
}

bool TskSkinStyle::drawIndicator(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                 const QWidget* widget) const {
    const auto* e = entryFor<TskDataSkinCheckRadioControl>(widget);
    if (!e) e = dynamic_cast<const TskDataSkinCheckRadioControl*>(findEntry(QStringLiteral("checkradio")));
    if (!e) return false;
    const QStyle::State s = option->state;
    const bool on = s & (State_On | State_NoChange);
    TskRect r;
    if (element == PE_IndicatorRadioButton)
        r = on ? e->RadioCheckImageRect : e->RadioUnCheckImageRect;
    else if (!(s & State_Enabled))
        r = on ? e->CheckedDisabledRect : e->UnCheckedDisabledRect;
    else if (s & State_MouseOver)
        r = on ? e->ActiveCheckImageRect : e->ActiveUnCheckImageRect;
    if (r.isEmpty()) r = on ? e->CheckImageRect : e->UnCheckImageRect;
    const int side = std::min({option->rect.width(), option->rect.height(), r.width()});
    QRect target(0, 0, side, side);
    target.moveCenter(option->rect.center());
    return drawPiece(painter, target, *e, r, nullptr);
}

void TskSkinStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                 const QWidget* widget) const {
    switch (element) {
        case PE_PanelButtonCommand:
            if (const auto* e = entryFor<TskDataSkinButtonControl>(widget)) {
                const QStyle::State s = option->state;
                const TskRect* r = &e->SkinRect;
                if (!(s & State_Enabled))
                    r = &either(e->DisabledSkinRect, e->SkinRect);
                else if (s & (State_Sunken | State_On))
                    r = &either(e->DownSkinRect, e->SkinRect);
                else if (s & State_MouseOver)
                    r = &either(e->ActiveSkinRect, e->SkinRect);
                else if (s & State_HasFocus)
                    r = &either(e->FocusedSkinRect, e->SkinRect);
                if (drawPiece(painter, option->rect, *e, *r, &e->Frame)) return;
            }
            break;
        case PE_FrameFocusRect:
        case PE_FrameDefaultButton:
            if (qobject_cast<const QPushButton*>(widget) && entryFor<TskDataSkinButtonControl>(widget)) return;
            break;
        case PE_PanelLineEdit:
            if (const auto* e = entryFor<TskDataSkinEditControl>(widget)) {
                const TskRect& r = !(option->state & State_Enabled) ? either(e->DisabledSkinRect, e->SkinRect)
                                   : (option->state & State_HasFocus) ? either(e->ActiveSkinRect, e->SkinRect)
                                                                       : e->SkinRect;
                if (drawPiece(painter, option->rect, *e, r, &e->Frame)) return;
            }
            break;
        case PE_IndicatorCheckBox:
        case PE_IndicatorItemViewItemCheck:
        case PE_IndicatorRadioButton:
            if (drawIndicator(element, option, painter, widget)) return;
            break;
        default:
            break;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void TskSkinStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                               const QWidget* widget) const {
    switch (element) {
        case CE_PushButtonLabel:
            if (const auto* e = entryFor<TskDataSkinButtonControl>(widget)) {
                QStyleOptionButton copy = *qstyleoption_cast<const QStyleOptionButton*>(option);
                const QStyle::State s = option->state;
                const int colour = !(s & State_Enabled)             ? e->DisabledFontColor
                                   : (s & (State_Sunken | State_On)) ? e->DownFontColor
                                   : (s & State_MouseOver)           ? e->ActiveFontColor
                                                                     : e->Font.colour;
                copy.palette.setColor(QPalette::ButtonText, fromBGR(colour));
                QProxyStyle::drawControl(element, &copy, painter, widget);
                return;
            }
            break;
        case CE_HeaderSection:
        case CE_HeaderEmptyArea:
            if (const auto* e = entryFor<TskDataSkinListView>(widget)) {
                const QStyle::State s = option->state;
                const TskRect& r = element == CE_HeaderEmptyArea ? e->HeaderRect
                                   : (s & State_Sunken)          ? either(e->DownHeaderRect, e->HeaderRect)
                                   : (s & State_MouseOver)       ? either(e->ActiveHeaderRect, e->HeaderRect)
                                                                 : e->HeaderRect;
                TskFramePieces pieces;
                pieces.leftTop = {e->HeaderOffsets.x, 0};
                pieces.rightBottom = {r.width() - e->HeaderOffsets.y, r.height()};
                pieces.topStretch = pieces.leftStretch = true;
                if (drawPiece(painter, option->rect, *e, r, &pieces)) return;
            }
            break;
        case CE_HeaderLabel:
            if (const auto* e = entryFor<TskDataSkinListView>(widget)) {
                QStyleOptionHeader copy = *qstyleoption_cast<const QStyleOptionHeader*>(option);
                copy.palette.setColor(QPalette::ButtonText, fromBGR(e->HeaderFontColor));
                QProxyStyle::drawControl(element, &copy, painter, widget);
                return;
            }
            break;
        case CE_ShapedFrame:
            if (const auto* frame = qobject_cast<const QFrame*>(widget)) {
                const int shape = frame->frameShape();
                const bool boxed = shape == QFrame::Box || shape == QFrame::Panel || shape == QFrame::StyledPanel ||
                                   shape == QFrame::WinPanel;
                const auto* e = boxed ? dynamic_cast<const TskDataSkinCustomControl*>(findEntry(entryNameFor(widget)))
                                      : nullptr;
                // The whole widget: a frame's own rectangle moves with its contents margins.
                if (e && drawPiece(painter, frame->rect(), *e, e->SkinRect, &e->Frame)) return;
            }
            break;
        case CE_ProgressBar:
            if (const auto* bar = qstyleoption_cast<const QStyleOptionProgressBar*>(option)) {
                const double span = double(bar->maximum) - bar->minimum;
                const double fraction = span > 0 ? (bar->progress - bar->minimum) / span : 0.0;
                if (drawGauge(painter, widget, option->rect, fraction, bar->textVisible ? bar->text : QString()))
                    return;
            }
            break;
        default:
            break;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

bool TskSkinStyle::drawScrollBar(const QStyleOptionComplex* option, QPainter* painter, const QWidget* widget) const {
    const auto* so = qstyleoption_cast<const QStyleOptionSlider*>(option);
    const auto* e = entryFor<TskDataSkinScrollBarControl>(widget);
    if (!so || !e) return false;
    if (!drawPiece(painter, option->rect, *e, either(e->TrackArea, e->SkinRect), &e->Frame)) return false;
    const QStyle::State s = option->state;
    auto stateRect = [&](SubControl part, const TskRect& normal, const TskRect& hover, const TskRect& down) {
        if (!(so->activeSubControls & part)) return normal;
        if (s & State_Sunken) return either(down, normal);
        if (s & State_MouseOver) return either(hover, normal);
        return normal;
    };
    const QRect sub = subControlRect(CC_ScrollBar, so, SC_ScrollBarSubLine, widget);
    const QRect add = subControlRect(CC_ScrollBar, so, SC_ScrollBarAddLine, widget);
    const QRect thumb = subControlRect(CC_ScrollBar, so, SC_ScrollBarSlider, widget);
    drawPiece(painter, sub, *e, stateRect(SC_ScrollBarSubLine, e->UpButtonRect, e->ActiveUpButtonRect, e->DownUpButtonRect),
              nullptr);
    drawPiece(painter, add, *e,
              stateRect(SC_ScrollBarAddLine, e->DownButtonRect, e->ActiveDownButtonRect, e->DownDownButtonRect), nullptr);
    if (so->maximum > so->minimum && thumb.isValid()) {
        const TskRect r = stateRect(SC_ScrollBarSlider, e->ThumbRect, e->ActiveThumbRect, e->DownThumbRect);
        TskFramePieces pieces;
        pieces.topStretch = pieces.leftStretch = true;
        if (so->orientation == Qt::Vertical) {
            pieces.leftTop = {0, e->ThumbOffsets.x};
            pieces.rightBottom = {r.width(), r.height() - e->ThumbOffsets.y};
        } else {
            pieces.leftTop = {e->ThumbOffsets.x, 0};
            pieces.rightBottom = {r.width() - e->ThumbOffsets.y, r.height()};
        }
        drawPiece(painter, thumb, *e, r, &pieces);
    }
    return true;
}

bool TskSkinStyle::drawComboBox(const QStyleOptionComplex* option, QPainter* painter, const QWidget* widget) const {
    const auto* e = entryFor<TskDataSkinComboBox>(widget);
    if (!e) return false;
    const QStyle::State s = option->state;
    const TskRect& frame = (s & (State_HasFocus | State_MouseOver)) ? either(e->ActiveSkinRect, e->SkinRect) : e->SkinRect;
    if (!drawPiece(painter, option->rect, *e, frame, &e->Frame)) return false;
    const QRect arrow = subControlRect(CC_ComboBox, option, SC_ComboBoxArrow, widget);
    const bool onArrow = option->activeSubControls & SC_ComboBoxArrow;
    const TskRect& button = (s & State_Sunken) && onArrow ? either(e->DownButtonRect, e->ButtonRect)
                            : (s & State_MouseOver)       ? either(e->ActiveButtonRect, e->ButtonRect)
                                                          : e->ButtonRect;
    const QRect target(arrow.left(), option->rect.top() + 1, arrow.width(), option->rect.height() - 2);
    drawPiece(painter, target.intersected(option->rect.adjusted(1, 1, -1, -1)), *e, button, nullptr);
    return true;
}

void TskSkinStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                                      const QWidget* widget) const {
    if (control == CC_ScrollBar && drawScrollBar(option, painter, widget)) return;
    if (control == CC_ComboBox && drawComboBox(option, painter, widget)) return;
    QProxyStyle::drawComplexControl(control, option, painter, widget);
}

int TskSkinStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const {
    if (metric == PM_ScrollBarExtent) {
        if (const auto* bar = qobject_cast<const QScrollBar*>(widget))
            if (const auto* e = entryFor<TskDataSkinScrollBarControl>(widget)) {
                const int extent = bar->orientation() == Qt::Horizontal ? e->SkinRect.height() : e->SkinRect.width();
                if (extent > 0) return extent;
            }
    }
    if ((metric == PM_IndicatorWidth || metric == PM_IndicatorHeight) && findEntry(QStringLiteral("checkradio"))) {
        const auto* e = dynamic_cast<const TskDataSkinCheckRadioControl*>(findEntry(QStringLiteral("checkradio")));
        const int side = e ? e->CheckImageRect.width() : 0;
        if (side > 0) return side;
    }
    return QProxyStyle::pixelMetric(metric, option, widget);
}

bool TskSkinStyle::eventFilter(QObject* watched, QEvent* event) {
    if (TskSkinEvent::isSkinEvent(event)) {
        const auto* skinEvent = static_cast<const TskSkinEvent*>(event);
        if (skinEvent->skinData() == m_skin) {
            if (skinEvent->message() == kSkinChanged) refresh();
            if (skinEvent->message() == kSkinChangeComplete) {
                // The first window to hear it brings the palette; each window then re-lays out and repaints.
                if (QApplication::palette() != standardPalette()) QApplication::setPalette(standardPalette());
                if (auto* window = qobject_cast<QWidget*>(watched)) {
                    const QList<QWidget*> children = window->findChildren<QWidget*>();
                    for (QWidget* w : children) {
                        QEvent change(QEvent::StyleChange);
                        QApplication::sendEvent(w, &change);
                        w->update();
                    }
                    window->update();
                }
            }
        }
    }
    return QProxyStyle::eventFilter(watched, event);
}

bool drawSkinGauge(QPainter* painter, const QWidget* widget, const QRect& rect, double fraction, const QString& text) {
    const auto* style = qobject_cast<const TskSkinStyle*>(widget ? widget->style() : nullptr);
    return style && style->drawGauge(painter, widget, rect, fraction, text);
}

}  // namespace sk
