#pragma once
// Small builders shared by the fixed-layout dialogs.

#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;
class QEvent;

namespace app {

// Children placed at fixed positions, named so tests can find them.
QLabel* placeLabel(QWidget* parent, const char* name, const QString& text, int left, int top, int width = 0,
                   int height = 0);
QLineEdit* placeEdit(QWidget* parent, const char* name, int left, int top, int width);
QPushButton* placeButton(QWidget* parent, const char* name, const QString& caption, int left, int top, int width,
                         int height);
// A fixed client size, centred on the screen.
void fixClientSizeCentred(QWidget* window, int width, int height);
// True for an Enter or Return key press.
bool isEnterKeyPress(const QEvent* event);

}  // namespace app
