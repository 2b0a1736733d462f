#pragma once
// The application's message box: text, kind icon and caption, a row of
// buttons; modal, centred, returns the modal result of the button pressed.
// GUI thread only.

#include <QDialog>
#include <string>

class QPushButton;

namespace app {

enum MessageKind { mkWarning = 0, mkError = 1, mkInformation = 2, mkConfirmation = 3, mkCustom = 4 };

// Button bits, in display order.
enum MessageButton : unsigned {
    mbYes = 1u << 0, mbNo = 1u << 1, mbOK = 1u << 2, mbCancel = 1u << 3, mbAbort = 1u << 4, mbRetry = 1u << 5,
    mbIgnore = 1u << 6, mbAll = 1u << 7, mbNoToAll = 1u << 8, mbYesToAll = 1u << 9, mbHelp = 1u << 10
};
constexpr int mrOK = 1;
constexpr int mrCancel = 2;

// The dialog built for one call. Exposed so its layout can be inspected.
class TskMessageForm : public QDialog {
    Q_OBJECT
public:
    TskMessageForm(const QString& text, int kind, unsigned buttons, QWidget* parent = nullptr);
    static constexpr int kButtonWidth = 70;
    static constexpr int kButtonHeight = 25;
    static constexpr int kButtonGap = 10;

protected:
    void reject() override;  // Escape presses the cancel button

private:
    QPushButton* m_cancelButton = nullptr;
};

class TskSkinMessage {
public:
    // Shows the box modally and returns the modal result (1 OK, 2 Cancel ...).
    int ShowMessageBox(const std::string& text, int kind, int helpContext, unsigned buttons) const;
    // The two forms the application uses: information with OK, or OK + Cancel.
    int inform(const std::string& text) const { return ShowMessageBox(text, mkInformation, 0, mbOK); }
    int ask(const std::string& text) const { return ShowMessageBox(text, mkInformation, 0, mbOK | mbCancel); }
};

}  // namespace app
