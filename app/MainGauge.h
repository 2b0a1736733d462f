#pragma once
// The status bar's progress gauge: a bar with the percentage written on it.
// GUI thread only.

#include <QWidget>
#include <cstdint>

#include "app/RepaintThrottle.h"

namespace app {

class TMainGauge : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY(TMainGauge)
public:
    explicit TMainGauge(QWidget* parent = nullptr);

    int64_t minValue() const { return m_min; }
    int64_t maxValue() const { return m_max; }
    int64_t value() const { return m_value; }
    // The value is kept inside [min, max]; lowering the maximum below the
    // value lowers the value with it.
    void setMinValue(int64_t minimum);
    void setMaxValue(int64_t maximum);
    void setValue(int64_t value);

    // 100 * (value - min) / (max - min) rounded half to even; 0 when max == min.
    int percent() const;
    // The text drawn on the gauge, e.g. "42%".
    QString text() const;

    // round(numerator * scale / denominator), halves to the even neighbour.
    static int64_t scaledRoundHalfEven(int64_t numerator, int64_t denominator, int64_t scale);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int64_t m_min = 0;
    int64_t m_max = 100;
    int64_t m_value = 0;
    TRepaintThrottle m_repaint{this};
};

}  // namespace app
