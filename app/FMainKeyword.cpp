#include "app/FMainKeyword.h"

#include <QLineEdit>
#include <QPushButton>

#include "app/DialogHelpers.h"
#include "app/SkinMessage.h"

namespace app {

TfrmMainKeyword::TfrmMainKeyword(const TskSkinMessage& messages, QWidget* parent)
    : QDialog(parent), m_messages(messages) {
    setObjectName("frmMainKeyword");
    setWindowTitle("Main Keyword");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowSystemMenuHint | Qt::WindowTitleHint);
    fixClientSizeCentred(this, 309, 109);
    placeLabel(this, "skSkinStdLabel1", "Please type the main keyword(s) Eg: golf, soccer:", 13, 13, 292, 16);
    m_edit = placeEdit(this, "edtMainKeyword", 13, 37, 280);
    m_edit->installEventFilter(this);
    auto* ok = placeButton(this, "btnOk", "Ok", 68, 67, 82, 21);
    auto* cancel = placeButton(this, "btnCancel", "Cancel", 157, 67, 82, 21);
    connect(ok, &QPushButton::clicked, this, &TfrmMainKeyword::btnOkClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString TfrmMainKeyword::mainKeyword() const { return m_edit->text(); }

void TfrmMainKeyword::btnOkClick() {
    if (m_edit->text().isEmpty()) {
        m_messages.inform("Please add a Main Keyword.");
        return;
    }
    accept();
}

bool TfrmMainKeyword::eventFilter(QObject* watched, QEvent* event) {
    // Enter in the edit box acts as Ok (edtMainKeywordKeyDown).
    if (watched == m_edit && isEnterKeyPress(event)) {
        btnOkClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace app
