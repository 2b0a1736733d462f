// The Security image dialog: its layout, what it reads from a page, where it
// points its image view, and its two buttons.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ExpectThrow.h"
#include "GuiTestSupport.h"
#include "app/FCaptcha.h"
#include "app/SecurityImagePage.h"
#include "app/SkinMessage.h"
#include "browser/BrowserHost.h"

using namespace app;
using testsupport::onNextModal;

namespace {

class CaptchaTest : public ::testing::Test {
protected:
    void SetUp() override { testsupport::ensureApp(); }
    // A dialog that has read page, sent from pageUrl.
    std::unique_ptr<TfrmCaptcha> readPage(const std::string& page, const std::string& pageUrl = "http://127.0.0.1:9/tool/start") {
        auto dialog = std::make_unique<TfrmCaptcha>(messages);
        dialog->PageText = page;
        dialog->PageURL = pageUrl;
        dialog->ShowSecurityImage();
        return dialog;
    }
    TskSkinMessage messages;
};

const std::string kRandomInput = "<input type=\"hidden\" name=\"random\" value=\"R1\">";
const std::string kSeedInput = "<input type=\"hidden\" name=\"seed\" value=\"golf clubs\">";

}  // namespace

TEST_F(CaptchaTest, Layout) {
    TfrmCaptcha dialog(messages);
    EXPECT_EQ(dialog.objectName(), "frmCaptcha");
    EXPECT_EQ(dialog.windowTitle(), "Security image");
    EXPECT_EQ(dialog.size(), QSize(382, 257));
    auto* label = dialog.findChild<QLabel*>("skSkinStdLabel2");
    ASSERT_TRUE(label);
    EXPECT_EQ(label->text(), "Please enter the characters in the image");
    EXPECT_EQ(label->geometry(), QRect(16, 8, 238, 16));
    auto* view = dialog.findChild<browser::TBrowserHost*>("BrowserHost1");
    ASSERT_TRUE(view);
    EXPECT_EQ(view->geometry(), QRect(16, 32, 345, 137));
    EXPECT_EQ(view->downloadControlValue(), 0x70u);
    EXPECT_EQ(view->userInterfaceValue(), 0u);
    EXPECT_EQ(dialog.findChild<QLineEdit*>("edtPassword")->geometry(), QRect(16, 182, 345, 18));
    auto* ok = dialog.findChild<QPushButton*>("btnOk");
    auto* cancel = dialog.findChild<QPushButton*>("btnCancel");
    EXPECT_EQ(ok->text(), "Ok");
    EXPECT_EQ(ok->geometry(), QRect(68, 210, 101, 26));
    EXPECT_EQ(cancel->text(), "Cancel");
    EXPECT_EQ(cancel->geometry(), QRect(177, 210, 101, 26));
    EXPECT_EQ(dialog.findChild<QLineEdit*>("edtPassword")->nextInFocusChain(), ok);
    EXPECT_TRUE(dialog.RandomValue.empty() && dialog.SeedValue.empty() && dialog.ImageURL.empty() && dialog.PageText.empty());
}

TEST_F(CaptchaTest, ShowSecurityImageCutsInPageOrder) {
    auto dialog = readPage("<form>" + kRandomInput + kSeedInput + "<img src=\"captcha?id=7&amp;t=1\"></form>");
    EXPECT_EQ(dialog->RandomValue, "R1");
    EXPECT_EQ(dialog->SeedValue, "golf clubs");
    EXPECT_EQ(dialog->ImageURL, "captcha?id=7&t=1");

    // Seed before random: the seed is looked for only after the random input.
    dialog = readPage("<img src=\"early.png\">" + kSeedInput + kRandomInput + "<img src=\"late.png\">");
    EXPECT_EQ(dialog->RandomValue, "R1");
    EXPECT_EQ(dialog->SeedValue, "");
    EXPECT_EQ(dialog->ImageURL, "late.png");

    // Capital letters match, and a missing seed leaves the parse text after the random input.
    dialog = readPage("<IMG SRC=\"x\"><INPUT TYPE=\"HIDDEN\" NAME=\"RANDOM\" VALUE=\"Up\"><IMG SRC=\"a&amp;amp;b\">");
    EXPECT_EQ(dialog->RandomValue, "Up");
    EXPECT_EQ(dialog->SeedValue, "");
    EXPECT_EQ(dialog->ImageURL, "a&amp;b");

    // Nothing on the page: three empty values, an empty address, nothing shown.
    dialog = readPage("<html>Please enter the characters in the image</html>");
    EXPECT_EQ(dialog->RandomValue + dialog->SeedValue + dialog->ImageURL, "");
    EXPECT_TRUE(dialog->browserHost().url().isEmpty());
    EXPECT_FALSE(dialog->browserHost().isLoading());
    EXPECT_TRUE(dialog->browserHost().messageText().isEmpty());

    // No inputs but an image: the first src of the page.
    dialog = readPage("<img src=\"only.png\"><img src=\"second.png\">");
    EXPECT_EQ(dialog->ImageURL, "only.png");
    // An unterminated value is empty.
    dialog = readPage(kRandomInput + "<input type=\"hidden\" name=\"seed\" value=\"open");
    EXPECT_EQ(dialog->SeedValue, "");
    EXPECT_EQ(dialog->ImageURL, "");
    // A value far longer than any the service sends is taken as missing.
    dialog = readPage("<input type=\"hidden\" name=\"random\" value=\"" + std::string(kMaxSecurityFieldBytes + 1, 'x') +
                      "\">" + kSeedInput);
    EXPECT_EQ(dialog->RandomValue, "");
    EXPECT_EQ(dialog->SeedValue, "golf clubs");
}

