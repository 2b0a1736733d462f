#pragma once
// The Main Keyword dialog: asks for the seed keyword. Created per use.
// GUI thread only.

#include <QDialog>

class QLineEdit;

namespace app {

class TskSkinMessage;

class TfrmMainKeyword : public QDialog {
    Q_OBJECT
public:
    // messages must outlive the dialog.
    explicit TfrmMainKeyword(const TskSkinMessage& messages, QWidget* parent = nullptr);
    QString mainKeyword() const;

    void btnOkClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const TskSkinMessage& m_messages;
    QLineEdit* m_edit;
};

}  // namespace app
