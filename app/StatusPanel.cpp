#include "app/StatusPanel.h"

#include <QPainter>

namespace app {

TStatusPanel::TStatusPanel(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    setContentsMargins(2, 0, 2, 0);
}

void TStatusPanel::setText(const QString& text) {
    if (text == m_text) return;
    m_text = text;
    m_repaint.request();
}

void TStatusPanel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect area = contentsRect();
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(m_text, Qt::ElideRight, area.width()));
}

}  // namespace app