TEST_F(CaptchaTest, AmpersandEntitiesAreReplacedInOnePass) {
    EXPECT_EQ(replaceAmpersandEntities("captcha?id=7&amp;t=1"), "captcha?id=7&t=1");
    EXPECT_EQ(replaceAmpersandEntities("a&amp;amp;b"), "a&amp;b");
    EXPECT_EQ(replaceAmpersandEntities("&amp;&amp;"), "&&");
    EXPECT_EQ(replaceAmpersandEntities("&AMP;&amp"), "&AMP;&amp");
    EXPECT_EQ(replaceAmpersandEntities(""), "");
}

TEST_F(CaptchaTest, TheImageAddressIsResolvedAgainstThePage) {
    auto view = [](const std::unique_ptr<TfrmCaptcha>& d) { return d->browserHost().url().toString().toStdString(); };
    const std::string seed = kRandomInput + kSeedInput;
    EXPECT_EQ(view(readPage(seed + "<img src=\"captcha?id=7&amp;t=1\">")), "http://127.0.0.1:9/tool/captcha?id=7&t=1");
    EXPECT_EQ(view(readPage(seed + "<img src=\"/captcha?id=7\">")), "http://127.0.0.1:9/captcha?id=7");
    EXPECT_EQ(view(readPage(seed + "<img src=\"../img/c.png\">", "http://127.0.0.1:9/a/b/page")),
              "http://127.0.0.1:9/a/img/c.png");
    EXPECT_EQ(view(readPage(seed + "<img src=\"//127.0.0.2:7/c.png\">")), "http://127.0.0.2:7/c.png");
    EXPECT_EQ(view(readPage(seed + "<img src=\"https://127.0.0.1/c.png\">")), "https://127.0.0.1/c.png");
    // An address the view refuses raises out of the showing; the dialog never opens.
    TfrmCaptcha dialog(messages);
    dialog.PageText = seed + "<img src=\"file:///etc/passwd\">";
    dialog.PageURL = "http://127.0.0.1:9/tool/start";
    testsupport::expectThrowWith<browser::EBrowserHostError>(
        [&] { dialog.ShowModal(); },
        "Navigate refused the address \"file:///etc/passwd\": only http and https addresses are shown.");
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(CaptchaTest, OkNeedsSomeTextAndCancelCloses) {
    auto run = [&](const std::function<void(QWidget*)>& action) {
        TfrmCaptcha dialog(messages);
        dialog.PageText = kRandomInput;
        bool acted = false;
        onNextModal([&](QWidget* d) {
            action(d);
            acted = true;
        });
        const int result = dialog.ShowModal();
        EXPECT_TRUE(acted);
        return std::make_pair(result, dialog.password());
    };
    auto ok = [](QWidget* d) { d->findChild<QPushButton*>("btnOk")->click(); };

    // Empty: the message, and the dialog stays; then spaces are enough.
    const auto [spaces, typed] = run([&](QWidget* d) {
        EXPECT_EQ(d->findChild<QLineEdit*>("edtPassword"), d->focusWidget());
        QString message;
        onNextModal([&](QWidget* box) {
            message = box->findChild<QLabel*>("Message")->text();
            box->findChild<QPushButton*>("OK")->click();
        });
        ok(d);
        EXPECT_EQ(message, "Please enter a password.");
        EXPECT_TRUE(d->isVisible());
        d->findChild<QLineEdit*>("edtPassword")->setText("   ");
        ok(d);
    });
    EXPECT_EQ(spaces, QDialog::Accepted);
    EXPECT_EQ(typed, "   ");

    const auto [cancelled, ignored] = run([](QWidget* d) {
        d->findChild<QLineEdit*>("edtPassword")->setText("abc");
        d->findChild<QPushButton*>("btnCancel")->click();
    });
    EXPECT_EQ(cancelled, QDialog::Rejected);

    const auto [escaped, none] = run([](QWidget* d) {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(d->findChild<QLineEdit*>("edtPassword"), &escape);
    });
    EXPECT_EQ(escaped, QDialog::Rejected);

    const auto [typedOk, characters] = run([&](QWidget* d) {
        d->findChild<QLineEdit*>("edtPassword")->setText("a&b #c+\xC3\xA9");
        ok(d);
    });
    EXPECT_EQ(typedOk, QDialog::Accepted);
    EXPECT_EQ(characters, QString("a&b #c+\xC3\xA9").toLocal8Bit().toStdString());
}
