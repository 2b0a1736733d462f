#pragma once
// The Security image dialog: shows the image of one security-image page and
// collects the characters the user reads in it. It sends nothing itself.
// Created per attempt. GUI thread only.

#include <QDialog>
#include <string>

class QLineEdit;

namespace browser {
class TBrowserHost;
}  // namespace browser

namespace app {

class TskSkinMessage;

class TfrmCaptcha : public QDialog {
    Q_OBJECT
public:
    // messages must outlive the dialog.
    explicit TfrmCaptcha(const TskSkinMessage& messages, QWidget* parent = nullptr);

    // Set by the caller before ShowModal.
    std::string PageText;
    // The address the page came from: a relative image address is resolved
    // against it, or it could never load.
    std::string PageURL;
    // Filled by ShowSecurityImage.
    std::string RandomValue;
    std::string SeedValue;
    std::string ImageURL;

    // FormShow, then the modal loop; returns QDialog::Accepted (Ok) or
    // Rejected (Cancel). An address the image view refuses raises
    // browser::EBrowserHostError from here, before the dialog shows.
    int ShowModal();
    void FormShow();
    void ShowSecurityImage();
    // The typed characters in the locale's bytes.
    std::string password() const;
    browser::TBrowserHost& browserHost() const { return *m_browser; }

    void btnOkClick();
    void btnCancelClick();

private:
    const TskSkinMessage& m_messages;
    browser::TBrowserHost* m_browser;
    QLineEdit* m_password;
};

}  // namespace app
