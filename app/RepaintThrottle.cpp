#include "app/RepaintThrottle.h"

#include <QWidget>

namespace app {

TRepaintThrottle::TRepaintThrottle(QWidget* widget) : m_widget(widget) {
    m_trailing.setSingleShot(true);
    QObject::connect(&m_trailing, &QTimer::timeout, [this] {
        m_widget->update();
        m_sinceLast.restart();
    });
}

void TRepaintThrottle::request() {
    if (!m_sinceLast.isValid() || m_sinceLast.elapsed() >= kMinIntervalMs) {
        m_widget->update();
        m_sinceLast.restart();
        return;
    }
    if (!m_trailing.isActive()) m_trailing.start(static_cast<int>(kMinIntervalMs - m_sinceLast.elapsed()));
}

}  // namespace app
