#include "app/MainGauge.h"

#include <QPainter>
#include <algorithm>

#include "skin/skStyle.h"

namespace app {

TMainGauge::TMainGauge(QWidget* parent) : QWidget(parent) {}

void TMainGauge::setMinValue(int64_t minimum) {
    m_min = minimum;
    if (m_max < m_min) m_max = m_min;
    m_value = std::clamp(m_value, m_min, m_max);
    m_repaint.request();
}

void TMainGauge::setMaxValue(int64_t maximum) {
    m_max = maximum;
    if (m_min > m_max) m_min = m_max;
    m_value = std::clamp(m_value, m_min, m_max);
    m_repaint.request();
}

void TMainGauge::setValue(int64_t value) {
    const int64_t clamped = std::clamp(value, m_min, m_max);
    if (clamped == m_value) return;
    m_value = clamped;
    m_repaint.request();
}

int64_t TMainGauge::scaledRoundHalfEven(int64_t numerator, int64_t denominator, int64_t scale) {
    if (denominator <= 0) return 0;
    // 128-bit intermediate: byte counts times 100 may pass 2^63.
    const __int128 product = static_cast<__int128>(numerator) * scale;
    __int128 quotient = product / denominator;
    const __int128 twiceRemainder = (product % denominator) * 2;
    if (twiceRemainder > denominator || (twiceRemainder == denominator && (quotient % 2) != 0)) ++quotient;
    return static_cast<int64_t>(quotient);
}

int TMainGauge::percent() const {
    if (m_max == m_min) return 0;
    return static_cast<int>(scaledRoundHalfEven(m_value - m_min, m_max - m_min, 100));
}

QString TMainGauge::text() const { return QString::number(percent()) + QLatin1Char('%'); }

void TMainGauge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const double fraction = m_max == m_min ? 0.0 : double(m_value - m_min) / double(m_max - m_min);
    if (sk::drawSkinGauge(&painter, this, rect(), fraction, text())) return;
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    painter.fillRect(rect(), palette().base());
    const int64_t filled = m_max == m_min ? 0 : scaledRoundHalfEven(m_value - m_min, m_max - m_min, width());
    painter.fillRect(QRect(0, 0, static_cast<int>(filled), height()), palette().highlight());
    painter.setPen(palette().mid().color());
    painter.drawRect(frame);
    painter.setPen(palette().text().color());
    painter.drawText(rect(), Qt::AlignCenter, text());
}

}  // namespace app
