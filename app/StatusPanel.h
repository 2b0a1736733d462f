#pragma once
// One text panel of the status bar. The text is current at once; the screen
// follows within TRepaintThrottle's interval. GUI thread only.

#include <QFrame>
#include <QString>

#include "app/RepaintThrottle.h"

namespace app {

class TStatusPanel : public QFrame {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
public:
    explicit TStatusPanel(QWidget* parent = nullptr);
    QString text() const { return m_text; }
    void setText(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    TRepaintThrottle m_repaint{this};
};

}  // namespace app
