#include "app/FAddKeywords.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

#include "app/DialogHelpers.h"
#include "app/SkinMessage.h"

namespace app {

TfrmAddKeywords::TfrmAddKeywords(const TskSkinMessage& messages, QWidget* parent)
    : QDialog(parent), m_messages(messages),
      m_openDialog("skSkinOpenDialog1", "Open file", "Text files (*.txt)") {
    setObjectName("frmAddKeywords");
    setWindowTitle("Enter Keyword(s)");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowSystemMenuHint | Qt::WindowTitleHint);
    fixClientSizeCentred(this, 426, 147);
    placeLabel(this, "skSkinStdLabel1", "Please type keyword(s) Eg: golf, soccer:", 9, 13);
    m_keywordEdit = placeEdit(this, "edtAddKeyword", 9, 33, 326);
    placeLabel(this, "skSkinStdLabel2", "Or add a file with a keyword list (one group of keywords per line):", 9, 59);
    m_listEdit = placeEdit(this, "edtList", 9, 78, 326);
    auto* browse = placeButton(this, "btnBrowse", "Browse", 344, 77, 63, 21);
    auto* ok = placeButton(this, "btnOk", "Ok", 102, 107, 82, 21);
    auto* cancel = placeButton(this, "btnCancel", "Cancel", 190, 107, 82, 21);
    m_keywordEdit->installEventFilter(this);
    m_listEdit->installEventFilter(this);
    connect(browse, &QPushButton::clicked, this, &TfrmAddKeywords::btnBrowseClick);
    connect(ok, &QPushButton::clicked, this, &TfrmAddKeywords::btnOkClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString TfrmAddKeywords::keyword() const { return m_keywordEdit->text(); }
QString TfrmAddKeywords::listPath() const { return m_listEdit->text(); }

void TfrmAddKeywords::btnBrowseClick() {
    if (m_openDialog.Execute(this)) m_listEdit->setText(m_openDialog.FileName());
}

void TfrmAddKeywords::btnOkClick() {
    const bool hasKeyword = !m_keywordEdit->text().isEmpty();
    const bool hasList = !m_listEdit->text().isEmpty();
    if (hasKeyword && hasList) {
        m_messages.inform("Please select only one way to add keywords.");
        return;
    }
    if (hasList && !QFileInfo(m_listEdit->text()).isFile()) {
        m_messages.inform("Please select a valid file.");
        return;
    }
    accept();
}

bool TfrmAddKeywords::eventFilter(QObject* watched, QEvent* event) {
    // Enter in either box acts as Ok (edtAddKeywordKeyDown, edtListKeyDown).
    if ((watched == m_keywordEdit || watched == m_listEdit) && isEnterKeyPress(event)) {
        btnOkClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace app
