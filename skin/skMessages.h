#pragma once
// The skinned message box: text, kind icon and caption, a row of buttons;
// modal, centred on the screen, drawn with the skin in force; returns the
// modal result of the button pressed. GUI thread only.
// Unlike a label sized to any text, the message wraps at three quarters of
// the screen width (a word longer than that breaks anywhere) and keeps its
// first and last lines when it would be taller than three quarters of the
// screen, so every box fits the screen.

#include <QDialog>
#include <QFont>
#include <QLabel>
#include <QString>
#include <string>

class QPushButton;

namespace sk {

class TskSkinData;

enum MessageKind { mkWarning = 0, mkError = 1, mkInformation = 2, mkConfirmation = 3, mkCustom = 4 };

// Button bits, in display order.
enum MessageButton : unsigned {
    mbYes = 1u << 0, mbNo = 1u << 1, mbOK = 1u << 2, mbCancel = 1u << 3, mbAbort = 1u << 4, mbRetry = 1u << 5,
    mbIgnore = 1u << 6, mbAll = 1u << 7, mbNoToAll = 1u << 8, mbYesToAll = 1u << 9, mbHelp = 1u << 10
};
constexpr int mrOK = 1;
constexpr int mrCancel = 2;

class TskSkinMessage;

// The message label: text() is the message as given; it shows the message
// wrapped to a width and cut to a number of lines (see TskMessageForm).
class TskSkinStdLabel : public QLabel {
    Q_OBJECT
public:
    explicit TskSkinStdLabel(QWidget* parent = nullptr) : QLabel(parent) {}
    void setMessage(const QString& text, int maxWidth, int maxLines);
    const QString& displayText() const { return m_display; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_display;
};

// The dialog built for one call. Exposed so its layout can be inspected.
class TskMessageForm : public QDialog {
    Q_OBJECT
public:
    TskMessageForm(const TskSkinMessage& settings, const QString& text, int kind, unsigned buttons,
                   QWidget* parent = nullptr);
    static constexpr int kButtonWidth = 70;
    static constexpr int kDefaultButtonHeight = 25;
    static constexpr int kButtonGap = 10;

    // Lines of text no wider than maxWidth: breaks at spaces, and anywhere
    // inside a word that is wider than maxWidth on its own.
    static QString wrapText(const QString& text, const QFontMetrics& metrics, int maxWidth);
    // At most maxLines lines: the first and last ones around a "..." line.
    static QString keepEnds(const QString& lines, int maxLines);

protected:
    void reject() override;  // Escape presses the cancel button

private:
    QPushButton* m_cancelButton = nullptr;
};

class TskSkinMessage {
public:
    TskSkinMessage();
    virtual ~TskSkinMessage();
    TskSkinMessage(const TskSkinMessage&) = delete;
    TskSkinMessage& operator=(const TskSkinMessage&) = delete;

    // Builds the dialog, shows it modally, frees it; the modal result (1 OK, 2 Cancel ...).
    int ShowMessageBox(const std::string& text, int kind, int helpContext, unsigned buttons) const;
    // The two forms the application uses: information with OK, or OK + Cancel.
    int inform(const std::string& text) const { return ShowMessageBox(text, mkInformation, 0, mbOK); }
    int ask(const std::string& text) const { return ShowMessageBox(text, mkInformation, 0, mbOK | mbCancel); }

    // The dialog's frame, and its label, buttons and texts. Either pointer is
    // cleared when the skin data it names is destroyed.
    TskSkinData* SkinData() const { return m_skinData; }
    TskSkinData* CtrlSkinData() const { return m_ctrlSkinData; }
    void setSkinData(TskSkinData* data) { watch(m_skinData, data); }
    void setCtrlSkinData(TskSkinData* data) { watch(m_ctrlSkinData, data); }

    // Published properties.
    QString ButtonSkinDataName = QStringLiteral("button");
    QString MessageLabelSkinDataName = QStringLiteral("stdlabel");
    QFont DefaultFont, DefaultButtonFont;  // "Arial", height 14
    bool UseSkinFont = true;
    bool AlphaBlend = false;
    bool AlphaBlendAnimation = false;
    int AlphaBlendValue = 200;

    // The button height of step 2: the skin's button entry, else 25.
    int buttonHeight() const;
    // A text of the resource texts of CtrlSkinData, else the built-in one.
    QString text(const char* key, const char* builtIn) const;

private:
    void watch(TskSkinData*& slot, TskSkinData* data);
    TskSkinData* m_skinData = nullptr;
    TskSkinData* m_ctrlSkinData = nullptr;
};

}  // namespace sk
