#include "app/StatusPanel.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "GuiTestSupport.h"

namespace {

// Counts paints and remembers the text shown by the last one.
class PaintWatcher : public QObject {
public:
    explicit PaintWatcher(app::TStatusPanel& panel) : m_panel(panel) { panel.installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
            shownText = m_panel.text();
        }
        return false;
    }
    int paints = 0;
    QString shownText;

private:
    app::TStatusPanel& m_panel;
};

void pumpFor(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

}  // namespace

TEST(StatusPanel, TextIsCurrentAtOnceAndTheScreenFollowsWithoutPaintingEveryChange) {
    testsupport::ensureApp();
    app::TStatusPanel panel;
    panel.resize(300, 17);
    panel.show();
    pumpFor(60);
    PaintWatcher watcher(panel);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 200; ++i) {
        panel.setText(QString("Getting URL: %1...").arg(i));
        EXPECT_EQ(panel.text(), QString("Getting URL: %1...").arg(i));
        QApplication::processEvents();
    }
    panel.setText("Process completed sucessfull!");
    pumpFor(2 * app::TRepaintThrottle::kMinIntervalMs + 20);
    // 201 changes, but at most one paint per interval (plus the first and the last).
    const auto allowed = clock.elapsed() / app::TRepaintThrottle::kMinIntervalMs + 2;
    EXPECT_LE(watcher.paints, allowed);
    EXPECT_LT(watcher.paints, 201);
    EXPECT_GE(watcher.paints, 1);
    EXPECT_EQ(watcher.shownText, "Process completed sucessfull!");  // the last change is always drawn
}
