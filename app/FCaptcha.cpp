#include "app/FCaptcha.h"

#include <QLineEdit>
#include <QPushButton>
#include <QUrl>

#include "app/DialogHelpers.h"
#include "app/SecurityImagePage.h"
#include "app/SkinMessage.h"
#include "browser/BrowserHost.h"

namespace app {

TfrmCaptcha::TfrmCaptcha(const TskSkinMessage& messages, QWidget* parent) : QDialog(parent), m_messages(messages) {
    setObjectName("frmCaptcha");
    setWindowTitle("Security image");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowSystemMenuHint | Qt::WindowTitleHint);
    fixClientSizeCentred(this, 382, 257);
    placeLabel(this, "skSkinStdLabel2", "Please enter the characters in the image", 16, 8, 238, 16);
    m_browser = new browser::TBrowserHost(this);
    m_browser->setObjectName("BrowserHost1");
    m_browser->setGeometry(16, 32, 345, 137);
    m_browser->setDownloadOptions(browser::kDefaultDownloadOptions);
    m_browser->setUserInterfaceOptions(browser::kDefaultUserInterfaceOptions);
    m_password = placeEdit(this, "edtPassword", 16, 182, 345);
    m_password->resize(345, 18);
    auto* ok = placeButton(this, "btnOk", "Ok", 68, 210, 101, 26);
    auto* cancel = placeButton(this, "btnCancel", "Cancel", 177, 210, 101, 26);
    setTabOrder(m_password, ok);
    setTabOrder(ok, cancel);
    m_password->setFocus();
    connect(ok, &QPushButton::clicked, this, &TfrmCaptcha::btnOkClick);
    connect(cancel, &QPushButton::clicked, this, &TfrmCaptcha::btnCancelClick);
}

// FormShow runs before the modal loop rather than from the show event, so an
// error of the image view leaves through this call to the gathering.
int TfrmCaptcha::ShowModal() {
    FormShow();
    return exec();
}

void TfrmCaptcha::FormShow() { ShowSecurityImage(); }

void TfrmCaptcha::ShowSecurityImage() {
    const TSecurityImageFields fields = parseSecurityImagePage(PageText);
    RandomValue = fields.randomValue;
    SeedValue = fields.seedValue;
    ImageURL = fields.imageURL;
    QString address = QString::fromLocal8Bit(ImageURL);
    const QUrl base(QString::fromLocal8Bit(PageURL));
    if (!address.isEmpty() && base.isValid() && !base.isRelative())
        address = base.resolved(QUrl(address)).toString(QUrl::FullyEncoded);
    m_browser->Navigate(address);
}

std::string TfrmCaptcha::password() const { return m_password->text().toLocal8Bit().toStdString(); }

void TfrmCaptcha::btnOkClick() {
    if (m_password->text().isEmpty()) {
        m_messages.inform("Please enter a password.");
        return;
    }
    accept();
}

void TfrmCaptcha::btnCancelClick() { reject(); }

}  // namespace app
