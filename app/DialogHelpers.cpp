#include "app/DialogHelpers.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace app {

QLabel* placeLabel(QWidget* parent, const char* name, const QString& text, int left, int top, int width, int height) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(left, top);
    if (width > 0 && height > 0)
        label->resize(width, height);
    else
        label->adjustSize();
    return label;
}

QLineEdit* placeEdit(QWidget* parent, const char* name, int left, int top, int width) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(left, top, width, 21);
    return edit;
}

QPushButton* placeButton(QWidget* parent, const char* name, const QString& caption, int left, int top, int width,
                         int height) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(left, top, width, height);
    button->setAutoDefault(false);
    return button;
}

void fixClientSizeCentred(QWidget* window, int width, int height) {
    window->setFixedSize(width, height);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        window->move(area.x() + (area.width() - width) / 2, area.y() + (area.height() - height) / 2);
    }
}

bool isEnterKeyPress(const QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

}  // namespace app
