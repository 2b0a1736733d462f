#pragma once
// Repaints a widget at most every kMinIntervalMs: the first change shows at
// once, changes in between are drawn together at the end of the interval.
// Progress texts change for every request and every received block; drawing
// each of them would cost more than the request itself. GUI thread only.

#include <QElapsedTimer>
#include <QTimer>

class QWidget;

namespace app {

class TRepaintThrottle {
public:
    static constexpr int kMinIntervalMs = 40;
    // widget must outlive the throttle (make it a member of the widget).
    explicit TRepaintThrottle(QWidget* widget);
    void request();

private:
    QWidget* m_widget;
    QElapsedTimer m_sinceLast;
    QTimer m_trailing;
};

}  // namespace app
