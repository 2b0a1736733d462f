#include "app/FSelectSearch.h"

#include <QCheckBox>
#include <QPushButton>

#include "app/DialogHelpers.h"

namespace app {

namespace {
QCheckBox* placeCheckBox(QWidget* parent, const char* name, const QString& text, int left, int top, int width) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(name);
    box->setGeometry(left, top, width, 20);
    return box;
}
}  // namespace

TfrmSelSearch::TfrmSelSearch(QWidget* parent) : QDialog(parent) {
    setObjectName("frmSelSearch");
    setWindowTitle("Select Search Type");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowSystemMenuHint | Qt::WindowTitleHint);
    fixClientSizeCentred(this, 480, 114);
    m_precise = placeCheckBox(this, "skSkinCheckRadioBox1",
                              "Precise Search Eg: \"golf clubs\" Should appear the word in the same order.", 11, 15, 397);
    m_precise->setChecked(true);
    placeCheckBox(this, "skSkinCheckRadioBox2",
                  "Broad Search Eg: golf clubs, any word no matther the order or position in the text.", 11, 41, 446);
    auto* ok = placeButton(this, "btnOk", "Ok", 161, 75, 81, 21);
    auto* cancel = placeButton(this, "btnCancel", "Cancel", 251, 75, 82, 21);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

SearchType TfrmSelSearch::searchType() const { return m_precise->isChecked() ? stPrecise : stBroad; }

}  // namespace app
