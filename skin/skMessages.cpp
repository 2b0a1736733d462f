#include "skin/skMessages.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <algorithm>
#include <bit>
#include <climits>

#include "skin/skSkinData.h"

namespace sk {

namespace {

struct ButtonInfo {
    const char* name;
    const char* key;
    const char* caption;
    int modalResult;
};

constexpr ButtonInfo kButtons[] = {
    {"Yes", "MSG_BTN_YES", "&Yes", 6},
    {"No", "MSG_BTN_NO", "&No", 7},
    {"OK", "MSG_BTN_OK", "OK", 1},
    {"Cancel", "MSG_BTN_CANCEL", "Cancel", 2},
    {"Abort", "MSG_BTN_ABORT", "&Abort", 3},
    {"Retry", "SK_MSG_BTN_RETRY", "&Retry", 4},
    {"Ignore", "MSG_BTN_IGNORE", "&Ignore", 5},
    {"All", "MSG_BTN_ALL", "&All", 8},
    {"NoToAll", "MSG_BTN_NOTOALL", "N&oToAll", 9},
    {"YesToAll", "MSG_BTN_YESTOALL", "&YesToAll", 10},
    {"Help", "MSG_BTN_HELP", "&Help", 0},
};
constexpr int kButtonCount = static_cast<int>(sizeof(kButtons) / sizeof(kButtons[0]));

struct KindInfo {
    const char* key;
    const char* caption;
    QStyle::StandardPixmap icon;
};

constexpr KindInfo kKinds[] = {
    {"MSG_CAP_WARNING", "Warning", QStyle::SP_MessageBoxWarning},
    {"MSG_CAP_ERROR", "Error", QStyle::SP_MessageBoxCritical},
    {"MSG_CAP_INFORMATION", "Information", QStyle::SP_MessageBoxInformation},
    {"MSG_CAP_CONFIRM", "Confirm", QStyle::SP_MessageBoxQuestion},
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

// A font of the design's "height": negative is the character height in pixels,
// positive the cell height.
QFont designFont(const char* family, int height) {
    QFont font(QString::fromLatin1(family));
    font.setPixelSize(height < 0 ? -height : std::max(1, height * 6 / 7));
    return font;
}

QRect screenArea() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
}

// Step 9: the skin frame's width limits.
int clampToFrame(int width, const TskSkinData* skin) {
    if (!skin || skin->Empty() || skin->Picture.empty()) return width;
    const TskFormInfo& f = skin->FormInfo;
    const int minimum = std::max(0, f.LTPoint.x) + std::max(0, skin->Picture.width - f.RTPoint.x);
    const int maximum = (f.TopStretch || f.BottomStretch) ? INT_MAX : skin->Picture.width;
    if (maximum < width) return maximum;
    return width < minimum ? minimum : width;
}

}  // namespace

QString TskMessageForm::wrapText(const QString& text, const QFontMetrics& metrics, int maxWidth) {
    maxWidth = std::max(maxWidth, metrics.horizontalAdvance(QLatin1Char('W')));
    QStringList out;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        QString line;
        const QStringList words = paragraph.split(QLatin1Char(' '));
        for (int i = 0; i < words.size(); ++i) {
            QString word = words[i];
            const QString candidate = line.isEmpty() && i == 0 ? word : line + QLatin1Char(' ') + word;
            if (metrics.horizontalAdvance(candidate) <= maxWidth) {
                line = candidate;
                continue;
            }
            if (!line.isEmpty() || i > 0) out << line;
            line.clear();
            // A word wider than a line on its own breaks anywhere.
            while (metrics.horizontalAdvance(word) > maxWidth) {
                int fit = 1;
                while (fit < word.size() && metrics.horizontalAdvance(word.left(fit + 1)) <= maxWidth) ++fit;
                out << word.left(fit);
                word = word.mid(fit);
            }
            line = word;
        }
        out << line;
    }
    return out.join(QLatin1Char('\n'));
}

QString TskMessageForm::keepEnds(const QString& lines, int maxLines) {
    const QStringList all = lines.split(QLatin1Char('\n'));
    if (maxLines < 3 || all.size() <= maxLines) return lines;
    const int tail = (maxLines - 1) / 2, head = maxLines - 1 - tail;
    return (all.mid(0, head) + QStringList{QStringLiteral("...")} + all.mid(all.size() - tail)).join(QLatin1Char('\n'));
}

void TskSkinStdLabel::setMessage(const QString& text, int maxWidth, int maxLines) {
    setText(text);
    m_display = TskMessageForm::keepEnds(TskMessageForm::wrapText(text, fontMetrics(), maxWidth), maxLines);
    updateGeometry();
}

QSize TskSkinStdLabel::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    const QStringList lines = m_display.split(QLatin1Char('\n'));
    int width = 0;
    for (const QString& line : lines) width = std::max(width, metrics.horizontalAdvance(line));
    return {width, int(lines.size()) * metrics.lineSpacing()};
}

void TskSkinStdLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics metrics = fontMetrics();
    int y = metrics.ascent();
    for (const QString& line : m_display.split(QLatin1Char('\n'))) {
        painter.drawText(0, y, line);
        y += metrics.lineSpacing();
    }
}

TskMessageForm::TskMessageForm(const TskSkinMessage& settings, const QString& text, int kind, unsigned buttons,
                               QWidget* parent)
    : QDialog(parent) {
    setObjectName("TskMessageForm");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    if (settings.AlphaBlend) setWindowOpacity(settings.AlphaBlendValue / 255.0);
    const bool known = kind >= 0 && kind < 4;
    setWindowTitle(known ? settings.text(kKinds[kind].key, kKinds[kind].caption) : QApplication::applicationDisplayName());

    const int buttonHeight = settings.buttonHeight();
    const int n = std::popcount(buttons & ((1u << kButtonCount) - 1));
    const int rowWidth = n > 0 ? kButtonWidth * n + kButtonGap * (n - 1) : 0;

    auto* label = new TskSkinStdLabel(this);
    label->setObjectName("Message");
    label->setProperty("skinDataName", settings.MessageLabelSkinDataName);
    label->setTextFormat(Qt::PlainText);
    label->setFont(settings.DefaultFont);
    const QRect screen = screenArea();
    const QFontMetrics metrics(label->font());
    const int maxLines = std::max(3, (screen.height() * 3 / 4 - buttonHeight - 50) / std::max(1, metrics.lineSpacing()));
    label->setMessage(text, screen.width() * 3 / 4, maxLines);
    label->move(50, 15);
    label->adjustSize();
    const int right = label->x() + label->width();

    auto* image = new QLabel(this);
    image->setObjectName("Image");
    if (known) image->setPixmap(style()->standardIcon(kKinds[kind].icon).pixmap(32, 32));
    image->setGeometry(5, std::max(10, label->y() + label->height() / 2 - 16), 32, 32);

    const int clientHeight = buttonHeight + label->height() + 50;
    const int clientWidth = clampToFrame(rowWidth < right ? right + 40 : rowWidth + 40, settings.SkinData());
    setFixedSize(clientWidth, clientHeight);

    const int defaultBit = defaultButtonBit(buttons), cancelBit = cancelButtonBit(buttons);
    int x = (clientWidth - rowWidth) / 2;
    for (int bit = 0; bit < kButtonCount; ++bit) {
        if (!(buttons & (1u << bit))) continue;
        auto* button = new QPushButton(settings.text(kButtons[bit].key, kButtons[bit].caption), this);
        button->setObjectName(kButtons[bit].name);
        button->setProperty("skinDataName", settings.ButtonSkinDataName);
        button->setFont(settings.DefaultButtonFont);
        button->setFocusPolicy(Qt::StrongFocus);
        button->setGeometry(x, clientHeight - buttonHeight - 10, kButtonWidth, buttonHeight);
        button->setDefault(bit == defaultBit);
        button->setAutoDefault(true);
        if (bit == cancelBit) m_cancelButton = button;
        const int result = kButtons[bit].modalResult;
        if (result != 0) connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
        if (bit == defaultBit) button->setFocus();
        x += kButtonWidth + kButtonGap;
    }
    move(screen.width() / 2 - width() / 2, screen.height() / 2 - height() / 2);
}

void TskMessageForm::reject() {
    // Only a button that can take the focus answers Escape.
    if (m_cancelButton && m_cancelButton->isEnabled() && m_cancelButton->focusPolicy() != Qt::NoFocus)
        m_cancelButton->click();
}

TskSkinMessage::TskSkinMessage()
    : DefaultFont(designFont("Arial", 14)), DefaultButtonFont(designFont("Arial", 14)) {}

TskSkinMessage::~TskSkinMessage() {
    setSkinData(nullptr);
    setCtrlSkinData(nullptr);
}

void TskSkinMessage::watch(TskSkinData*& slot, TskSkinData* data) {
    if (slot) slot->removeWatcher(&slot);
    slot = data;
    if (slot) slot->addWatcher(&slot);
}

int TskSkinMessage::buttonHeight() const {
    if (m_ctrlSkinData && !m_ctrlSkinData->Empty())
        if (const auto* e = m_ctrlSkinData->control<TskDataSkinButtonControl>(ButtonSkinDataName.toStdString()))
            return e->SkinRect.height();
    return TskMessageForm::kDefaultButtonHeight;
}

QString TskSkinMessage::text(const char* key, const char* builtIn) const {
    if (m_ctrlSkinData && m_ctrlSkinData->ResourceStrData())
        if (const std::string* found = m_ctrlSkinData->ResourceStrData()->find(key))
            return QString::fromLocal8Bit(*found);
    return QString::fromLatin1(builtIn);
}

int TskSkinMessage::ShowMessageBox(const std::string& text, int kind, int helpContext, unsigned buttons) const {
    TskMessageForm form(*this, QString::fromLocal8Bit(text), kind, buttons, QApplication::activeWindow());
    form.setProperty("helpContext", helpContext);
    return form.exec();
}

}  // namespace sk
