#pragma once
// The embedded image view: navigates to one http or https address over its
// own network access and cookie jar, and shows the answer: a picture (PNG,
// JPEG, GIF first frame, BMP) scaled into its bounds keeping its aspect, or
// one short line of text for anything else and for failures. It runs no
// scripts and follows no other scheme. GUI thread only.

#include <QFrame>
#include <QImage>
#include <QPointer>
#include <QString>
#include <QUrl>

#include "browser/BrowserOptions.h"
#include "rtl/Exception.h"

class QNetworkAccessManager;
class QNetworkCookieJar;
class QNetworkReply;

namespace browser {

RTL_DECLARE_EXCEPTION(EBrowserHostError, rtl::Exception);

// An answer over this many bytes is refused, never decoded.
constexpr qint64 kMaxPictureBytes = qint64{16} << 20;
// A picture whose header claims more pixels than this is refused, never decoded.
constexpr qint64 kMaxPicturePixels = qint64{64} * 1000 * 1000;
constexpr int kMaxRedirects = 10;
// A transfer that makes no progress for this long ends as a failure.
constexpr int kTransferTimeoutMs = 30000;
// Longest text line shown; longer texts (they may hold a peer's words) are cut.
constexpr int kMaxMessageChars = 160;

// The view and its loading. Not used on its own: TBrowserHost adds the options.
class TBrowserHostBase : public QFrame {
    Q_OBJECT
    Q_DISABLE_COPY(TBrowserHostBase)
public:
    explicit TBrowserHostBase(QWidget* parent = nullptr);
    ~TBrowserHostBase() override;

    // Drops what was shown or loading and starts loading url; returns at once.
    // An empty url shows nothing. Raises EBrowserHostError, showing nothing,
    // for an address that is not an absolute http or https URL with a host.
    void Navigate(const QString& url);

    // The address of the last Navigate (empty when none or refused).
    const QUrl& url() const { return m_url; }
    bool isLoading() const { return !m_reply.isNull(); }
    // The picture shown, null when none.
    const QImage& picture() const { return m_picture; }
    // The text line shown instead of a picture, empty when none.
    const QString& messageText() const { return m_message; }
    // The view's own cookies; owned by the view's network access.
    QNetworkCookieJar* cookieJar() const;

signals:
    // A load ended: a picture or a text line is shown. Not sent for a load
    // that a later Navigate (or the view's end) dropped.
    void loadFinished();

protected:
    void paintEvent(QPaintEvent* event) override;
    // The User-Agent of every request of the view.
    virtual QByteArray requestUserAgent() const = 0;

private:
    void dropLoad();
    void endLoad(const QImage& picture, const QString& message);
    void replyMetaDataChanged();
    void replyReadyRead();
    void startRequest(const QUrl& target);
    bool followRedirect();
    void replyFinished();

    QNetworkAccessManager* m_network;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_body;
    int m_redirects = 0;
    QUrl m_url;
    QImage m_picture;
    QImage m_scaled;  // m_picture as last drawn
    QString m_message;
};

// The options the view keeps, and its User-Agent and credit text.
class TCustomBrowserHost : public TBrowserHostBase {
    Q_OBJECT
    Q_DISABLE_COPY(TCustomBrowserHost)
public:
    explicit TCustomBrowserHost(QWidget* parent = nullptr);

    TDownloadControlOptions DownloadOptions() const { return m_downloadOptions; }
    // Keeps the set and recomputes downloadControlValue().
    void setDownloadOptions(TDownloadControlOptions options);
    uint32_t downloadControlValue() const { return m_downloadControlValue; }

    TUserInterfaceOptions UserInterfaceOptions() const { return m_userInterfaceOptions; }
    // Keeps the set and recomputes userInterfaceValue().
    void setUserInterfaceOptions(TUserInterfaceOptions options);
    uint32_t userInterfaceValue() const { return m_userInterfaceValue; }

    // Sent as the User-Agent of the view's requests; the credit text by default.
    const QString& UserAgent() const { return m_userAgent; }
    void setUserAgent(const QString& text) { m_userAgent = text; }
    // The credit text of the view.
    QString About() const { return creditText(); }
    static QString creditText();

protected:
    QByteArray requestUserAgent() const override;

private:
    TDownloadControlOptions m_downloadOptions;
    uint32_t m_downloadControlValue = 0;
    TUserInterfaceOptions m_userInterfaceOptions;
    uint32_t m_userInterfaceValue = 0;
    QString m_userAgent;
};

// The control the security-image dialog places on its form.
class TBrowserHost : public TCustomBrowserHost {
    Q_OBJECT
    Q_DISABLE_COPY(TBrowserHost)
public:
    explicit TBrowserHost(QWidget* parent = nullptr);
};

}  // namespace browser
