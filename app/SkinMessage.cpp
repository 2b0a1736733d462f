#include "app/SkinMessage.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <algorithm>
#include <bit>

namespace app {

namespace {

struct ButtonInfo {
    const char* name;
    const char* caption;
    int modalResult;
};

constexpr ButtonInfo kButtons[] = {
    {"Yes", "&Yes", 6},           {"No", "&No", 7},         {"OK", "OK", 1},         {"Cancel", "Cancel", 2},
    {"Abort", "&Abort", 3},       {"Retry", "&Retry", 4},   {"Ignore", "&Ignore", 5}, {"All", "&All", 8},
    {"NoToAll", "N&oToAll", 9},   {"YesToAll", "&YesToAll", 10}, {"Help", "&Help", 0},
};
constexpr int kButtonCount = static_cast<int>(sizeof(kButtons) / sizeof(kButtons[0]));

struct KindInfo {
    const char* caption;
    QStyle::StandardPixmap icon;
};

constexpr KindInfo kKinds[] = {
    {"Warning", QStyle::SP_MessageBoxWarning},
    {"Error", QStyle::SP_MessageBoxCritical},
    {"Information", QStyle::SP_MessageBoxInformation},
    {"Confirm", QStyle::SP_MessageBoxQuestion},
};

int defaultButtonBit(unsigned buttons) {
    if (buttons & mbOK) return 2;
    if (buttons & mbYes) return 0;
    return 5;
}

int cancelButtonBit(unsigned buttons) {
    if (buttons & mbCancel) return 3;
    if (buttons & mbNo) return 1;
    return 2;
}

}  // namespace

TskMessageForm::TskMessageForm(const QString& text, int kind, unsigned buttons, QWidget* parent) : QDialog(parent) {
    setObjectName("TskMessageForm");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    const bool known = kind >= 0 && kind < 4;
    setWindowTitle(known ? QString::fromLatin1(kKinds[kind].caption) : QApplication::applicationDisplayName());

    const int n = std::popcount(buttons & ((1u << kButtonCount) - 1));
    const int rowWidth = n > 0 ? kButtonWidth * n + kButtonGap * (n - 1) : 0;

    auto* label = new QLabel(text, this);
    label->setObjectName("Message");
    label->setTextFormat(Qt::PlainText);
    label->move(50, 15);
    label->adjustSize();
    const int right = label->x() + label->width();

    auto* image = new QLabel(this);
    image->setObjectName("Image");
    if (known) image->setPixmap(style()->standardIcon(kKinds[kind].icon).pixmap(32, 32));
    image->setGeometry(5, std::max(10, label->y() + label->height() / 2 - 16), 32, 32);

    const int clientHeight = kButtonHeight + label->height() + 50;
    const int clientWidth = rowWidth < right ? right + 40 : rowWidth + 40;
    setFixedSize(clientWidth, clientHeight);

    const int defaultBit = defaultButtonBit(buttons), cancelBit = cancelButtonBit(buttons);
    int x = (clientWidth - rowWidth) / 2;
    for (int bit = 0; bit < kButtonCount; ++bit) {
        if (!(buttons & (1u << bit))) continue;
        auto* button = new QPushButton(QString::fromLatin1(kButtons[bit].caption), this);
        button->setObjectName(kButtons[bit].name);
        button->setGeometry(x, clientHeight - kButtonHeight - 10, kButtonWidth, kButtonHeight);
        button->setDefault(bit == defaultBit);
        button->setAutoDefault(true);
        if (bit == cancelBit) m_cancelButton = button;
        const int result = kButtons[bit].modalResult;
        if (result != 0) connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
        if (bit == defaultBit) button->setFocus();
        x += kButtonWidth + kButtonGap;
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.width() / 2 - width() / 2, area.height() / 2 - height() / 2);
    }
}

void TskMessageForm::reject() {
    if (m_cancelButton && m_cancelButton->isEnabled()) m_cancelButton->click();
}

int TskSkinMessage::ShowMessageBox(const std::string& text, int kind, int /*helpContext*/, unsigned buttons) const {
    TskMessageForm form(QString::fromLocal8Bit(text), kind, buttons, QApplication::activeWindow());
    return form.exec();
}

}  // namespace app
